// The scan process with generation-1 reading threads on the scripted device
// access, driven as the backend and the engine object drive it: pages read
// on one thread while another frees, polls and cancels; a new scan started
// over a running one while a poll and a read race it; a new scan after a
// scan that failed unread; a process destroyed mid-scan.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "VexmorApi/Temp/ReadThread_v1.h"
#include "VexmorApi/Temp/ScanProcess.h"
#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace vscore {
namespace {

using gen1::Bytes;
using read_thread_rig::Clock;
using read_thread_rig::Rig;

// Pages first, first + 1, ... of three gray lines each.
Bytes Pages(int16_t count, int16_t first = 1)
{
    Bytes all;
    for (int16_t page = first; page < first + count; ++page) {
        for (uint8_t line = 0; line < 3; ++line) {
            Bytes const unit = gen1::LineUnit(0x40, gen1::AddedInfo{page, false, false, 0}, Bytes(16, line));
            all.insert(all.end(), unit.begin(), unit.end());
        }
        Bytes const end = gen1::PageEndUnit(gen1::AddedInfo{page, false, false, 0});
        all.insert(all.end(), end.begin(), end.end());
    }
    return all;
}

Bytes WithEnd(Bytes stream, uint8_t code)
{
    Bytes const end = gen1::StatusUnit(code);
    stream.insert(stream.end(), end.begin(), end.end());
    return stream;
}

// A device that sends page after page for ever, one page a read, slowly;
// it never answers R.
void Endless(Rig& rig)
{
    auto next = std::make_shared<std::atomic<int>>(1);
    rig.device.SetReceiveHook([&rig, next](size_t) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (rig.device.PendingReceiveSteps() == 0) {
            rig.device.QueueData(Pages(1, static_cast<int16_t>(next->fetch_add(1))));
        }
    });
}

// A generation-1 gray scan on the rig, its reading threads made by the
// scan process through the rig.
struct Scan {
    explicit Scan(Rig& rig, const EngineTimings& timings = read_thread_rig::ShortTimings()) : process(timings)
    {
        Use(rig);
    }
    void Use(Rig& rig)
    {
        rig.UseGeneration1();
        rig.timings.statusPollSleepMs = 1;
        rig.parameters.scanAreaInfo.selectArea = SCANAREA{0, 0, 16, 3, PIXEL};
        process.SetReadThreadFactory(
            [&rig](SCANCMD_GENERATION) -> std::unique_ptr<IReadThread> { return rig.Make<CReadThread_v1>(); });
        current = &rig;
    }
    VSRSLT Start()
    {
        if (!caps->IsInitialized()) {
            caps->Initialize(current->facade);
        }
        VSRSLT const initialized = process.Initialize(current->facade, caps, &current->device);
        return initialized != 0 ? initialized
                                : process.StartScan(current->parameters, current->capability, current->facade, false);
    }

    std::shared_ptr<CDeviceCaps> caps = std::make_shared<CDeviceCaps>();
    CScanProcess process;
    Rig* current = nullptr;
};

// What the reading side of the backend did.
struct ReadLog {
    std::vector<int> pageNumbers;
    std::vector<uint32_t> widths;
    VSRSLT failure = 0;
    bool allEnd = false;
};

// Polls and reads as the backend's reader thread does until ALLEND, a
// failure or the time limit; hands every page read to onPage.
ReadLog ReadAll(CScanProcess& process, const std::function<void(int)>& onPage = {},
                std::chrono::seconds limit = std::chrono::seconds(20))
{
    ReadLog log;
    Clock::time_point const end = Clock::now() + limit;
    while (Clock::now() < end) {
        SCANAPISTATUS const status = process.GetReadStatus();
        if (status == ALLEND) {
            process.EndReadThread();
            log.allEnd = true;
            return log;
        }
        if (status == XFERREADY) {
            tagVS_SCAN_IMAGEDATA record{};
            int pageNo = 0;
            VSRSLT const read = process.ReadImageData(&record, pageNo);
            if (read != 0) {
                log.failure = read;
                return log;
            }
            log.pageNumbers.push_back(pageNo);
            log.widths.push_back(record.width);
            if (onPage) {
                onPage(pageNo);
            }
        }
    }
    return log;
}

std::vector<int> OneTo(int count)
{
    std::vector<int> numbers;
    for (int i = 1; i <= count; ++i) {
        numbers.push_back(i);
    }
    return numbers;
}

TEST(ScanProcessThreads, ReadsOnOneThreadWhileAnotherFreesPollsAndCancels)
{
    for (int round = 0; round < 8; ++round) {
        bool const cancel = round % 2 == 1;
        SCOPED_TRACE(testing::Message() << "round " << round << (cancel ? " with a cancel" : ""));
        Rig rig;
        rig.AddJitter();
        rig.device.QueueChunks(fakedev::SplitEvery(WithEnd(Pages(12), 0x80), 97));
        Scan scan(rig);
        ASSERT_EQ(scan.Start(), 0u);

        std::mutex mutex;
        std::deque<int> toFree;
        std::atomic<bool> done{false};
        std::atomic<int> polls{0};
        std::thread other([&] {
            int freed = 0;
            while (!done.load()) {
                int pageNo = 0;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (!toFree.empty()) {
                        pageNo = toFree.front();
                        toFree.pop_front();
                    }
                }
                if (pageNo != 0) {
                    scan.process.FreeImageData(static_cast<uint16_t>(pageNo));
                    if (cancel && ++freed == 4) {
                        EXPECT_TRUE(scan.process.AbortScan());
                    }
                }
                scan.process.GetReadStatus();
                ++polls;
            }
        });
        ReadLog const log = ReadAll(scan.process, [&](int pageNo) {
            std::lock_guard<std::mutex> lock(mutex);
            toFree.push_back(pageNo);
        });
        done = true;
        other.join();

        EXPECT_GT(polls.load(), 0);
        EXPECT_EQ(log.pageNumbers, OneTo(static_cast<int>(log.pageNumbers.size())));
        if (!cancel) {
            EXPECT_TRUE(log.allEnd);
            EXPECT_EQ(log.pageNumbers.size(), 12u);
        } else {
            // Cancelled before the end (R unanswered), or after the last page.
            EXPECT_TRUE(log.allEnd || log.failure == 0x01000002u) << std::hex << log.failure;
            EXPECT_LE(rig.SentCommands("R").size(), 1u);
        }
    }
}

// The scan command opens the device, as the real facade does, so a scan
// after one that closed it finds it open; it counts the scans begun.
std::shared_ptr<std::atomic<int>> OpenAtScanCommand(Rig& rig)
{
    auto scans = std::make_shared<std::atomic<int>>(0);
    rig.script->onStep = [&rig, scans](read_thread_rig::Step step) {
        if (step == read_thread_rig::Step::ScanCommand) {
            rig.device.SetOpen(true);
            ++*scans;
        }
    };
    return scans;
}

TEST(ScanProcessThreads, ANewScanOverARunningOneNeverDeliversAnOldPage)
{
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        Rig rig;
        std::shared_ptr<std::atomic<int>> const scans = OpenAtScanCommand(rig);
        rig.timings.abortAckTimeoutMs = 200;
        // The first scan gets page after page for ever and no answer to R;
        // the next one (its thread starts after the first was joined) gets
        // three pages and the end.
        auto next = std::make_shared<std::atomic<int>>(1);
        auto secondQueued = std::make_shared<std::atomic<bool>>(false);
        rig.device.SetReceiveHook([&rig, next, scans, secondQueued](size_t) {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (scans->load() < 2) {
                if (rig.device.PendingReceiveSteps() == 0) {
                    rig.device.QueueData(Pages(1, static_cast<int16_t>(next->fetch_add(1))));
                }
            } else if (!secondQueued->exchange(true)) {
                rig.device.QueueChunks(fakedev::SplitEvery(WithEnd(Pages(3), 0x80), 41));
            }
        });
        Scan scan(rig);
        ASSERT_EQ(scan.Start(), 0u);

        std::atomic<bool> restarted{false};
        std::atomic<bool> stop{false};
        std::atomic<int> oldPages{0};
        std::atomic<int> newPages{0};
        std::atomic<int> staleAfterRestart{0};
        std::thread reader([&] {
            while (!stop.load()) {
                bool const after = restarted.load();
                SCANAPISTATUS const status = scan.process.GetReadStatus();
                if (status == ALLEND && after) {
                    scan.process.EndReadThread();
                    return;
                }
                if (status != XFERREADY) {
                    continue;
                }
                tagVS_SCAN_IMAGEDATA record{};
                int pageNo = 0;
                if (scan.process.ReadImageData(&record, pageNo) != 0 || record.width == 0) {
                    continue;
                }
                if (record.width == 24) {
                    ++newPages;
                } else {
                    ++oldPages;
                    if (after) {
                        ++staleAfterRestart;
                    }
                }
            }
        });
        while (oldPages.load() < 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        rig.parameters.scanAreaInfo.selectArea.width = 24;  // the new scan's pages
        Clock::time_point const begin = Clock::now();
        ASSERT_EQ(scan.Start(), 0u) << "Initialize and StartScan over the running scan";
        restarted = true;
        EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5)) << "the old scan ended on its cancel";
        Clock::time_point const limit = Clock::now() + std::chrono::seconds(20);
        while (newPages.load() < 3 && Clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop = true;
        reader.join();
        EXPECT_EQ(newPages.load(), 3);
        EXPECT_EQ(staleAfterRestart.load(), 0);
        EXPECT_EQ(rig.SentCommands("R").size(), 1u) << "the old scan was cancelled once";
    }
}

TEST(ScanProcessThreads, AScanThatEndedUnreadGivesWayToANewOne)
{
    Rig rig;
    OpenAtScanCommand(rig);
    rig.device.QueueData(WithEnd(Pages(1), 0xC3));  // a jam after page 1
    Scan scan(rig);
    ASSERT_EQ(scan.Start(), 0u);
    // The loop ends on the jam while nobody reads.
    Clock::time_point const limit = Clock::now() + std::chrono::seconds(20);
    while (rig.device.IsOpenScanner() && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    rig.device.QueueData(WithEnd(Pages(2), 0x80));
    EXPECT_EQ(scan.process.StartScan(rig.parameters, rig.capability, rig.facade, false), 0x10100001u)
        << "StartScan alone: the process still counts as scanning";
    ASSERT_EQ(scan.Start(), 0u);
    ReadLog const log = ReadAll(scan.process);
    EXPECT_TRUE(log.allEnd);
    EXPECT_EQ(log.pageNumbers, OneTo(2));
}

TEST(ScanProcessThreads, DestroyingAProcessMidScanEndsWithinTheAcknowledgementTime)
{
    EngineTimings timings = read_thread_rig::ShortTimings();
    timings.abortAckTimeoutMs = 300;
    Rig rig;
    rig.timings = timings;
    Endless(rig);
    auto scan = std::make_unique<Scan>(rig, timings);
    ASSERT_EQ(scan->Start(), 0u);
    rig.WaitUntilReceiving(20);
    Clock::time_point const begin = Clock::now();
    scan.reset();
    auto const took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
    EXPECT_LT(took.count(), 300 + 1500) << "the cancel's acknowledgement time-out, and a margin";
    EXPECT_EQ(rig.SentCommands("R").size(), 1u);
    EXPECT_FALSE(rig.device.IsOpenScanner());
}

}  // namespace
}  // namespace vscore
