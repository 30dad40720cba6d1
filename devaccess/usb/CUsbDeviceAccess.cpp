// The USB plug-in's data channel over the libusb layer.
#include "devaccess/usb/CUsbDeviceAccess.h"

#include <algorithm>
#include <cstring>

#include "devaccess/usb/CUsbDevAccsCore.h"
#include "vdtcl/CTTime.h"

namespace vscore {

CUsbDeviceAccess::CUsbDeviceAccess() : m_core(IUsbDevAccsCore::CreateObject()) {}

CUsbDeviceAccess::CUsbDeviceAccess(std::unique_ptr<IUsbDevAccsCore> core) : m_core(std::move(core)) {}

CUsbDeviceAccess::~CUsbDeviceAccess()
{
    if (m_core && m_core->IsOpenInterface()) {
        ControlScannerDevice(kRequestCloseChannel);
    }
    m_deviceList.reset();
    m_core.reset();
}

// Keeps a result of the libusb layer together with its libusb code.
uint32_t CUsbDeviceAccess::StoreFromCore(uint32_t result)
{
    return Store(result, static_cast<uint32_t>(m_core->GetLastLibUsbError()));
}

// A fresh list replaces the previous one; the pointer handed out stays
// valid until the next enumeration or destruction.
uint32_t CUsbDeviceAccess::EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    if (list == nullptr || count == nullptr) {
        return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
    }
    *count = 0;
    *list = RenewDeviceList(m_deviceList);
    if (*list == nullptr) {
        return Store(DEVACS_ERR_NO_MEMORY, 0);
    }
    return StoreFromCore(m_core->EnumerateDevices(*m_deviceList, *count, flag));
}

uint32_t CUsbDeviceAccess::ConfirmConnection(const _DEV_IDENTIFIER& id)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    if (IsPair(id, DEVID_KIND_NAME, DEVIF_USB)) {
        return StoreFromCore(m_core->ConfirmConnection(id.name));
    }
    if (IsPair(id, DEVID_KIND_VIDPID, DEVIF_USB)) {
        return StoreFromCore(m_core->ConfirmConnection(id.idVendor, id.idProduct));
    }
    if (IsPair(id, DEVID_KIND_NUMBER, DEVIF_USB)) {
        return StoreFromCore(m_core->ConfirmConnection(static_cast<unsigned>(id.number)));
    }
    return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
}

// Opens the USB device only, without claiming its interface.
uint32_t CUsbDeviceAccess::OpenForScanEvents(const _DEV_IDENTIFIER& id)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    if (IsPair(id, DEVID_KIND_NAME, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenDevice(id.name, false));
    }
    if (IsPair(id, DEVID_KIND_VIDPID, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenDevice(id.idVendor, id.idProduct));
    }
    if (IsPair(id, DEVID_KIND_NUMBER, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenDevice(static_cast<unsigned>(id.number)));
    }
    if (IsPair(id, DEVID_KIND_LOCATION, DEVIF_USB)) {
        return lastResult;
    }
    return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
}

uint32_t CUsbDeviceAccess::CloseForScanEvents()
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    return StoreFromCore(m_core->CloseDevice());
}

bool CUsbDeviceAccess::IsOpenForScanEvents() { return m_core && m_core->IsOpenDevice(); }

uint32_t CUsbDeviceAccess::OpenUsbInterface(const _DEV_IDENTIFIER& id)
{
    if (IsPair(id, DEVID_KIND_NAME, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenInterface(id.name, false));
    }
    if (IsPair(id, DEVID_KIND_VIDPID, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenInterface(id.idVendor, id.idProduct));
    }
    if (IsPair(id, DEVID_KIND_NUMBER, DEVIF_USB)) {
        return StoreFromCore(m_core->OpenInterface(static_cast<unsigned>(id.number)));
    }
    if (IsPair(id, DEVID_KIND_LOCATION, DEVIF_USB)) {
        return lastResult;
    }
    return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
}

// Claims the interface and asks the scanner to open the data channel; a
// refusal is tried once more after 5 seconds and then reported as busy.
// When the open fails for good, a device this call opened is closed again.
uint32_t CUsbDeviceAccess::OpenForDataTransfer(const _DEV_IDENTIFIER& id)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    const bool deviceWasOpen = m_core->IsOpenDevice();
    uint32_t result = DEVACS_OK;
    for (int attempt = 1;; ++attempt) {
        result = OpenUsbInterface(id);
        if (result != DEVACS_OK) {
            break;
        }
        result = ControlScannerDevice(kRequestOpenChannel);
        if (result == DEVACS_OK) {
            return result;
        }
        const uint32_t systemError = lastSystemError;
        m_core->CloseInterface();
        Store(result, systemError);
        if (result != DEVACS_ERR_REFUSED) {
            break;
        }
        if (attempt == 2) {
            result = Store(DEVACS_ERR_BUSY, systemError);
            break;
        }
        vdtcl::CTTime::Sleep_sec(kRefusedRetryWaitSec);
    }
    if (!deviceWasOpen && m_core->IsOpenDevice()) {
        const uint32_t systemError = lastSystemError;
        m_core->CloseDevice();
        Store(result, systemError);
    }
    return result;
}

// Asks the scanner to close the data channel and releases the interface;
// a failed release outranks a failed request.
uint32_t CUsbDeviceAccess::CloseForDataTransfer()
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    const uint32_t requestResult = ControlScannerDevice(kRequestCloseChannel);
    const uint32_t requestSystemError = lastSystemError;
    const uint32_t closeResult = m_core->CloseInterface();
    if (closeResult != DEVACS_OK) {
        return StoreFromCore(closeResult);
    }
    if (requestResult != DEVACS_OK) {
        return Store(requestResult, requestSystemError);
    }
    return Store(DEVACS_OK, 0);
}

bool CUsbDeviceAccess::IsOpenForDataTransfer() { return m_core && m_core->IsOpenInterface(); }

// Repeats a transfer that brings nothing, 10 ms apart, once per started
// 10 ms of the time-out. Returns the count, 0 when nothing came, -1 when a
// transfer failed.
template <typename Transfer>
int CUsbDeviceAccess::TransferWithTries(Transfer transfer, long timeoutMs)
{
    int64_t tries = 0;
    if (timeoutMs > 0) {
        tries = timeoutMs / kTryIntervalMs + (timeoutMs % kTryIntervalMs != 0 ? 1 : 0);
    }
    vdtcl::CTTime stopwatch;
    stopwatch.StartTimeMeasure();
    uint32_t result = DEVACS_OK;
    for (;;) {
        // One transfer never waits past the caller's time-out, and at least 1 ms.
        const int64_t remaining = static_cast<int64_t>(timeoutMs) - stopwatch.LapTimeMeasure();
        const unsigned waitMs = static_cast<unsigned>(
            std::clamp<int64_t>(remaining, 1, static_cast<int64_t>(CUsbDevAccsCore::kBulkInTimeoutMs)));
        int count = 0;
        result = transfer(count, waitMs);
        if (result != DEVACS_OK) {
            StoreFromCore(result);
            return -1;
        }
        if (count != 0) {
            StoreFromCore(DEVACS_OK);
            return count;
        }
        if (tries == 0) {
            break;
        }
        --tries;
        vdtcl::CTTime::Sleep_ms(kTryIntervalMs);
        if (tries == 0) {
            break;
        }
    }
    Store(timeoutMs > 0 ? DEVACS_ERR_TIMEOUT : result, 0);
    return 0;
}

int CUsbDeviceAccess::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    if (!m_core) {
        Store(DEVACS_ERR_GENERAL, 0);
        return -1;
    }
    return TransferWithTries(
        [&](int& got, unsigned waitMs) { return m_core->ReadDataOnBulkIn(buffer, bufferSize, readSize, got, waitMs); },
        timeoutMs);
}

int CUsbDeviceAccess::SendData(const unsigned char* data, int size, long timeoutMs)
{
    if (!m_core) {
        Store(DEVACS_ERR_GENERAL, 0);
        return -1;
    }
    return TransferWithTries([&](int& put, unsigned) { return m_core->WriteDataOnBulkOut(data, size, put); },
                             timeoutMs);
}

// USB has no configuration; nothing is stored.
uint32_t CUsbDeviceAccess::GetConfiguration(devacs_config_t, void*)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    return DEVACS_ERR_NOT_ON_TRANSPORT;
}

uint32_t CUsbDeviceAccess::SetConfiguration(devacs_config_t, void*)
{
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    return DEVACS_ERR_NOT_ON_TRANSPORT;
}

// The reply must be at least 5 bytes long, and its bytes 1 and 2 must be
// 0x10 and the request.
uint32_t CUsbDeviceAccess::RequestToScannerDevice(uint8_t request, uint8_t* reply, uint16_t length)
{
    lastSystemError = 0;
    if (!m_core) {
        return Store(DEVACS_ERR_GENERAL, 0);
    }
    if (reply == nullptr || length == 0) {
        return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
    }
    std::memset(reply, 0, length);
    IUsbDevAccsCore::_DEVREQ_SETUPDATA setup{};
    setup.bmRequestType = MakeRequestType(DEVREQ_DIRECTION, DEVREQ_REQTYPE, DEVREQ_RECIPIENT);
    setup.bRequest = request;
    setup.wValue = kChannelRequestValue;
    setup.wIndex = 0;
    setup.wLength = length;
    setup.data = reply;
    setup.transferred = 0;
    const uint32_t result = StoreFromCore(m_core->DeviceRequest(setup));
    if (result != DEVACS_OK) {
        return result;
    }
    if (setup.transferred < 5 || reply[1] != 0x10 || reply[2] != request) {
        return Store(DEVACS_ERR_BAD_REPLY, 0);
    }
    return result;
}

// Byte 4 with bit 7 set is the scanner's refusal; byte 3 must then be 2.
uint32_t CUsbDeviceAccess::ControlScannerDevice(uint8_t request)
{
    if (request != kRequestOpenChannel && request != kRequestCloseChannel) {
        return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
    }
    uint8_t reply[kChannelReplyLength];
    const uint32_t result = RequestToScannerDevice(request, reply, kChannelReplyLength);
    if (result != DEVACS_OK) {
        return result;
    }
    if (reply[4] & 0x80) {
        return Store(DEVACS_ERR_REFUSED, 0);
    }
    if (reply[3] != 2) {
        return Store(DEVACS_ERR_BAD_REPLY, 0);
    }
    return result;
}

}  // namespace vscore
