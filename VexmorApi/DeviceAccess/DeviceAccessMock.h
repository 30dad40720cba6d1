// The replay mock's device access: an in-process vscore::IDeviceAccess that
// talks to a ScannerMock instead of a scanner, so the whole engine runs on
// recorded device answers. The factory hands it out while the mock folder
// holds the marker "DumpRawData_Q".
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "VexmorApi/DeviceAccess/ScannerMock.h"
#include "VexmorApi/Utilities/EngineTimings.h"
#include "devaccess/DeviceAccessInterfaces.h"

namespace vscore {

// Owned by CDeviceAccessFactory. Every operation may be called from any
// thread: one mutex serialises the calls into the ScannerMock, and a receive
// never holds it while it waits. No operation throws.
class DeviceAccessMock : public IDeviceAccess {
public:
    explicit DeviceAccessMock(const MockTimings& timings = MockTimings());
    ~DeviceAccessMock() override;
    DeviceAccessMock(const DeviceAccessMock&) = delete;
    DeviceAccessMock& operator=(const DeviceAccessMock&) = delete;

    // Mock mode is on (ScannerMock::IsEnabled).
    static bool IsEnabled();

    // No devices: *list null, *count 0 (each when its pointer is not null); 0.
    uint32_t EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count) override;
    // 0: the simulated device is always present.
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override;
    // A fresh ScannerMock, replacing an earlier one; 0, or DEVACS_ERR_NO_DEVICE
    // when none could be made.
    uint32_t OpenScanner(const _DEV_IDENTIFIER& id) override;
    // Destroys the ScannerMock; 0, also when none exists.
    uint32_t CloseScanner() override;
    bool IsOpenScanner() override;
    // At most min(bufferSize, readSize) bytes of the mock's answer. While
    // there is nothing to deliver it looks again until timeoutMs has passed,
    // then returns 0 with DEVACS_ERR_TIMEOUT. -1 with DEVACS_ERR_NOT_OPEN
    // when closed, DEVACS_ERR_BAD_ARGUMENT for a null buffer or a size
    // below 1, DEVACS_ERR_NO_MEMORY when the replay cannot get its buffer.
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    // size, every frame is taken; -1 as ReceiveData for a closed device or
    // bad arguments.
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    // 0; nothing is read or written.
    uint32_t GetConfiguration(devif_t devif, devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(devif_t devif, devacs_config_t key, void* data) override;

private:
    // Sets the last result fields; the caller holds mutex_.
    void SetLast(uint32_t code);

    std::mutex mutex_;                   // guards mock_ and the last-result fields
    std::unique_ptr<ScannerMock> mock_;  // exists while the device is open
    const MockTimings timings_;
};

}  // namespace vscore
