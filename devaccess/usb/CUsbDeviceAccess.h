// The object the USB plug-in hands to the dispatcher: maps identifiers onto
// the libusb layer, opens and closes the scanner's data channel with two
// vendor requests and turns bulk transfers into receive and send operations
// with a millisecond time-out. It owns the libusb layer and its device list.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "devaccess/DevAccsLowLevelBase.h"
#include "devaccess/usb/IUsbDevAccsCore.h"

namespace vscore {

class CUsbDeviceAccess : public CDevAccsLowLevelBase {
public:
    // Bits of a control request type.
    static constexpr uint8_t DEVREQ_DIRECTION = 0x80;  // device to host
    static constexpr uint8_t DEVREQ_REQTYPE = 0x40;    // vendor
    static constexpr uint8_t DEVREQ_RECIPIENT = 0x00;  // device

    // The data-channel vendor requests.
    static constexpr uint8_t kRequestOpenChannel = 1;
    static constexpr uint8_t kRequestCloseChannel = 2;
    static constexpr uint16_t kChannelRequestValue = 2;
    static constexpr uint16_t kChannelReplyLength = 255;
    // A refused open is tried once more after this wait.
    static constexpr unsigned kRefusedRetryWaitSec = 5;
    // Transfers that bring nothing are repeated this far apart.
    static constexpr unsigned kTryIntervalMs = 10;

    static constexpr uint8_t MakeRequestType(uint8_t direction, uint8_t type, uint8_t recipient)
    {
        return static_cast<uint8_t>(direction | type | recipient);
    }

    // Makes its libusb layer with IUsbDevAccsCore::CreateObject.
    CUsbDeviceAccess();
    // Takes over the given layer (null leaves every operation failing).
    explicit CUsbDeviceAccess(std::unique_ptr<IUsbDevAccsCore> core);
    // Closes an open data channel, then deletes the list and the layer.
    ~CUsbDeviceAccess() override;
    CUsbDeviceAccess(const CUsbDeviceAccess&) = delete;
    CUsbDeviceAccess& operator=(const CUsbDeviceAccess&) = delete;

    uint32_t EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag) override;
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override;
    uint32_t OpenForScanEvents(const _DEV_IDENTIFIER& id) override;
    uint32_t CloseForScanEvents() override;
    bool IsOpenForScanEvents() override;
    uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) override;
    uint32_t CloseForDataTransfer() override;
    bool IsOpenForDataTransfer() override;
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    uint32_t GetConfiguration(devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(devacs_config_t key, void* data) override;

    // Sends a data-channel vendor request and checks that the reply names
    // it; reply holds length bytes and is cleared first.
    uint32_t RequestToScannerDevice(uint8_t request, uint8_t* reply, uint16_t length);
    // Opens (1) or closes (2) the data channel on the claimed interface and
    // checks the scanner's answer.
    uint32_t ControlScannerDevice(uint8_t request);

private:
    uint32_t StoreFromCore(uint32_t result);
    uint32_t OpenUsbInterface(const _DEV_IDENTIFIER& id);
    template <typename Transfer>
    int TransferWithTries(Transfer transfer, long timeoutMs);

    std::unique_ptr<IUsbDevAccsCore> m_core;
};

}  // namespace vscore
