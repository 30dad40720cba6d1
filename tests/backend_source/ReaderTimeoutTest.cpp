// The reader thread's page time-outs by resolution, on a time scale that
// turns seconds into hundredths: 10, 30 and 120 s at 200, 300 and 1200 dpi.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "BackendFixture.h"
#include "backend_source/My_Scanner.h"
#include "backend_source/Timings.h"

namespace {

using fakeengine::Ledger;

using ReaderTimeout = BackendJobTest;

TEST_F(ReaderTimeout, TheReaderGivesUpAfterTheTimeOutOfTheResolution)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the time-outs are 10, 30 and 120 s";
#else
    const char* scale = getenv("VEXMOR_TEST_TIME_SCALE");
    if (scale == nullptr || std::string(scale) != "100") {
        GTEST_SKIP() << "needs VEXMOR_TEST_TIME_SCALE=100 (ctest sets it)";
    }
    // 10 s, 30 s and 120 s become 100, 300 and 1200 ms; the engine stays
    // busy far longer. A silent device is an I/O error, never the end of
    // the batch.
    struct Case {
        int dpi;
        int timeoutMs, belowMs;
    };
    // The reader's clock for page 2 starts once page 1 is queued, inside the
    // first sane_start and often before it returns: the time-out is at
    // least the time since the first sane_start began, and the time since
    // it returned stays below the next step's time-out.
    const Case cases[] = {{200, 100, 300}, {300, 300, 1200}, {1200, 1200, 3000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        fakeengine::ClearLedger();
        SANE_Handle h = Open("page 4 1 8 fill:1\nstatus RECEIVING 60000\n");
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optResolution, c.dpi));
        auto const begin = std::chrono::steady_clock::now();
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        auto const start = std::chrono::steady_clock::now();
        EXPECT_EQ(SANE_STATUS_IO_ERROR, sane_vordane5_start(h));
        auto const end = std::chrono::steady_clock::now();
        auto const sinceBegin = std::chrono::duration_cast<std::chrono::milliseconds>(end - begin);
        auto const sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(end - start);
        EXPECT_GE(sinceBegin.count(), c.timeoutMs);
        EXPECT_LT(sinceStart.count(), c.belowMs);
        EXPECT_EQ(1u, fakeengine::Ledger("AbortScanning").size());  // the scan given up is stopped too
        sane_vordane5_exit();
        std::string why;
        EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    }
#endif
}

TEST(ReaderTimings, TheTimeOutStepsAt299And600Dpi)
{
    BackendTimings t;
    EXPECT_EQ(10000, page_timeout_ms(t, 299));
    EXPECT_EQ(30000, page_timeout_ms(t, 300));
    EXPECT_EQ(30000, page_timeout_ms(t, 600));
    EXPECT_EQ(120000, page_timeout_ms(t, 601));
    EXPECT_EQ(200, t.statusPollMs);
}

}  // namespace
