// The USB plug-in's waits broken off from another thread, over its libusb
// layer and the stand-in libusb, whose silent device keeps every bulk IN
// transfer for its whole time-out as a real one does: the receive under way
// ends within one wait slice, nothing waits for the device until the waits
// are resumed (but the close request still goes out), and a refused open
// does not wait for its second request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "devaccess/usb/CUsbDeviceAccess.h"
#include "tests/support/fake_libusb/FakeLibusb.h"

namespace {

using fakeusb::Call;
using vscore::CUsbDeviceAccess;

constexpr uint16_t kMaker = 0x5D4E;
constexpr uint32_t kBrokenOff = 0x10500001;
const std::vector<uint8_t> kAccept1{0x00, 0x10, 0x01, 0x02, 0x00};
const std::vector<uint8_t> kAccept2{0x00, 0x10, 0x02, 0x02, 0x00};
const std::vector<uint8_t> kRefuse1{0x00, 0x10, 0x01, 0x02, 0x80};
// Far beyond any wait these cases expect, only so that a broken build fails
// instead of hanging.
constexpr std::chrono::seconds kGiveUp{60};

vscore::_DEV_IDENTIFIER Scanner()
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_VIDPID;
    id.devif = vscore::DEVIF_USB;
    id.idVendor = kMaker;
    id.idProduct = 0x0101;
    return id;
}

// Counts the calls of a stand-in handler and lets the test wait for them.
struct Events {
    std::mutex mutex;
    std::condition_variable changed;
    size_t count = 0;

    void Note()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++count;
        }
        changed.notify_all();
    }
    bool WaitFor(size_t n)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kGiveUp, [&] { return count >= n; });
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
};

struct UsbBreakOff : ::testing::Test {
    void SetUp() override
    {
        fakeusb::Reset();
        device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    }
    void TearDown() override
    {
        access.reset();
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{}) << "a libusb object was left over";
    }

    // The result of a call made on another thread; one still waiting after
    // kGiveUp fails the case and is ended by unplugging the device.
    template <class T>
    T Finish(std::future<T>&& call)
    {
        if (call.wait_for(kGiveUp) != std::future_status::ready) {
            ADD_FAILURE() << "the call still waits after " << kGiveUp.count() << " s";
            fakeusb::Unplug(device);
        }
        return call.get();
    }
    int Receive(long timeoutMs)
    {
        return Finish(std::async(std::launch::async, [this, timeoutMs] { return ReceiveNow(timeoutMs); }));
    }
    int ReceiveNow(long timeoutMs) { return access->ReceiveData(buffer, sizeof buffer, sizeof buffer, timeoutMs); }

    int device = 0;
    std::unique_ptr<CUsbDeviceAccess> access = std::make_unique<CUsbDeviceAccess>();
    unsigned char buffer[64] = {};
};

TEST_F(UsbBreakOff, ASilentReceiveEndsWithinOneSliceAndNoWaitStartsUntilResumed)
{
    fakeusb::QueueControlReply(device, 0xC0, 1, {kAccept1});
    fakeusb::QueueControlReply(device, 0xC0, 2, {kAccept2});
    ASSERT_EQ(access->OpenForDataTransfer(Scanner()), 0u);
    fakeusb::SetBulkInWaits(device, true);
    // Undisturbed, the slices make up the wait of a try, and the time-out
    // comes as before.
    fakeusb::ClearCallLog();
    ASSERT_EQ(Receive(300), 0);
    EXPECT_EQ(access->lastResult, 0x40500031u);
    auto const undisturbed = fakeusb::CallLog(Call::BulkTransfer);
    ASSERT_GE(undisturbed.size(), 2u);
    EXPECT_EQ(undisturbed[0].timeout, CUsbDeviceAccess::kWaitSliceMs);
    EXPECT_LE(undisturbed[1].timeout, 300 - CUsbDeviceAccess::kWaitSliceMs);

    Events transfers;
    fakeusb::SetBulkInHandler(device, [&](int, uint8_t, uint8_t*, int) {
        transfers.Note();
        return 0;
    });
    fakeusb::ClearCallLog();
    // The answer wait of a command, which the slices keep going after the
    // first one timed out.
    auto receive = std::async(std::launch::async, [this] { return ReceiveNow(35000); });
    ASSERT_TRUE(transfers.WaitFor(2));
    access->BreakOffWaits();
    size_t const begun = transfers.Count();
    EXPECT_EQ(Finish(std::move(receive)), -1);
    EXPECT_EQ(access->lastResult, kBrokenOff);
    EXPECT_EQ(access->lastSystemError, static_cast<uint32_t>(ECANCELED));
    auto const reads = fakeusb::CallLog(Call::BulkTransfer);
    // The one under way at the break-off may have begun after the count.
    EXPECT_LE(reads.size(), begun + 1);
    for (const auto& read : reads) {
        EXPECT_LE(read.timeout, CUsbDeviceAccess::kWaitSliceMs);
    }

    fakeusb::ClearCallLog();
    EXPECT_EQ(Receive(35000), -1);
    EXPECT_EQ(access->lastSystemError, static_cast<uint32_t>(ECANCELED));
    EXPECT_EQ(access->SendData(buffer, 4, 1000), -1);
    EXPECT_EQ(access->lastResult, kBrokenOff);
    EXPECT_TRUE(fakeusb::CallLog(Call::BulkTransfer).empty());

    access->ResumeWaits();
    fakeusb::QueueBulkIn(device, {1, 2, 3});
    EXPECT_EQ(Receive(35000), 3);
    EXPECT_EQ(access->lastResult, 0u);

    // Without the close request the scanner would keep its channel open.
    access->BreakOffWaits();
    fakeusb::ClearCallLog();
    EXPECT_EQ(access->CloseForDataTransfer(), 0u);
    EXPECT_EQ(fakeusb::CallLog(Call::ControlTransfer).size(), 1u);
}

TEST_F(UsbBreakOff, ARefusedOpenDoesNotWaitForItsSecondRequest)
{
    Events requests;
    fakeusb::SetControlHandler(device, [&](int, const fakeusb::ControlSetup&, uint8_t* data) {
        std::copy(kRefuse1.begin(), kRefuse1.end(), data);
        requests.Note();
        return static_cast<int>(kRefuse1.size());
    });
    auto open = std::async(std::launch::async, [&] { return access->OpenForDataTransfer(Scanner()); });
    ASSERT_TRUE(requests.WaitFor(1));
    access->BreakOffWaits();
    EXPECT_EQ(Finish(std::move(open)), kBrokenOff);
    EXPECT_EQ(access->lastSystemError, static_cast<uint32_t>(ECANCELED));
    EXPECT_EQ(requests.Count(), 1u);
    EXPECT_FALSE(access->IsOpenForScanEvents()) << "the device the open opened is closed again";

    fakeusb::ClearCallLog();
    EXPECT_EQ(access->OpenForDataTransfer(Scanner()), kBrokenOff);
    EXPECT_TRUE(fakeusb::CallLog(Call::ControlTransfer).empty());
}

}  // namespace
