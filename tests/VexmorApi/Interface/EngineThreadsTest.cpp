// The engine object used from several threads at once, as the backend does
// and worse: one thread polls and reads pages, another frees them and
// aborts, and the main thread uninitialises the engine in the middle of the
// scan, in rounds that meet at different moments. Run in the thread-
// sanitizer build; every round must end without a hang, a crash or a leak.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "VexmorApi/Vexmor.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

using engine_driver::Clock;
using mock_recording::PixelKind;

// Page numbers handed from the reading thread to the freeing one.
class Handover {
public:
    void Put(int pageNo)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pages_.push_back(pageNo);
            ++count_;
        }
        changed_.notify_all();
    }
    // The next page number, or 0 once closed and empty.
    int Take()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !pages_.empty() || closed_; });
        if (pages_.empty()) {
            return 0;
        }
        int const pageNo = pages_.front();
        pages_.pop_front();
        return pageNo;
    }
    void Close()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }
    // Until count pages were handed over or the scan ended; false after 10 s.
    bool WaitFor(int count, const std::atomic<bool>& ended)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= count || ended.load(); });
    }
    void Nudge() { changed_.notify_all(); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<int> pages_;  // guarded by mutex_
    int count_ = 0;          // guarded by mutex_
    bool closed_ = false;    // guarded by mutex_
};

TEST_F(LogHome, PollsReadsFreesAbortsAndUnInitializeMeetOnEveryThread)
{
    mock_recording::MockFolder folder(home_.Path());
    mock_recording::Job job;
    job.resolution = 100;
    job.waitSeconds = 30;  // the device then waits for more until aborted
    for (uint8_t seed = 1; seed <= 4; ++seed) {
        job.pages.push_back(mock_recording::Page::Pattern(PixelKind::kGray, 413, 583, seed));
    }
    mock_recording::WriteGeneration2(folder, job);
    vscore::EngineTimings timings;
    timings.statusPollSleepMs = 1;
    timings.mock.pacingMs = 600000;
    // The device acknowledges the abort at once. Were the end to wait for
    // the engine to give up on it instead, it would take a minute: the bound
    // below leaves a busy machine under the thread sanitizer room enough.
    timings.abortAckTimeoutMs = 60000;
    timings.shortReadTimeoutMs = 60000;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        vscore::CVexmor engine{timings};
        ASSERT_EQ(engine.Initialize(nullptr, false), 0u);
        vscore::_VS_SELECT_DEVICE_INFO zero{};
        ASSERT_EQ(engine.SelectDevice(zero), 0u);
        vscore::tagVS_SCANNER_CAPABILITY_VER1 capability{};
        ASSERT_EQ(engine.QueryDeviceCapabilities(1, &capability), 0u);
        auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
        ASSERT_EQ(engine.StartScanning(&request), 0u);

        Handover handover;
        std::atomic<bool> stop{false};
        std::atomic<bool> ended{false};
        std::thread reader([&] {
            engine_driver::Options options;
            options.keepPages = true;
            options.copyPixels = false;
            options.stop = &stop;
            options.onPage = [&](const engine_driver::Page& page) {
                handover.Put(page.pageNo);
                return true;
            };
            engine_driver::Drain(engine, options);
            ended.store(true);
            handover.Nudge();
        });
        int const abortAfter = round % 3 == 0 ? 2 : 0;  // 0: no abort
        std::thread freer([&] {
            int freed = 0;
            for (int pageNo = handover.Take(); pageNo != 0; pageNo = handover.Take()) {
                engine.FreeImageData(pageNo);
                if (++freed == abortAfter) {
                    engine.AbortScanning();
                }
                engine.GetRemainingWaitTime();
            }
        });
        // The end comes after a different number of pages in each round,
        // also before the first and while the device waits for more.
        EXPECT_TRUE(handover.WaitFor(round % 5, ended));
        Clock::time_point const begin = Clock::now();
        engine.UnInitialize();
        EXPECT_LT(Clock::now() - begin, std::chrono::seconds(30));
        stop.store(true);
        reader.join();
        handover.Close();
        freer.join();
        EXPECT_EQ(engine.GetScanStatus(), vscore::STANDBY);
    }
}

}  // namespace
