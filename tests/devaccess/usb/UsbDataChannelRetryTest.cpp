// A scanner that refuses to open the data channel gets one more request
// after 5 seconds; a second refusal is reported as busy. Each case waits the
// real 5 seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/usb/CUsbDeviceAccess.h"
#include "tests/support/fake_usb_core/FakeUsbCore.h"

namespace {

using fakeusbcore::Answer;
using fakeusbcore::FakeUsbCore;
using fakeusbcore::State;
using Calls = std::vector<std::string>;

Answer Reply(std::vector<uint8_t> bytes) { return Answer{0, 0, std::move(bytes), -1}; }

TEST(DataChannelRetry, ARefusalIsRetriedOnceAfterFiveSeconds)
{
    struct Row {
        const char* what;
        Answer first;
        Answer second;
        uint32_t result;
        uint32_t systemError;
        bool deviceOpenAfter;
    };
    const Row rows[] = {
        {"refused twice", Reply({0, 0x10, 1, 2, 0x80, 0, 0, 0, 0, 0}), Reply({0, 0x10, 1, 2, 0x80}), 0x40500012, 0,
         false},
        {"access denied, then accepted", Answer{0x40500013, -3, {}, -1}, Reply({0, 0x10, 1, 2, 0}), 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto s = std::make_shared<State>();
        vscore::CUsbDeviceAccess access(std::make_unique<FakeUsbCore>(s));
        s->replies = {row.first, row.second};
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_VIDPID;
        id.devif = vscore::DEVIF_USB;
        id.idVendor = 0x5D4E;
        id.idProduct = 0x0101;

        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(access.OpenForDataTransfer(id), row.result);
        auto waited = std::chrono::steady_clock::now() - start;

        EXPECT_GE(waited, std::chrono::seconds(5));
        EXPECT_EQ(access.lastResult, row.result);
        EXPECT_EQ(access.lastSystemError, row.systemError);
        Calls expected{"OpenInterface(5D4E:0101)", "DeviceRequest(1)", "CloseInterface", "OpenInterface(5D4E:0101)",
                       "DeviceRequest(1)"};
        if (row.result != 0) {
            expected.push_back("CloseInterface");
            expected.push_back("CloseDevice");
        }
        EXPECT_EQ(s->calls, expected);
        EXPECT_EQ(access.IsOpenForScanEvents(), row.deviceOpenAfter);
        EXPECT_EQ(access.IsOpenForDataTransfer(), row.result == 0);
    }
}

}  // namespace
