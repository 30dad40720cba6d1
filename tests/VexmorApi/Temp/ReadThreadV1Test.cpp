// The generation-1 reading thread on the scripted device access: a
// four-page stream cut at every byte gives the scheduler the same pages and
// enhancement parameters, pages go on in order (sheets whole in duplex),
// every status and device code ends on the right page with the right code,
// and the cancel command R goes out once.
#include "VexmorApi/Temp/ReadThread_v1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace vscore {
namespace {

using gen1::AddedInfo;
using gen1::Bytes;
using read_thread_rig::Consume;
using read_thread_rig::Outcome;
using read_thread_rig::PageRecord;
using read_thread_rig::Rig;
using read_thread_rig::Step;

constexpr uint8_t kRaw = 0x40;
constexpr uint8_t kPacked = 0x42;
constexpr uint8_t kJpeg = 0x60;

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

AddedInfo On(int16_t page) { return AddedInfo{page, false, false, 0}; }
// A JPEG unit carries the page's height in the long form.
AddedInfo JpegOn(int16_t page, uint32_t height) { return AddedInfo{page, false, true, height}; }

Bytes Line(int16_t page, uint8_t fill) { return gen1::LineUnit(kRaw, On(page), Bytes(16, fill)); }
Bytes End(int16_t page) { return gen1::PageEndUnit(On(page)); }
Bytes AllEnd() { return gen1::StatusUnit(0x80); }

// A JPEG stream's first block: start of image and a frame header of height
// 0, then filler; and its last.
Bytes JpegHead()
{
    return Cat({{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x00, 0x00, 0x18,
                 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00},
                Bytes(11, 0x5A)});
}
Bytes JpegTail() { return Cat({Bytes(9, 0xA5), {0xFF, 0xD9}}); }

uint32_t const kCorners[8] = {10, 12, 200, 14, 11, 300, 201, 302};

// The units of four pages of a gray scan of width 16: white, raw and
// packed lines; corners for page 2 and the size of page 3 in the middle of
// page 2; a JPEG page; a page of white lines alone; the end of the scan.
std::vector<Bytes> FourPageUnits()
{
    return {gen1::WhiteLineUnit(0x00, On(1)),
            Line(1, 0x40),
            gen1::LineUnit(kPacked, On(1), {0xF1, 0x55}),
            End(1),
            gen1::CornersUnit(On(2), kCorners),
            Line(2, 0x20),
            gen1::ImageSizeUnit(On(3), 24, 2),
            Line(2, 0x21),
            End(2),
            gen1::LineUnit(kJpeg, JpegOn(3, 2), JpegHead()),
            gen1::LineUnit(kJpeg, JpegOn(3, 2), JpegTail()),
            End(3),
            gen1::WhiteLineUnit(0x00, On(4)),
            gen1::WhiteLineUnit(0x3F, On(4)),
            End(4),
            AllEnd()};
}

Bytes FourPageStream()
{
    Bytes all;
    for (const Bytes& unit : FourPageUnits()) {
        all.insert(all.end(), unit.begin(), unit.end());
    }
    return all;
}

// A gray scan of width 16 and height 4 from a generation-1 device that
// reports paper corners.
void Gen1Gray(Rig& rig)
{
    rig.UseGeneration1();
    rig.capability.cornerDetect.cap = SUPPORT;
    rig.parameters.scanAreaInfo.selectArea = SCANAREA{0, 0, 16, 4, PIXEL};
}

// Shows the scan status record, whose error page the caller's side would
// otherwise only meet through its questions.
class ExposedV1 : public CReadThread_v1 {
public:
    using CReadThread_v1::CReadThread_v1;
    SCANSTATUS Status() const { return m_scanError->Get(); }
};

struct StreamRun {
    std::vector<PageRecord> pages;  // by page number
    SCANSTATUS status{};
    std::vector<fake_tasks::TaskCall> enhancements;
    Outcome outcome;
    std::vector<fakedev::ReceiveCall> reads;
    int closes = 0;
};

StreamRun RunChunks(const std::vector<Bytes>& chunks, const std::function<void(Rig&)>& setup = {})
{
    Rig rig;
    Gen1Gray(rig);
    if (setup) {
        setup(rig);
    }
    rig.device.QueueChunks(chunks);
    auto thread = rig.Make<ExposedV1>();
    StreamRun run;
    EXPECT_EQ(rig.Start(*thread), 0u);
    run.outcome = Consume(*thread);
    EXPECT_TRUE(thread->WaitLoopEnded());
    run.status = thread->Status();
    thread.reset();  // every page process has ended
    run.pages = rig.recorder.Pages();
    std::sort(run.pages.begin(), run.pages.end(),
              [](const PageRecord& a, const PageRecord& b) { return a.pageNo < b.pageNo; });
    for (const fake_tasks::TaskCall& call : rig.recorder.Factory()->Calls()) {
        if (call.kind == fake_tasks::TaskKind::Enhance) {
            run.enhancements.push_back(call);
        }
    }
    std::sort(run.enhancements.begin(), run.enhancements.end(),
              [](const fake_tasks::TaskCall& a, const fake_tasks::TaskCall& b) { return a.pageNo < b.pageNo; });
    run.reads = rig.device.ReceiveCalls();
    run.closes = rig.device.GetCounts().close;
    return run;
}

bool SameCorners(const _IMAGEPROC_PARAM& a, const _IMAGEPROC_PARAM& b)
{
    if (a.corners.cornersGiven != b.corners.cornersGiven) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        if (a.corners.points[i].x != b.corners.points[i].x || a.corners.points[i].y != b.corners.points[i].y) {
            return false;
        }
    }
    return true;
}

void ExpectSamePages(const StreamRun& reference, const StreamRun& run, const std::string& how)
{
    ASSERT_EQ(run.pages.size(), reference.pages.size()) << how;
    ASSERT_EQ(run.enhancements.size(), reference.enhancements.size()) << how;
    for (size_t i = 0; i < run.pages.size(); ++i) {
        EXPECT_TRUE(run.pages[i] == reference.pages[i]) << how << ": " << read_thread_rig::Describe(run.pages[i])
                                                        << " vs " << read_thread_rig::Describe(reference.pages[i]);
        EXPECT_TRUE(SameCorners(run.enhancements[i].imageProcParam, reference.enhancements[i].imageProcParam))
            << how << ": page " << i + 1;
    }
    EXPECT_EQ(run.outcome.pages.size(), 4u) << how;
    EXPECT_EQ(run.outcome.lastStatus, ALLEND) << how;
}

// ---------------------------------------------------------------------------
// Chunking.

TEST(ReadThreadV1Chunks, FourPagesArriveWholeAsTheDeviceSentThem)
{
    StreamRun const run = RunChunks({FourPageStream()});
    ASSERT_EQ(run.pages.size(), 4u);
    ASSERT_EQ(run.outcome.pages.size(), 4u);
    EXPECT_EQ(run.outcome.lastStatus, ALLEND);

    const PageRecord& lines = run.pages[0];
    EXPECT_FALSE(lines.jpeg);
    EXPECT_EQ(lines.color, DeviceImageInfo::TrueGray);
    EXPECT_EQ(lines.width, 16u) << "the width asked for";
    ASSERT_EQ(lines.lines.size(), 3u);
    EXPECT_EQ(lines.lines[0].compression, DeviceImageLines::CompressionNoData) << "the all-white line";
    EXPECT_EQ(lines.lines[0].length, 0u);
    EXPECT_EQ(lines.lines[0].color, DeviceImageLines::LineTrueGray);
    EXPECT_EQ(lines.lines[1].compression, DeviceImageLines::CompressionNone);
    EXPECT_EQ(lines.lines[2].compression, DeviceImageLines::CompressionPackBits);
    EXPECT_EQ(lines.bytes, Cat({Bytes(16, 0x40), {0xF1, 0x55}}));
    EXPECT_NE(lines.decode.find("colorType: TrueGray"), std::string::npos) << lines.decode;
    EXPECT_NE(lines.decode.find("height: 4"), std::string::npos) << lines.decode;

    EXPECT_EQ(run.pages[1].width, 16u) << "page 3's size, sent within page 2, is not page 2's";
    EXPECT_EQ(run.pages[1].bytes, Cat({Bytes(16, 0x20), Bytes(16, 0x21)}));

    const PageRecord& jpeg = run.pages[2];
    EXPECT_TRUE(jpeg.jpeg);
    EXPECT_EQ(jpeg.width, 24u) << "page 3's size report";
    EXPECT_EQ(jpeg.jpegHeight, 2u) << "the units' height";
    Bytes stream = Cat({JpegHead(), JpegTail()});
    stream[8] = 2;
    EXPECT_EQ(jpeg.bytes, stream);

    const PageRecord& white = run.pages[3];
    EXPECT_FALSE(white.jpeg) << "white lines alone make a lines image";
    ASSERT_EQ(white.lines.size(), 2u);
    EXPECT_EQ(white.lines[1].compression, DeviceImageLines::CompressionNoData);
    EXPECT_TRUE(white.bytes.empty());

    // The corners reach the enhancement of page 2 alone.
    ASSERT_EQ(run.enhancements.size(), 4u);
    const IMAGEPROC_4CORNERS& corners = run.enhancements[1].imageProcParam.corners;
    ASSERT_TRUE(corners.cornersGiven);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(corners.points[i].x, static_cast<int32_t>(kCorners[2 * i]));
        EXPECT_EQ(corners.points[i].y, static_cast<int32_t>(kCorners[2 * i + 1]));
    }
    for (size_t page : {0u, 2u, 3u}) {
        EXPECT_FALSE(run.enhancements[page].imageProcParam.corners.cornersGiven) << page + 1;
    }
    EXPECT_EQ(run.closes, 2) << "closed at the scan's end code and again by the thread";
}

TEST(ReadThreadV1Chunks, EveryCutOneByteAndRandomCutsGiveTheSamePagesAndParameters)
{
    Bytes const stream = FourPageStream();
    StreamRun const reference = RunChunks({stream});
    for (const read_thread_rig::Cutting& cutting : read_thread_rig::Cuttings(stream, 28)) {
        ExpectSamePages(reference, RunChunks(cutting.chunks), cutting.how);
        if (HasFailure()) {
            return;
        }
    }
}

TEST(ReadThreadV1Chunks, AUnitEndingWithTheDataLeavesNothingCarried)
{
    // Each read ends with a unit: every read has the whole buffer again.
    StreamRun const whole = RunChunks(FourPageUnits());
    ASSERT_EQ(whole.pages.size(), 4u);
    for (const fakedev::ReceiveCall& read : whole.reads) {
        EXPECT_EQ(read.bufferSize, static_cast<int>(CReadThread_base::kReceiveBufferSize));
    }
    // A read ending 3 bytes into the raw line: those come back first.
    size_t const cut = FourPageUnits()[0].size() + 3;
    StreamRun const split = RunChunks(fakedev::SplitAt(FourPageStream(), {cut}));
    ASSERT_GE(split.reads.size(), 2u);
    EXPECT_EQ(split.reads[1].bufferSize, static_cast<int>(CReadThread_base::kReceiveBufferSize - 3));
}

// ---------------------------------------------------------------------------
// Order.

TEST(ReadThreadV1Order, ADuplexFrontWaitsForItsBackAndSimplexPage2ForPage1)
{
    for (bool duplex : {true, false}) {
        SCOPED_TRACE(duplex ? "duplex" : "simplex");
        Rig rig;
        Gen1Gray(rig);
        rig.parameters.duplextype = duplex ? DUPLEX_LONG : SIMPLEX;
        // Duplex: page 1 ends, then page 2. Simplex: page 2 ends before page 1.
        rig.device.QueueChunks(
            duplex ? std::vector<Bytes>{Cat({Line(1, 1), End(1)}), Cat({Line(2, 2), End(2), AllEnd()})}
                   : std::vector<Bytes>{Cat({Line(1, 1), Line(2, 2), End(2)}), Cat({End(1), AllEnd()})});
        // Before the second read nothing has gone to the scheduler.
        std::atomic<int> decodedBeforeSecondRead{-1};
        rig.device.SetReceiveHook([&](size_t call) {
            if (call == 1) {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                decodedBeforeSecondRead = static_cast<int>(rig.recorder.Pages().size());
            }
        });
        auto thread = rig.Make<CReadThread_v1>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        Outcome const outcome = Consume(*thread);
        EXPECT_EQ(decodedBeforeSecondRead.load(), 0);
        EXPECT_EQ(outcome.pages.size(), 2u);
        EXPECT_EQ(outcome.lastStatus, ALLEND);
    }
}

TEST(ReadThreadV1Order, AnUnpairedDuplexPageGoesOnAloneAtTheEndOfTheScan)
{
    StreamRun const run = RunChunks({Cat({Line(1, 1), End(1), Line(2, 2), End(2), Line(3, 3), End(3), AllEnd()})},
                                    [](Rig& rig) { rig.parameters.duplextype = DUPLEX_LONG; });
    EXPECT_EQ(run.outcome.pages.size(), 3u);
    EXPECT_EQ(run.outcome.lastStatus, ALLEND);
    ASSERT_EQ(run.pages.size(), 3u);
    EXPECT_EQ(run.pages[2].bytes, Bytes(16, 3));
}

// ---------------------------------------------------------------------------
// Codes.

TEST(ReadThreadV1Codes, EveryDeviceCodeAndStatusEndsOnItsPage)
{
    struct Row {
        uint8_t code;
        VSRSLT result;
    };
    // clang-format off
    std::vector<Row> const rows = {
        {0xC2, 0x50000090}, {0xC3, 0x50000091}, {0xC4, 0x500000A0}, {0xC5, 0x500000B0}, {0xC6, 0x500000B1},
        {0xC7, 0x500000A2}, {0xC8, 0x50000092}, {0xC9, 0x50000084}, {0xCA, 0x500000A2}, {0xCB, 0x500000A4},
        {0xCC, 0x500000A5}, {0xCD, 0x500000A6}, {0xCE, 0x500000A7}, {0xCF, 0x50000094}, {0xD1, 0x50000087},
        {0xD2, 0x50000098}, {0xD3, 0x50000099}, {0xD4, 0x50000088}, {0xD5, 0x5000009A}, {0xE0, 0x500000B3},
        {0xE8, 0x500000A3}, {0xE9, 0x500000B2}, {0xEA, 0x50000093}, {0xEB, 0x500000A8}, {0xEC, 0x500000A9},
        {0xED, 0x50000095}, {0xEE, 0x50000096}, {0xEF, 0x50000097},
        // Codes without an entry, among them status bytes the stream has no use for.
        {0xD0, 0x500000FF}, {0x81, 0x500000FF}, {0x84, 0x500000FF}, {0x85, 0x500000FF}, {0xFF, 0x500000FF},
    };
    // clang-format on
    Bytes const page1 = Cat({Line(1, 1), End(1)});
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << int{row.code});
        // The bytes after the code are never dispatched: the batch ends.
        StreamRun const run = RunChunks({Cat({page1, Line(2, 2), gen1::StatusUnit(row.code), End(2), AllEnd()})});
        ASSERT_EQ(run.outcome.pages.size(), 1u);
        EXPECT_TRUE(run.outcome.failed);
        EXPECT_EQ(run.outcome.code, row.result);
        EXPECT_EQ(run.outcome.lastPageNo, 2);
        EXPECT_EQ(run.pages.size(), 1u);
        EXPECT_EQ(run.closes, 2) << "closed at the code and again by the thread";
    }
}

TEST(ReadThreadV1Codes, CancelEndAndMalformedUnitsEndOnTheirPages)
{
    struct Case {
        const char* name;
        Bytes stream;
        size_t delivered;
        bool failed;
        VSRSLT code;
        uint16_t lastPageNo;
        int closes;
        uint16_t errorPage;
    };
    Bytes const page1 = Cat({Line(1, 1), End(1)});
    // An added info of 4 bytes can never form a unit.
    Bytes const unreadable{0x40, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF};
    // clang-format off
    std::vector<Case> const cases = {
        {"the cancel code", Cat({page1, Line(2, 2), gen1::StatusUnit(0x83)}), 1, true, 0x01000010, 2, 2, 0},
        {"the stop key", Cat({page1, gen1::StatusUnit(0x86), Line(2, 2)}), 1, true, 0x01000010, 2, 2, 0},
        {"the end of the scan", Cat({page1, AllEnd()}), 1, false, 0, 2, 2, 0},
        {"an unreadable unit mid-page", Cat({page1, Line(2, 2), unreadable}), 1, true, 0x500000FF, 2, 2, 2},
        {"an unreadable unit first", unreadable, 0, true, 0x500000FF, 1, 2, 1},
        {"a JPEG block into a page of lines",
         Cat({page1, Line(2, 2), gen1::LineUnit(kJpeg, JpegOn(2, 2), JpegHead()), End(2), Line(3, 3), End(3),
              AllEnd()}),
         1, true, 0x6040100F, 2, 2, 2},
        {"lines into a JPEG page",
         Cat({page1, gen1::LineUnit(kJpeg, JpegOn(2, 2), JpegHead()), Line(2, 2), End(2), AllEnd()}),
         1, true, 0x6040100F, 2, 2, 2},
        {"the end of a page never begun", Cat({page1, End(3), Line(2, 2), End(2), AllEnd()}), 1, true, 0x6040100F,
         2, 2, 3},
        {"a page end numbered 0", Cat({page1, End(0), AllEnd()}), 1, true, 0x6040100F, 2, 2, 2},
        {"nothing after the scan's end", Cat({page1, AllEnd(), gen1::StatusUnit(0x86)}), 1, false, 0, 2, 2, 0},
        {"nothing after a cancel", Cat({page1, gen1::StatusUnit(0x83), Line(2, 2), gen1::StatusUnit(0xC3)}), 1,
         true, 0x01000010, 2, 2, 0},
        {"a line after its page's end", Cat({page1, Line(1, 9), Line(2, 2), End(2), AllEnd()}), 1, true, 0x6040100F,
         2, 2, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRun const run = RunChunks({c.stream});
        EXPECT_EQ(run.outcome.pages.size(), c.delivered);
        EXPECT_EQ(run.outcome.failed, c.failed);
        EXPECT_EQ(run.outcome.code, c.code);
        EXPECT_EQ(run.outcome.lastPageNo, c.lastPageNo);
        EXPECT_EQ(run.closes, c.closes);
        EXPECT_EQ(run.pages.size(), c.delivered) << "no page of a failed scan is handed on";
        EXPECT_EQ(run.status.errPageNo, c.errorPage);
    }
}

TEST(ReadThreadV1Codes, ADeviceCodeAfterAnEarlierFailureStillEndsTheScan)
{
    // The device error is not the one recorded (the end of page 3 never
    // begun came first), yet nothing after it is dispatched: the cancel code
    // of the next read would otherwise replace the scan's code.
    for (uint8_t code : {uint8_t{0x8F}, uint8_t{0xC3}}) {
        SCOPED_TRACE(static_cast<int>(code));
        StreamRun const run = RunChunks({Cat({Line(1, 1), End(1), End(3), gen1::StatusUnit(code), Line(2, 2)}),
                                         Cat({gen1::StatusUnit(0x86), Line(2, 2), End(2), AllEnd()})});
        EXPECT_EQ(run.outcome.code, 0x6040100Fu);
        EXPECT_EQ(run.outcome.lastPageNo, 2);
        EXPECT_EQ(run.closes, 2);
        EXPECT_EQ(run.reads.size(), 1u) << "the loop ended at the code";
    }
}

TEST(ReadThreadV1Decode, TrueGrayOnlyAtVersion12AndReversalOnlyForEvenShortEdgePages)
{
    struct Case {
        COLORTYPE color;
        CommandVersion version;
        DUPLEXTYPE duplex;
        bool trueGray;
        bool reversedEven;
    };
    std::vector<Case> const cases = {
        {TRUEGRAY, CommandVersion_2014_2, DUPLEX_SHORT, true, true},
        {TRUEGRAY, CommandVersion_2017, DUPLEX_LONG, false, false},
        {BLACKWHITE, CommandVersion_2014_2, SIMPLEX, false, false},
        {COLOR24BIT, CommandVersion_2014_2, DUPLEX_SHORT, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.color << " " << c.version << " " << c.duplex);
        StreamRun const run = RunChunks({Cat({Line(1, 1), End(1), Line(2, 2), End(2), AllEnd()})}, [&](Rig& rig) {
            rig.parameters.colortype = c.color;
            rig.capability.commandVersion = c.version;
            rig.parameters.duplextype = c.duplex;
        });
        ASSERT_EQ(run.pages.size(), 2u);
        for (const PageRecord& page : run.pages) {
            EXPECT_EQ(page.decode.find("colorType: TrueGray") != std::string::npos, c.trueGray) << page.decode;
            bool const reversed = page.decode.find("reversal: true") != std::string::npos;
            EXPECT_EQ(reversed, c.reversedEven && page.pageNo == 2) << page.decode;
        }
    }
}

// ---------------------------------------------------------------------------
// Cancel.

// R goes out once after the scan command, from the reading thread or (an
// outside device) the caller's; a cancel during the preparation needs
// none, since no scan command follows it.
TEST(ReadThreadV1Cancel, RGoesOutOnceAndNeverDuringThePreparation)
{
    for (int round = 0; round < 6; ++round) {
        bool const outside = round % 2 == 1;
        bool const duringPreparation = round % 3 == 0;
        SCOPED_TRACE(testing::Message() << (outside ? "outside device" : "device") << " round " << round);
        Rig rig;
        Gen1Gray(rig);
        rig.timings = EngineTimings();
        rig.timings.statusPollSleepMs = 0;
        if (outside) {
            rig.capability.commandVersion = CommandVersion_2017;
            ASSERT_TRUE(rig.capability.IsOutsideDevice());
        }
        rig.device.QueueData(Cat({Line(1, 1), End(1)}));
        read_thread_rig::PreparationHold hold(rig.script, Step::ScanArea);
        // An outside device answers R with the cancel code; the other says
        // nothing, so the scan ends on the short time-out.
        std::atomic<bool> answered{false};
        rig.device.SetReceiveHook([&](size_t) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (outside && !answered.load() && !rig.SentCommands("R").empty()) {
                answered = true;
                rig.device.QueueData(gen1::StatusUnit(0x83));
            }
        });
        auto thread = rig.Make<CReadThread_v1>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        if (duringPreparation) {
            hold.WaitReached();
            thread->SetPCCancelFlag();
            EXPECT_TRUE(rig.SentCommands("R").empty()) << "no command between the preparation's commands";
            hold.Release();
        } else {
            hold.Release();
            rig.WaitUntilReceiving(3);
            // Generation 1 has no finish form: a finish request sends R too.
            if (round != 4) {
                thread->SetPCCancelFlag();
            }
            thread->SetWaitingDocumentFinishFlag();
        }
        Outcome const outcome = Consume(*thread);
        ASSERT_TRUE(thread->WaitLoopEnded());
        std::vector<fakedev::SentFrame> const aborts = rig.SentCommands("R");
        if (duringPreparation) {
            EXPECT_TRUE(aborts.empty());
            EXPECT_NE(rig.script->Calls().back().step, Step::ScanCommand);
            EXPECT_EQ(outcome.code, 0x01000002u) << "cancelled before the scan";
            EXPECT_TRUE(outcome.pages.empty());
            continue;
        }
        ASSERT_EQ(aborts.size(), 1u);
        EXPECT_EQ(aborts[0].bytes, (Bytes{0x1B, 'R', '\n', 0x80}));
        EXPECT_GE(aborts[0].at, rig.script->Calls().back().end) << "after the scan command";
        std::vector<fakedev::ReceiveCall> const reads = rig.device.ReceiveCalls();
        if (!outside) {
            EXPECT_EQ(aborts[0].thread, reads[0].thread) << "sent by the reading thread";
            size_t const after = static_cast<size_t>(std::count_if(
                reads.begin(), reads.end(), [&](const auto& r) { return r.at >= aborts[0].at && r.returned == 0; }));
            EXPECT_EQ(after, 100u) << "10000 ms in tries of 100 ms after R";
            EXPECT_EQ(outcome.code, 0x01000002u) << "no answer to R";
        } else {
            EXPECT_EQ(outcome.code, 0x01000010u) << "the device's cancel code";
        }
        EXPECT_TRUE(outcome.failed);
        // A finish request (the later request replaces the cancel) delivers
        // page 1.
        EXPECT_EQ(outcome.pages.size(), 1u) << "page 1 was on its way";
    }
}

}  // namespace
}  // namespace vscore
