// The replay mock behind the device-access interface: opening makes a
// simulated device, transfers go to it, and a receive with nothing to
// deliver waits out its time-out as a silent device would.
#include "VexmorApi/DeviceAccess/DeviceAccessMock.h"

#include <algorithm>
#include <new>

#include "vdtcl/CTTime.h"

namespace vscore {

DeviceAccessMock::DeviceAccessMock(const MockTimings& timings) : timings_(timings) {}

DeviceAccessMock::~DeviceAccessMock() = default;

bool DeviceAccessMock::IsEnabled() { return ScannerMock::IsEnabled(); }

uint32_t DeviceAccessMock::EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count)
{
    if (list != nullptr) {
        *list = nullptr;
    }
    if (count != nullptr) {
        *count = 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(0);
    return 0;
}

uint32_t DeviceAccessMock::ConfirmConnection(const _DEV_IDENTIFIER&)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(0);
    return 0;
}

uint32_t DeviceAccessMock::OpenScanner(const _DEV_IDENTIFIER&)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mock_.reset();
    try {
        mock_ = std::make_unique<ScannerMock>(timings_);
    } catch (const std::exception&) {
        SetLast(DEVACS_ERR_NO_DEVICE);
        return DEVACS_ERR_NO_DEVICE;
    }
    SetLast(0);
    return 0;
}

uint32_t DeviceAccessMock::CloseScanner()
{
    std::lock_guard<std::mutex> lock(mutex_);
    mock_.reset();
    SetLast(0);
    return 0;
}

bool DeviceAccessMock::IsOpenScanner()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return mock_ != nullptr;
}

int DeviceAccessMock::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    vdtcl::CTTime stopwatch;
    stopwatch.StartTimeMeasure();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!mock_) {
                SetLast(DEVACS_ERR_NOT_OPEN);
                return -1;
            }
            if (buffer == nullptr || bufferSize < 1 || readSize < 1) {
                SetLast(DEVACS_ERR_BAD_ARGUMENT);
                return -1;
            }
            int got = 0;
            try {
                got = mock_->Read(buffer, std::min(bufferSize, readSize));
            } catch (const std::exception&) {
                SetLast(DEVACS_ERR_NO_MEMORY);
                return -1;
            }
            if (got > 0) {
                SetLast(0);
                return got;
            }
            // Returning at once would make the reader spin; a silent device
            // makes it wait.
            int64_t const waited = stopwatch.LapTimeMeasure();
            if (waited >= timeoutMs) {
                SetLast(DEVACS_ERR_TIMEOUT);
                return 0;
            }
        }
        int64_t const left = static_cast<int64_t>(timeoutMs) - stopwatch.LapTimeMeasure();
        if (left > 0) {
            vdtcl::CTTime::Sleep_ms(static_cast<unsigned long>(
                std::min<int64_t>(left, static_cast<int64_t>(std::max<unsigned long>(timings_.pollMs, 1)))));
        }
    }
}

int DeviceAccessMock::SendData(const unsigned char* data, int size, long)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!mock_) {
        SetLast(DEVACS_ERR_NOT_OPEN);
        return -1;
    }
    if (data == nullptr || size < 1) {
        SetLast(DEVACS_ERR_BAD_ARGUMENT);
        return -1;
    }
    int sent = 0;
    try {
        sent = mock_->Write(data, size);
    } catch (const std::exception&) {
        SetLast(DEVACS_ERR_NO_MEMORY);
        return -1;
    }
    SetLast(0);
    return sent;
}

uint32_t DeviceAccessMock::GetConfiguration(devif_t, devacs_config_t, void*)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(0);
    return 0;
}

uint32_t DeviceAccessMock::SetConfiguration(devif_t, devacs_config_t, void*)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(0);
    return 0;
}

void DeviceAccessMock::SetLast(uint32_t code)
{
    lastResult_ = code;
    lastSystemError_ = 0;
}

}  // namespace vscore
