// A reader thread polling the engine and taking pages while the front end's
// thread gives them back, as a scan job does: the fake engine's ledger shows
// each call on its thread and no page left held.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "ScratchDir.h"
#include "backend_source/VsSdkWrapper.h"
#include "tests/support/fake_engine/FakeEngine.h"

namespace {

pid_t ThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

TEST(EngineThreads, ReaderTakesPagesWhileTheFrontEndFreesThem)
{
    ScratchDir dir;
    setenv(fakeengine::kScriptVariable,
           dir.Write("engine.script",
                     "status-delay 1\n"
                     "status WAITINGNEXTPAGE 5\n"
                     "page 64 8 8 rows\n"
                     "status RECEIVING 5\n"
                     "page 64 8 24 gradient\n"
                     "page 64 8 1 white\n"
                     "status RECEIVING 2\n"
                     "page 64 8 8 zero\n")
               .c_str(),
           1);
    fakeengine::ClearLedger();
    ASSERT_EQ(0u, vssdkwrapper_Initialize(nullptr, false));
    vscore::VS_SCANNER_PARAMETERS request{};
    request.resolutionX = 200;
    ASSERT_EQ(0u, vssdkwrapper_StartScanning(&request));

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<int> pages;  // guarded by mutex
    bool done = false;      // guarded by mutex
    pid_t readerId = 0;
    std::thread reader([&] {
        readerId = ThreadId();
        for (;;) {
            vscore::SCANAPISTATUS status = vssdkwrapper_GetScanStatus();
            if (status == vscore::ALLEND) {
                break;
            }
            if (status == vscore::XFERREADY) {
                vscore::tagVS_SCAN_IMAGEDATA image{};
                int page = 0;
                EXPECT_EQ(0u, vssdkwrapper_ReadImageData(&image, &page));
                std::lock_guard<std::mutex> lock(mutex);
                pages.push_back(page);
                ready.notify_one();
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ready.notify_one();
    });
    int freed = 0;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return !pages.empty() || done; });
        if (pages.empty()) {
            break;
        }
        int page = pages.front();
        pages.pop_front();
        lock.unlock();
        vssdkwrapper_FreeImageData(page);
        ++freed;
    }
    reader.join();
    EXPECT_EQ(4, freed);
    EXPECT_TRUE(fakeengine::OutstandingPages().empty());
    vssdkwrapper_UnInitialize();
    unsetenv(fakeengine::kScriptVariable);

    pid_t frontEnd = ThreadId();
    for (const fakeengine::Call& call : fakeengine::Ledger()) {
        if (call.op == "GetScanStatus" || call.op == "ReadImageData") {
            EXPECT_EQ(readerId, call.thread) << call.text;
        } else {
            EXPECT_EQ(frontEnd, call.thread) << call.text;
        }
        if (call.op == "FreeImageData") {
            EXPECT_TRUE(call.known) << call.text;
        }
    }
}

}  // namespace
