// The scan status record's merge rules and the waiting-document state, and
// both under a writer and readers on other threads.
#include "VexmorApi/Temp/ScanError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace vscore {
namespace {

struct MergeCase {
    const char* name;
    std::function<void(CScanError&)> steps;
    std::function<void(const CScanError&)> check;
};

TEST(ScanError, MergeRulesAndQueries)
{
    const MergeCase cases[] = {
        {"a later error leaves the first status and its page",
         [](CScanError& e) {
             e.SetStatus(0x40500031);
             e.SetErr(0x30401008, 2);
         },
         [](const CScanError& e) {
             EXPECT_EQ(e.Get().status, 0x40500031u);
             EXPECT_EQ(e.GetErrPageNo(), 0);
         }},
        {"a stop-key cancel after page 3 names page 4, also over a status",
         [](CScanError& e) {
             e.SetRecvPageNo(0, 3);
             e.SetStatus(0x40500031);
             e.SetCanceled(CANCELTYPE_STOPKEY);
         },
         [](const CScanError& e) {
             EXPECT_EQ(e.GetCanceledPageNo(), 4);
             EXPECT_EQ(e.Get().status, 0x01000010u);
             EXPECT_TRUE(e.IsReceivedCancel());
         }},
        {"a device error after the end of the scan changes nothing",
         [](CScanError& e) {
             e.SetAllPageRecved();
             e.SetErrWithDevice(0x1040100B, 0x90, 2);
         },
         [](const CScanError& e) {
             EXPECT_FALSE(e.IsErrorOccurred());
             EXPECT_EQ(e.GetErrPageNo(), 0);
             EXPECT_TRUE(e.IsAllPageReceived());
         }},
        {"a receive time-out is a connection error", [](CScanError& e) { e.SetStatus(0x40500031); },
         [](const CScanError& e) {
             EXPECT_TRUE(e.IsConnectionErr());
             EXPECT_TRUE(e.IsPcErr());
         }},
        {"a reading-thread failure is no connection error", [](CScanError& e) { e.SetStatus(0x40401008); },
         [](const CScanError& e) { EXPECT_FALSE(e.IsConnectionErr()); }},
        {"the cancel command is a cancel", [](CScanError& e) { e.SetCanceled(CANCELTYPE_COMMAND); },
         [](const CScanError& e) {
             EXPECT_TRUE(e.IsReceivedCancel());
             EXPECT_EQ(e.GetCanceledPageNo(), 1);
         }},
        {"a cancel by a failure on this side is a cancel", [](CScanError& e) { e.SetStatus(0xC040100E); },
         [](const CScanError& e) { EXPECT_TRUE(e.IsReceivedCancel()); }},
        {"0x02000000 is no cancel", [](CScanError& e) { e.SetStatus(0x02000000); },
         [](const CScanError& e) { EXPECT_FALSE(e.IsReceivedCancel()); }},
        {"a recorded device error keeps its code and page against later errors",
         [](CScanError& e) {
             e.SetRecvPageNo(0, 2);
             e.SetErrWithDevice(0x1040100B, 0xA1, 3);
             e.SetErrCausingCancellation(0xD0);
         },
         [](const CScanError& e) {
             SCANSTATUS const s = e.Get();
             EXPECT_EQ(s.status, 0x1040100Bu);
             EXPECT_EQ(s.deviceErr, 0xA1);
             EXPECT_EQ(s.errPageNo, 3);
             EXPECT_TRUE(e.IsDeviceErr());
             EXPECT_FALSE(e.IsPcErr());
         }},
        {"a cancelling error names the page after the last received",
         [](CScanError& e) {
             e.SetRecvPageNo(0, 5);
             e.SetErrCausingCancellation(0xD0);
         },
         [](const CScanError& e) {
             EXPECT_EQ(e.GetErrPageNo(), 6);
             EXPECT_EQ(e.GetLastPageNo(), 5);
         }},
        {"the last received page only grows",
         [](CScanError& e) {
             e.SetRecvPageNo(0, 4);
             e.SetRecvPageNo(0, 2);
         },
         [](const CScanError& e) { EXPECT_EQ(e.GetLastPageNo(), 4); }},
        {"reset clears everything",
         [](CScanError& e) {
             e.SetRecvPageNo(0, 4);
             e.SetCanceled(CANCELTYPE_TIMEOUT);
             e.Reset();
         },
         [](const CScanError& e) {
             SCANSTATUS const s = e.Get();
             EXPECT_EQ(s.status, 0u);
             EXPECT_EQ(s.canceledPageNo, 0);
             EXPECT_EQ(s.lastReceivePageNo, 0);
         }},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CScanError error;
        c.steps(error);
        c.check(error);
    }
    EXPECT_TRUE(CScanError::IsDeviceErr(0x102400C4));
    EXPECT_FALSE(CScanError::IsDeviceErr(0x10240000 - 1));
    EXPECT_EQ(CScanError::ToDeviceErrCode(0x102400C4), 0xC4);
}

TEST(WaitingDocumentStatus, OneBatchWaitsThenTheNextClearsIt)
{
    WaitingDocumentStatus waiting;
    EXPECT_FALSE(waiting.IsWaiting());
    waiting.ReadyStatus(20);
    waiting.ReadyStatus(30);  // the latest announcement of a batch wins
    EXPECT_FALSE(waiting.IsWaiting()) << "announced times count only at the end of the batch";
    waiting.UpdateStatus();
    EXPECT_TRUE(waiting.IsWaiting());
    EXPECT_EQ(waiting.GetRemainigTime(), 30);
    waiting.UpdateStatus();
    EXPECT_FALSE(waiting.IsWaiting());
    EXPECT_EQ(waiting.GetRemainigTime(), 0);
}

// One writer walks a scan through pages, a device error and a cancel while
// readers copy the record and ask every question; every copy a reader takes
// must be one the writer could have left (the last page never drops, the
// first status never changes once set), and the run must be free of races.
TEST(ScanError, WriterAndReadersOnOtherThreads)
{
    CScanError error;
    WaitingDocumentStatus waiting;
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            uint16_t lastSeen = 0;
            VSRSLT firstStatus = 0;
            while (!done.load()) {
                SCANSTATUS const s = error.Get();
                if (s.lastReceivePageNo < lastSeen) {
                    ++faults;
                }
                lastSeen = s.lastReceivePageNo;
                if (firstStatus == 0 && s.status != 0 && !vdtcl::IsCancelStatus(s.status)) {
                    firstStatus = s.status;
                }
                if (firstStatus != 0 && s.status != firstStatus && !vdtcl::IsCancelStatus(s.status)) {
                    ++faults;
                }
                (void)error.IsReceivedCancel();
                (void)error.IsConnectionErr();
                (void)error.IsPcErr();
                (void)waiting.IsWaiting();
                (void)waiting.GetRemainigTime();
            }
        });
    }
    for (uint16_t page = 1; page <= 2000; ++page) {
        error.SetRecvPageNo(0, page);
        waiting.ReadyStatus(page);
        waiting.UpdateStatus();
        if (page == 1500) {
            error.SetErrWithDevice(0x1040100B, 0x90, page);
        }
        if (page == 1800) {
            error.SetErr(0x30401008, 1);
        }
    }
    error.SetCanceled(CANCELTYPE_STOPKEY);
    done = true;
    for (std::thread& t : readers) {
        t.join();
    }
    EXPECT_EQ(faults.load(), 0);
    SCANSTATUS const s = error.Get();
    EXPECT_EQ(s.lastReceivePageNo, 1500) << "pages after the first failure are not merged";
    EXPECT_EQ(s.errPageNo, 1500);
    EXPECT_EQ(s.canceledPageNo, 1501);
    EXPECT_EQ(s.status, 0x01000010u);
}

}  // namespace
}  // namespace vscore
