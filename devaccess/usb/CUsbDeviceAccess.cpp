// The USB plug-in's data channel over the libusb layer.
#include "devaccess/usb/CUsbDeviceAccess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
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

// As the network plug-in reports a break-off. ECANCELED is positive and
// libusb's codes negative, so it cannot be mistaken for one of them.
uint32_t CUsbDeviceAccess::StoreBrokenOff() { return Store(DEVACS_ERR_GENERAL, ECANCELED); }

void CUsbDeviceAccess::BreakOffWaits() { m_waitsBrokenOff.store(true); }

void CUsbDeviceAccess::ResumeWaits() { m_waitsBrokenOff.store(false); }

bool CUsbDeviceAccess::PauseUnlessBrokenOff(unsigned ms)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point const end = Clock::now() + std::chrono::milliseconds(ms);
    while (!AreWaitsBrokenOff()) {
        // Rounded up: the pause lasts no less than ms.
        auto const left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            return true;
        }
        vdtcl::CTTime::Sleep_ms(static_cast<unsigned long>(std::min<int64_t>(left, kTryIntervalMs)));
    }
    return false;
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
    if (AreWaitsBrokenOff()) {
        return StoreBrokenOff();
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
        if (!PauseUnlessBrokenOff(kRefusedRetryWaitSec * 1000)) {
            result = StoreBrokenOff();
            break;
        }
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
// transfer failed or the waits are broken off (then no transfer starts).
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
        if (AreWaitsBrokenOff()) {
            StoreBrokenOff();
            return -1;
        }
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
        // A break-off ends the pause; the next round reports it.
        PauseUnlessBrokenOff(kTryIntervalMs);
        if (tries == 0) {
            break;
        }
    }
    Store(timeoutMs > 0 ? DEVACS_ERR_TIMEOUT : result, 0);
    return 0;
}

// A silent device holds a bulk IN transfer until its time-out, and libusb
// cannot end a synchronous transfer early; so the wait goes in slices with
// a look at the break-off between them. The device sees IN requests all
// along, as with one transfer. A slice that comes back empty before its
// time (a packet of no bytes, a transfer that did not wait) ends the wait
// as it would have ended the one transfer.
uint32_t CUsbDeviceAccess::ReadInSlices(uint8_t* buffer, int bufferSize, int readSize, int& got, unsigned waitMs)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point const end = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        Clock::time_point const start = Clock::now();
        auto const left = std::chrono::ceil<std::chrono::milliseconds>(end - start).count();
        unsigned const slice = static_cast<unsigned>(std::clamp<int64_t>(left, 1, kWaitSliceMs));
        uint32_t const result = m_core->ReadDataOnBulkIn(buffer, bufferSize, readSize, got, slice);
        if (result != DEVACS_OK || got != 0 || AreWaitsBrokenOff()) {
            return result;
        }
        Clock::time_point const now = Clock::now();
        if (now - start < std::chrono::milliseconds(slice) || now >= end) {
            return result;
        }
    }
}

int CUsbDeviceAccess::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    if (!m_core) {
        Store(DEVACS_ERR_GENERAL, 0);
        return -1;
    }
    return TransferWithTries(
        [&](int& got, unsigned waitMs) { return ReadInSlices(buffer, bufferSize, readSize, got, waitMs); }, timeoutMs);
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
