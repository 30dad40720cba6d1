// The reader thread's page time-outs by resolution, on a time scale that
// turns seconds into hundredths: 10, 30 and 120 s at 200, 300 and 1200 dpi.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

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
    // the batch. The debug log names the time-out the reader applied, the
    // clock shows it waited at least that long (from the first sane_start:
    // the reader's clock starts once page 1 is queued, inside that call).
    struct Case {
        int dpi;
        int timeoutMs;
    };
    const Case cases[] = {{200, 100}, {300, 300}, {1200, 1200}};
    b_.Settings("LOG=3\n");
    const std::string log = b_.Dir() / "kavrun5.log";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        fakeengine::ClearLedger();
        unlink(log.c_str());
        SANE_Handle h = Open("page 4 1 8 fill:1\nstatus RECEIVING 60000\n");
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optResolution, c.dpi));
        auto const begin = std::chrono::steady_clock::now();
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        EXPECT_EQ(SANE_STATUS_IO_ERROR, sane_vordane5_start(h));
        auto const sinceBegin =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
        EXPECT_GE(sinceBegin.count(), c.timeoutMs);
        std::string const given = "reader time-out after " + std::to_string(c.timeoutMs) + " ms\n";
        EXPECT_NE(std::string::npos, ScratchDir::Read(log).find(given)) << given;
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
