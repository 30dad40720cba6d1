// The generation-2 reading thread on the scripted device access: a
// four-page stream cut at every byte gives the scheduler the same pages,
// pages go on in order (pairs in duplex), and every event, device error and
// malformed stream ends on the right page with the right code.
#include "VexmorApi/Temp/ReadThread_v2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>

#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace vscore {
namespace {

using gen2_blocks::Bytes;
using read_thread_rig::Consume;
using read_thread_rig::Outcome;
using read_thread_rig::PageRecord;
using read_thread_rig::Rig;

uint8_t const kGray = gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kGray);
uint8_t const kGrayPacked = gen2_blocks::ImageType(false, gen2_blocks::kPackBits, gen2_blocks::kGrayAlt);
uint8_t const kMono = gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kMono);
uint8_t const kColor = gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kColor);
uint8_t const kJpeg = gen2_blocks::ImageType(false, gen2_blocks::kJpeg, gen2_blocks::kColor);

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A JPEG stream's first block: start of image and a frame header of height
// 0 (the device's line count fills it in), then filler.
Bytes JpegHead()
{
    return Cat({{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x00, 0x00, 0x10,
                 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00},
                Bytes(11, 0x5A)});
}
Bytes JpegTail() { return Cat({Bytes(9, 0xA5), {0xFF, 0xD9}}); }

// Four pages: gray lines starting with a white line and sized by a size
// report; a packed gray page that ends blank; a JPEG page cut at the
// device's maximum length; raw colour lines; then the end of the scan,
// with a block without event and a failure notice on the way.
Bytes FourPageStream()
{
    using namespace gen2_blocks;
    Bytes literal(17, 0);
    literal[0] = 15;  // 16 literal bytes follow
    for (uint8_t i = 1; i < 17; ++i) {
        literal[i] = i;
    }
    return Cat({SizeInfo(1, 16, 3), WhiteLine(1), Line(1, kGray, Bytes(16, 0x40)), Notice(0x10),
                Line(1, kGray, Bytes(16, 0x80)), PageEnd(1, 0x21), ColorCheck(2, kGray),
                Line(2, kGrayPacked, {0xF1, 0x55}), Line(2, kGrayPacked, literal), PageEnd(2, 0x22),
                JpegBlock(3, kJpeg, JpegHead(), 8), Failure(0x72, 3), JpegBlock(3, kJpeg, JpegTail(), 16),
                PageEnd(3, 0x23), Line(4, kColor, Bytes(48, 0x11)), Line(4, kColor, Bytes(48, 0x22)),
                SizeInfo(4, 16, 0), PageEnd(4, 0x21), AllPagesEnd()});
}

struct StreamRun {
    std::vector<PageRecord> pages;  // by page number
    Outcome outcome;
    size_t reads = 0;
};

StreamRun RunChunks(const std::vector<Bytes>& chunks, const std::function<void(Rig&)>& setup = {})
{
    Rig rig;
    if (setup) {
        setup(rig);
    }
    rig.device.QueueChunks(chunks);
    auto thread = rig.Make<CReadThread_v2>();
    StreamRun run;
    EXPECT_EQ(rig.Start(*thread), 0u);
    run.outcome = Consume(*thread);
    EXPECT_TRUE(thread->WaitLoopEnded());
    thread.reset();  // every page process has ended
    run.pages = rig.recorder.Pages();
    std::sort(run.pages.begin(), run.pages.end(),
              [](const PageRecord& a, const PageRecord& b) { return a.pageNo < b.pageNo; });
    run.reads = rig.device.ReceiveCalls().size();
    return run;
}

void ExpectSamePages(const StreamRun& reference, const StreamRun& run, const std::string& how)
{
    ASSERT_EQ(run.pages.size(), reference.pages.size()) << how;
    for (size_t i = 0; i < run.pages.size(); ++i) {
        EXPECT_TRUE(run.pages[i] == reference.pages[i]) << how << ": " << read_thread_rig::Describe(run.pages[i])
                                                        << " vs " << read_thread_rig::Describe(reference.pages[i]);
    }
    EXPECT_EQ(run.outcome.pages.size(), 4u) << how;
    EXPECT_EQ(run.outcome.lastStatus, ALLEND) << how;
}

TEST(ReadThreadV2Chunks, FourPagesArriveWholeAsTheDeviceSentThem)
{
    StreamRun const run = RunChunks({FourPageStream()});
    ASSERT_EQ(run.pages.size(), 4u);
    ASSERT_EQ(run.outcome.pages.size(), 4u);
    EXPECT_EQ(run.outcome.lastStatus, ALLEND);

    const PageRecord& lines = run.pages[0];
    EXPECT_FALSE(lines.jpeg);
    EXPECT_EQ(lines.color, DeviceImageInfo::TrueGray) << "a gray scan's page that starts with a white line";
    EXPECT_EQ(lines.width, 16u) << "the size report";
    ASSERT_EQ(lines.lines.size(), 3u);
    EXPECT_EQ(lines.lines[0].compression, DeviceImageLines::CompressionNoData);
    EXPECT_EQ(lines.lines[0].length, 0u);
    EXPECT_EQ(lines.lines[0].color, DeviceImageLines::LineTrueGray);
    EXPECT_EQ(lines.lines[1].compression, DeviceImageLines::CompressionNone);
    EXPECT_EQ(lines.lines[2].color, DeviceImageLines::LineTrueGray);
    Bytes expected(16, 0x40);
    expected.insert(expected.end(), 16, 0x80);
    EXPECT_EQ(lines.bytes, expected);
    EXPECT_NE(lines.decode.find("colorType: TrueGray"), std::string::npos) << lines.decode;

    EXPECT_TRUE(run.pages[1].blank);
    EXPECT_TRUE(run.outcome.pages[1].blank);
    EXPECT_FALSE(run.outcome.pages[1].image);

    const PageRecord& jpeg = run.pages[2];
    EXPECT_TRUE(jpeg.jpeg);
    EXPECT_TRUE(jpeg.terminated);
    EXPECT_TRUE(run.outcome.pages[2].terminated);
    EXPECT_EQ(jpeg.color, DeviceImageInfo::Color);
    EXPECT_EQ(jpeg.jpegHeight, 16u) << "the last block's line count";
    Bytes stream = Cat({JpegHead(), JpegTail()});
    stream[8] = 16;  // the frame's height, written from the line count
    EXPECT_EQ(jpeg.bytes, stream);
    EXPECT_NE(jpeg.decode.find("colorType: Any"), std::string::npos) << jpeg.decode;

    const PageRecord& color = run.pages[3];
    EXPECT_EQ(color.color, DeviceImageInfo::Color);
    EXPECT_EQ(color.width, 16u);
    ASSERT_EQ(color.lines.size(), 2u);
    EXPECT_EQ(color.lines[1].color, DeviceImageLines::LineColor);
    EXPECT_EQ(color.bytes, Cat({Bytes(48, 0x11), Bytes(48, 0x22)}));
}

TEST(ReadThreadV2Chunks, EveryCutOneByteAndLargeReadsAndRandomCutsGiveTheSamePages)
{
    Bytes const stream = FourPageStream();
    StreamRun const reference = RunChunks({stream});
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        ExpectSamePages(reference, RunChunks(fakedev::SplitAt(stream, {cut})), "cut at " + std::to_string(cut));
        if (HasFailure()) {
            return;
        }
    }
    ExpectSamePages(reference, RunChunks(fakedev::SplitEvery(stream, 1)), "1-byte reads");
    // A stream longer than one read: 256 KiB reads cut blocks anywhere.
    std::mt19937 random(27);
    for (int round = 0; round < 20; ++round) {
        std::vector<size_t> cuts;
        for (int i = 0; i < 8; ++i) {
            cuts.push_back(std::uniform_int_distribution<size_t>(1, stream.size() - 1)(random));
        }
        ExpectSamePages(reference, RunChunks(fakedev::SplitAt(stream, cuts)), "random cuts " + std::to_string(round));
    }
}

TEST(ReadThreadV2Chunks, LargeReadsCutBlocksAtTheReadSize)
{
    // Pages of 6000-byte lines: 256 KiB reads end inside blocks.
    Bytes stream;
    for (uint16_t page = 1; page <= 4; ++page) {
        for (int line = 0; line < 60; ++line) {
            stream = Cat({stream, gen2_blocks::Line(page, kGray, Bytes(6000, static_cast<uint8_t>(page * 7 + line)))});
        }
        stream = Cat({stream, gen2_blocks::PageEnd(page)});
    }
    stream = Cat({stream, gen2_blocks::AllPagesEnd()});
    StreamRun const whole = RunChunks({stream});
    ASSERT_GT(whole.reads, 5u) << "the stream took several reads of at most 256 KiB";
    StreamRun const bytewise = RunChunks(fakedev::SplitEvery(stream, 4093));
    ASSERT_EQ(whole.pages.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(whole.pages[i] == bytewise.pages[i]) << i;
        EXPECT_EQ(whole.pages[i].lines.size(), 60u);
    }
}

// Blocks the device at a numbered read until the test lets it go on.
struct ReadPause {
    explicit ReadPause(Rig& rig, size_t at)
    {
        rig.device.SetReceiveHook([this, at](size_t call) {
            if (call == at) {
                reached = true;
                while (!released.load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
    }
    void WaitReached() const
    {
        while (!reached.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};
};

TEST(ReadThreadV2Order, ADuplexFrontWaitsForItsBackAndSimplexPage2ForPage1)
{
    using namespace gen2_blocks;
    for (bool duplex : {true, false}) {
        SCOPED_TRACE(duplex ? "duplex" : "simplex");
        Rig rig;
        rig.parameters.duplextype = duplex ? DUPLEX_LONG : SIMPLEX;
        // Duplex: page 1 ends, then page 2. Simplex: page 2 ends before page 1.
        std::vector<Bytes> const chunks =
            duplex ? std::vector<Bytes>{Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1)}),
                                        Cat({Line(2, kGray, Bytes(16, 2)), PageEnd(2), AllPagesEnd()})}
                   : std::vector<Bytes>{Cat({Line(1, kGray, Bytes(16, 1)), Line(2, kGray, Bytes(16, 2)), PageEnd(2)}),
                                        Cat({PageEnd(1), AllPagesEnd()})};
        rig.device.QueueChunks(chunks);
        ReadPause pause(rig, 1);
        auto thread = rig.Make<CReadThread_v2>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        pause.WaitReached();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        uint16_t const waiting = duplex ? 1 : 2;
        EXPECT_EQ(thread->GetReadStatus(waiting), RECEIVING);
        EXPECT_TRUE(rig.recorder.Pages().empty()) << "nothing was handed on";
        pause.released = true;
        Outcome const outcome = Consume(*thread);
        EXPECT_EQ(outcome.pages.size(), 2u);
        EXPECT_EQ(outcome.lastStatus, ALLEND);
    }
}

TEST(ReadThreadV2Order, AnUnpairedDuplexPageGoesOnAloneAtTheEndOfTheScan)
{
    using namespace gen2_blocks;
    StreamRun const run = RunChunks({Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1), Line(2, kGray, Bytes(16, 2)),
                                          PageEnd(2), Line(3, kGray, Bytes(16, 3)), PageEnd(3), AllPagesEnd()})},
                                    [](Rig& rig) { rig.parameters.duplextype = DUPLEX_LONG; });
    EXPECT_EQ(run.outcome.pages.size(), 3u);
    EXPECT_EQ(run.outcome.lastStatus, ALLEND);
    ASSERT_EQ(run.pages.size(), 3u);
    EXPECT_EQ(run.pages[2].bytes, Bytes(16, 3));
}

// ---------------------------------------------------------------------------
// Events and malformed streams.

struct EventCase {
    const char* name;
    Bytes stream;
    size_t pagesDelivered;
    bool failed;
    VSRSLT code;
    uint16_t lastPageNo;
    std::function<void(Rig&)> setup;
    std::function<void(const StreamRun&)> check = {};
};

TEST(ReadThreadV2Events, EachEventEndsOnItsPageWithItsCode)
{
    using namespace gen2_blocks;
    Bytes const page1 = Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1)});
    Bytes const page2part = Line(2, kGray, Bytes(16, 2));
    auto const duplex = [](Rig& rig) { rig.parameters.duplextype = DUPLEX_LONG; };
    std::vector<EventCase> const cases = {
        {"the stop key", Cat({page1, page2part, Notice(0x41)}), 1, true, 0x01000010, 2, {}},
        {"the cancel command", Cat({page1, Notice(0x40)}), 1, true, 0x01000001, 2, {}},
        {"0xA1 is 0xA2", Cat({page1, page2part, DeviceError(0xA1)}), 1, true, 0x500000A2, 2, {}},
        {"an unknown device error", Cat({page1, DeviceError(0x85)}), 1, true, 0x500000FF, 2, {}},
        {"a known device error", Cat({DeviceError(0x90)}), 0, true, 0x50000090, 1, {}},
        {"0x81 without an abort is a device error", Cat({page1, DeviceError(0x81)}), 1, true, 0x500000FF, 2, {}},
        {"an unreadable block", Cat({page1, Bytes{0x00, 0x99, 0x01}}), 1, true, 0x500000FF, 2, {}},
        {"a data size beyond the receive buffer",
         Cat({page1, Encode({0, 0x01, 2, kGray, 0, {}, 0xA00000u})}),
         1,
         true,
         0x500000FF,
         2,
         {}},
        {"a page end without data", Cat({page1, PageEnd(2)}), 1, true, 0x6040100F, 2, {}},
        {"a blank end without data is a blank page", Cat({PageEnd(1, 0x22), AllPagesEnd()}), 1, false, 0, 2, {}},
        {"a JPEG block into a page of lines",
         Cat({page2part, JpegBlock(2, kJpeg, JpegHead(), 8)}),
         0,
         true,
         0x70403004,
         1,
         {}},
        {"lines into a JPEG page", Cat({JpegBlock(1, kJpeg, JpegHead(), 8), WhiteLine(1)}), 0, true, 0x70403004, 1, {}},
        // In duplex a complete front page waits for its back, so the
        // failure reaches it before any page is processed.
        {"lines for a page that ended", Cat({page1, Line(1, kGray, Bytes(16, 9))}), 0, true, 0x70403004, 1, duplex},
        {"a second end of a page", Cat({page1, PageEnd(1)}), 0, true, 0x10404005, 1, duplex},
        {"more lines than the paper has are dropped",
         Cat({Line(1, kGray, Bytes(16, 1)), Line(1, kGray, Bytes(16, 2)), Line(1, kGray, Bytes(16, 3)), PageEnd(1),
              AllPagesEnd()}),
         1, false, 0, 2, [](Rig& rig) { rig.script->scanAreaDecided.height = 2; },
         [](const StreamRun& run) {
             ASSERT_EQ(run.pages.size(), 1u);
             EXPECT_EQ(run.pages[0].lines.size(), 2u);
         }},
        {"a failure recorded for a later page is not lost at the end",
         Cat({page1, PageEnd(3), AllPagesEnd()}),
         1,
         true,
         0x6040100F,
         2,
         {}},
    };
    for (const EventCase& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRun const run = RunChunks({c.stream}, c.setup);
        EXPECT_EQ(run.outcome.pages.size(), c.pagesDelivered);
        EXPECT_EQ(run.outcome.failed, c.failed);
        EXPECT_EQ(run.outcome.code, c.code);
        EXPECT_EQ(run.outcome.lastPageNo, c.lastPageNo);
        EXPECT_FALSE(run.outcome.timedOut);
        if (c.check) {
            c.check(run);
        }
    }
}

TEST(ReadThreadV2Events, WhatFollowsTheEndOrAFailureDoesNotDependOnHowTheReadsWereCut)
{
    using namespace gen2_blocks;
    struct Case {
        const char* name;
        Bytes stream;
        size_t cut;  // a second run splits the stream here
        VSRSLT code;
        size_t reads[2];  // whole, cut
    };
    Bytes const badJpeg = Cat({WhiteLine(1), JpegBlock(1, kJpeg, JpegHead(), 8)});
    const Case cases[] = {
        // A stop key after a device error in the same read changes nothing.
        {"the device error ends the scan", Cat({DeviceError(0x90), Notice(0x41)}), 2, 0x50000090, {1, 1}},
        // Unreadable data end the loop also after an earlier failure.
        {"unreadable data after a failure",
         Cat({PageEnd(1), Bytes{0x00, 0x99}, Timer(0x51, 30)}),
         4,
         0x6040100F,
         {1, 2}},
        // The blocks behind a block that failed are handled at once: the
        // device's timer extend counts, so 300 tries follow.
        {"the blocks behind a failing block", Cat({badJpeg, Timer(0x51, 30)}), badJpeg.size(), 0x70403004, {301, 302}},
    };
    for (const Case& c : cases) {
        for (bool cut : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (cut ? ", cut" : ", whole"));
            std::vector<Bytes> const chunks = cut ? fakedev::SplitAt(c.stream, {c.cut}) : std::vector<Bytes>{c.stream};
            Rig rig;
            rig.device.QueueChunks(chunks);
            auto thread = rig.Make<CReadThread_v2>();
            ASSERT_EQ(rig.Start(*thread), 0u);
            ASSERT_TRUE(thread->WaitLoopEnded());
            EXPECT_EQ(thread->GetVSRSLTCode(), c.code);
            EXPECT_EQ(rig.device.ReceiveCalls().size(), c.reads[cut ? 1 : 0]);
        }
    }
}

TEST(ReadThreadV2Events, WhiteLinesNeverSetThePageColour)
{
    using namespace gen2_blocks;
    // A colour scan whose page starts with gray lines keeps them gray; the
    // white line takes the page's kind. A black-and-white scan's page that
    // starts with a white line is black and white.
    StreamRun const gray = RunChunks({Cat({Line(1, kGray, Bytes(16, 7)), WhiteLine(1), PageEnd(1), AllPagesEnd()})},
                                     [](Rig& rig) { rig.parameters.colortype = COLOR24BIT; });
    ASSERT_EQ(gray.pages.size(), 1u);
    EXPECT_EQ(gray.pages[0].color, DeviceImageInfo::TrueGray);
    ASSERT_EQ(gray.pages[0].lines.size(), 2u);
    EXPECT_EQ(gray.pages[0].lines[1].color, DeviceImageLines::LineTrueGray);
    EXPECT_EQ(gray.pages[0].lines[1].compression, DeviceImageLines::CompressionNoData);
    EXPECT_NE(gray.pages[0].decode.find("colorType: TrueGray"), std::string::npos);

    StreamRun const mono = RunChunks({Cat({WhiteLine(1), Line(1, kMono, Bytes(2, 0xF0)), PageEnd(1), AllPagesEnd()})},
                                     [](Rig& rig) { rig.parameters.colortype = ERRDIFFUSION; });
    ASSERT_EQ(mono.pages.size(), 1u);
    EXPECT_EQ(mono.pages[0].color, DeviceImageInfo::BlackAndWhite);
    EXPECT_EQ(mono.pages[0].lines[0].color, DeviceImageLines::LineWholeRow);
    EXPECT_NE(mono.pages[0].decode.find("colorType: Any"), std::string::npos);
}

TEST(ReadThreadV2Events, AbortAnsweredWithRefusal0x81CountsAsCancel)
{
    Rig rig;
    rig.timings.readTimeoutMs = 90000;
    std::atomic<bool> answered{false};
    rig.device.SetReceiveHook([&](size_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!answered.load() && !rig.SentCommands("ABT").empty()) {
            answered = true;
            rig.device.QueueData(gen2_blocks::DeviceError(0x81));
        }
    });
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    rig.WaitUntilReceiving();
    thread->SetPCCancelFlag();
    Outcome const outcome = Consume(*thread);
    EXPECT_EQ(outcome.code, 0x01000001u);
    EXPECT_EQ(outcome.lastPageNo, 1);
}

TEST(ReadThreadV2Events, TimerExtendWaitsTheAnnouncedTimeAndKeepsThePage)
{
    using namespace gen2_blocks;
    StreamRun const run =
        RunChunks({Cat({Line(1, kGray, Bytes(16, 1)), Timer(0x51, 30), Line(1, kGray, Bytes(16, 2)), PageEnd(1)})});
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(run.pages[0].lines.size(), 2u);
    EXPECT_EQ(run.reads, 1u + 300u) << "30000 ms in tries of 100 ms, as the device announced";
    EXPECT_EQ(run.outcome.code, 0x40500031u);
    EXPECT_EQ(run.outcome.lastPageNo, 2);
}

TEST(ReadThreadV2Events, TimerRestartDiscardsThePageBeingRead)
{
    using namespace gen2_blocks;
    StreamRun const run = RunChunks({Cat({Line(1, kGray, Bytes(16, 1)), Line(1, kGray, Bytes(16, 1)), Timer(0x50, 2),
                                          Line(1, kGray, Bytes(16, 2)), PageEnd(1), AllPagesEnd()})});
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(run.pages[0].bytes, Bytes(16, 2));
    EXPECT_EQ(run.outcome.pages.size(), 1u);
}

TEST(ReadThreadV2Events, ARemainingTimeMeansWaitingForOneBatch)
{
    using namespace gen2_blocks;
    Rig rig;
    rig.device.QueueChunks(
        {Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1), Timer(0x52, 30)}), Notice(0x10), AllPagesEnd()});
    std::atomic<size_t> pausedAt{0};
    std::atomic<size_t> go{0};
    rig.device.SetReceiveHook([&](size_t call) {
        if (call == 1 || call == 2) {
            pausedAt = call;
            while (go.load() < call) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    while (pausedAt.load() != 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(thread->GetReadStatus(2), WAITINGDOCUMENTINSERTION);
    EXPECT_EQ(thread->GetRemainingWaitTime(), 30);
    go = 1;
    while (pausedAt.load() != 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(thread->GetReadStatus(2), WAITINGNEXTPAGE);
    EXPECT_EQ(thread->GetRemainingWaitTime(), 0);
    go = 2;
    Outcome const outcome = Consume(*thread);
    EXPECT_EQ(outcome.pages.size(), 1u);
    EXPECT_EQ(outcome.lastStatus, ALLEND);
}

TEST(ReadThreadV2Status, ALostConnectionStillDeliversThePagesWithTheProcessor)
{
    using namespace gen2_blocks;
    Rig rig;
    std::atomic<bool> decodeMayRun{false};
    rig.recorder.beforeDecode = [&](uint16_t, const fake_tasks::FakeTask&) {
        while (!decodeMayRun.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    rig.device.QueueData(Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1)}));
    rig.device.QueueReceiveError(0, 0);
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    ASSERT_TRUE(thread->WaitLoopEnded());
    EXPECT_EQ(thread->GetReadStatus(1), RECEIVING) << "page 1 is still being processed";
    EXPECT_EQ(thread->GetReadStatus(2), XFERREADY) << "page 2 never reached the processor";
    decodeMayRun = true;
    Outcome const outcome = Consume(*thread);
    ASSERT_EQ(outcome.pages.size(), 1u);
    EXPECT_TRUE(outcome.pages[0].image);
    EXPECT_EQ(outcome.code, 0x40500032u);
    EXPECT_EQ(outcome.lastPageNo, 2);
}

TEST(ReadThreadV2Status, AfterTheFailedPageWasAnsweredTheScanIsOver)
{
    using namespace gen2_blocks;
    Rig rig;
    rig.device.QueueData(
        Cat({Line(1, kGray, Bytes(16, 1)), PageEnd(1), Line(2, kGray, Bytes(16, 2)), DeviceError(0x90)}));
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    Outcome const outcome = Consume(*thread);
    EXPECT_EQ(outcome.code, 0x50000090u);
    EXPECT_EQ(outcome.lastPageNo, 2);
    ASSERT_TRUE(thread->WaitLoopEnded());
    EXPECT_EQ(thread->GetReadStatus(3), ALLEND);
}

TEST(ReadThreadV2, DeviceErrorTable)
{
    CReadThread_v2 thread;
    std::vector<uint16_t> known = {0x84, 0x86, 0x87, 0x88, 0xA0, 0xB0, 0xB1, 0xB2, 0xB3};
    for (uint16_t code = 0x90; code <= 0x9A; ++code) {
        known.push_back(code);
    }
    for (uint16_t code = 0xA2; code <= 0xA9; ++code) {
        known.push_back(code);
    }
    for (uint16_t code = 0; code <= 0x1FF; ++code) {
        bool const isKnown = std::find(known.begin(), known.end(), code) != known.end();
        VSRSLT const expected = code == 0xA1 ? 0x500000A2u : isKnown ? 0x50000000u | code : 0x500000FFu;
        EXPECT_EQ(thread.ConvertDeviceErrorToVSRSLT(code), expected) << std::hex << code;
    }
}

}  // namespace
}  // namespace vscore
