// The object the USB plug-in hands to the dispatcher: maps identifiers onto
// the libusb layer, opens and closes the scanner's data channel with two
// vendor requests and turns bulk transfers into receive and send operations
// with a millisecond time-out. It owns the libusb layer and its device list.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "devaccess/DevAccsLowLevelBase.h"
#include "devaccess/usb/IUsbDevAccsCore.h"

namespace vscore {

// Calls come from one thread at a time (the dispatcher's caller), but for
// BreakOffWaits and ResumeWaits, which may come from any thread during
// another call (never both at once).
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
    // libusb cannot wake a transfer under way, so a receive waits for the
    // device in bulk IN transfers of at most this long, and a break-off
    // ends it within one of them.
    static constexpr unsigned kWaitSliceMs = 250;

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
    // Once broken off (BreakOffWaits), it fails with 0x10500001 and the
    // system error ECANCELED before the open request, or during the pause
    // before a refused open's second request.
    uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) override;
    // The close request goes out also while the waits are broken off: it
    // waits at most the control time-out, and without it the scanner would
    // keep the channel open.
    uint32_t CloseForDataTransfer() override;
    bool IsOpenForDataTransfer() override;
    // Bytes, 0 when nothing came within the tries of timeoutMs, -1 on
    // failure; broken off, -1 with 0x10500001 and ECANCELED (bytes that
    // came with the last transfer are returned first).
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    uint32_t GetConfiguration(devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(devacs_config_t key, void* data) override;

    // Ends the waits of a receive, a send or an open under way on another
    // thread within one wait slice (a send's transfer within its own 500
    // ms), each then failing as above, and lets none start after it until
    // ResumeWaits. The last-error fields do not change. Any thread.
    void BreakOffWaits() override;
    void ResumeWaits() override;

    // Sends a data-channel vendor request and checks that the reply names
    // it; reply holds length bytes and is cleared first.
    uint32_t RequestToScannerDevice(uint8_t request, uint8_t* reply, uint16_t length);
    // Opens (1) or closes (2) the data channel on the claimed interface and
    // checks the scanner's answer.
    uint32_t ControlScannerDevice(uint8_t request);

private:
    uint32_t StoreFromCore(uint32_t result);
    // The failure of a call whose wait was broken off.
    uint32_t StoreBrokenOff();
    bool AreWaitsBrokenOff() const { return m_waitsBrokenOff.load(); }
    // Sleeps ms; false, within kTryIntervalMs, when the waits are or get
    // broken off.
    bool PauseUnlessBrokenOff(unsigned ms);
    uint32_t OpenUsbInterface(const _DEV_IDENTIFIER& id);
    template <typename Transfer>
    int TransferWithTries(Transfer transfer, long timeoutMs);
    // One bulk IN wait of waitMs in slices of at most kWaitSliceMs.
    uint32_t ReadInSlices(uint8_t* buffer, int bufferSize, int readSize, int& got, unsigned waitMs);

    std::unique_ptr<IUsbDevAccsCore> m_core;
    std::atomic<bool> m_waitsBrokenOff{false};
};

}  // namespace vscore
