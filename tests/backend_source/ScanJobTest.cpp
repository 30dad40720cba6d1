// Scan jobs through the SANE entry points against the fake engine: pixels
// as the engine gave them, pages in order with blank ones passed over, the
// statuses of failed reads, the scan requests, cancelling and closing
// mid-job, failed starts, the reader's time-outs and the one engine shared
// by two handles.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "BackendFixture.h"
#include "backend_source/My_Scanner.h"
#include "tests/support/process/Process.h"

namespace {

using fakeengine::Ledger;

using ScanJob = BackendJobTest;

// Waits until done() holds, looking every millisecond; false after 10 s.
bool Eventually(const std::function<bool()>& done)
{
    auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The bytes a front end must receive for a page of the fake's pattern.
std::vector<uint8_t> Expected(const std::string& pattern, uint32_t width, uint32_t height, uint32_t bits)
{
    uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    std::vector<uint8_t> bytes;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint64_t i = 0; i < rowBytes; ++i) {
            uint8_t byte = fakeengine::PatternByte(pattern, y, static_cast<uint32_t>(i));
            bytes.push_back(bits == 1 ? static_cast<uint8_t>(~byte) : byte);
        }
    }
    return bytes;
}

TEST_F(ScanJob, PixelsArriveAsTheEngineGaveThemAtEveryDepthAndBufferSize)
{
    struct Case {
        const char* mode;
        uint32_t width, height, bits;
        const char* pattern;
        int chunk;
        SANE_Frame format;
        int depth;
    };
    // clang-format off
    const Case cases[] = {
        {"Black & White",     13, 5, 1,  "fill:0x0F", 1,     SANE_FRAME_GRAY, 1},  // 0x0F arrives as 0xF0
        {"Black & White",     70, 9, 1,  "gradient",  32768, SANE_FRAME_GRAY, 1},
        {"True Gray",         41, 7, 8,  "gradient",  5,     SANE_FRAME_GRAY, 8},  // parts of lines
        {"True Gray",         41, 7, 8,  "rows",      41,    SANE_FRAME_GRAY, 8},  // exactly one line
        {"24bit Color[Fast]", 33, 6, 24, "red",       32768, SANE_FRAME_RGB,  8},  // FF 00 00 unchanged
        {"24bit Color[Fast]", 33, 6, 24, "gradient",  100,   SANE_FRAME_RGB,  8},  // one line and a part
        {"24bit Color[Fast]", 12000, 2, 24, "gradient", 1024, SANE_FRAME_RGB, 8},  // wide lines, 1 KiB reads
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.pattern + " chunk " + std::to_string(c.chunk));
        fakeengine::ClearLedger();
        SANE_Handle h = Open("page " + std::to_string(c.width) + " " + std::to_string(c.height) + " " +
                             std::to_string(c.bits) + " " + c.pattern + "\n");
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optMode, c.mode));
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        SANE_Parameters p;
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_get_parameters(h, &p));
        EXPECT_EQ(c.format, p.format);
        EXPECT_EQ(c.depth, p.depth);
        EXPECT_EQ(static_cast<int>(c.width), p.pixels_per_line);
        EXPECT_EQ(static_cast<int>(c.height), p.lines);
        EXPECT_EQ(static_cast<int>((c.width * c.bits + 7) / 8), p.bytes_per_line);
        SANE_Status end = SANE_STATUS_GOOD;
        std::vector<uint8_t> got = BackendFixture::ReadPage(h, c.chunk, &end);
        EXPECT_EQ(SANE_STATUS_EOF, end);
        EXPECT_TRUE(got == Expected(c.pattern, c.width, c.height, c.bits)) << "bytes differ";
        if (c.bits == 1 && std::string(c.pattern) == "fill:0x0F") {
            EXPECT_EQ(0xF0, got.at(0));
        }
        sane_vordane5_cancel(h);
        sane_vordane5_close(h);
        sane_vordane5_exit();
        std::string why;
        EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    }
}

TEST_F(ScanJob, ABlankPageIsPassedOverAndTheJobEndsWithNoDocs)
{
    SANE_Handle h = Open(
        "page 8 2 8 fill:1\n"
        "page 8 2 8 zero blank\n"
        "page 8 2 8 fill:3\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    SANE_Status end;
    EXPECT_EQ(std::vector<uint8_t>(16, 1), BackendFixture::ReadPage(h, 64, &end));
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    EXPECT_EQ(std::vector<uint8_t>(16, 3), BackendFixture::ReadPage(h, 64, &end));
    EXPECT_EQ(SANE_STATUS_EOF, end);
    EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
    EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
    sane_vordane5_cancel(h);
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    EXPECT_EQ(3u, Ledger("FreeImageData").size());
}

TEST_F(ScanJob, AJobOfOnlyBlankPagesAndOneWithoutPagesBothGiveNoDocs)
{
    SANE_Handle h = Open("page 8 2 8 zero blank\n");
    EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
    sane_vordane5_exit();
    h = Open("status RECEIVING 1\n");
    EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
}

TEST_F(ScanJob, AFailedPageReadGivesItsStatusInPageOrder)
{
    struct Case {
        const char* result;
        SANE_Status status;
    };
    const Case cases[] = {
        {"0x50000091", SANE_STATUS_JAMMED},     {"0x50000093", SANE_STATUS_JAMMED},
        {"0x500000A0", SANE_STATUS_COVER_OPEN}, {"0x50000090", SANE_STATUS_NO_DOCS},
        {"0x500000C5", SANE_STATUS_IO_ERROR},   {"0x40500000", SANE_STATUS_IO_ERROR},  // no device code
        {"0x00000007", SANE_STATUS_IO_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        fakeengine::ClearLedger();
        SANE_Handle h = Open(std::string("page 4 1 8 fill:9\npage 4 1 8 zero result ") + c.result + "\n");
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        SANE_Status end;
        EXPECT_EQ(std::vector<uint8_t>(4, 9), BackendFixture::ReadPage(h, 64, &end));
        EXPECT_EQ(c.status, sane_vordane5_start(h));
        SANE_Byte buffer[16];
        SANE_Int length = -1;
        EXPECT_EQ(c.status, sane_vordane5_read(h, buffer, sizeof buffer, &length));
        EXPECT_EQ(0, length);  // nothing of a failed page is copied
        EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
        sane_vordane5_exit();
        std::string why;
        EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    }
}

// The scan requests as the engine received them, worked by hand from the
// device above (all lengths in hundredths of a millimetre).
TEST_F(ScanJob, ScanRequestsHoldTheHandWorkedAreas)
{
    struct Case {
        const char* name;
        const char* source;
        const char* mode;
        int dpi;
        int tlx, tly, brx, bry;  // mm; -1 leaves the default
        bool autoSize;
        // expected
        int colortype, duplex, paperSource, papertype, areaSelected;
        uint32_t customX, customY;
        int offsetX, offsetY, width, height;
    };
    // clang-format off
    const Case cases[] = {
        // Flatbed, left aligned: the area as set, every margin wide enough.
        {"flatbed", "FlatBed", "True Gray", 300, 10, 20, 110, 170, false,
         vscore::TRUEGRAY, vscore::SIMPLEX, vscore::FLATBED, vscore::CUSTOMSIZE, 1, 21590, 29700,
         1000, 2000, 10000, 15000},
        // A4 centred in the 215.9 mm duplex feeder: offset (21590 - 21000) / 2 = 295, 5 short of the
        // left margin and 5 short of the right one: width 21000 - 10; top margin 200 off the height.
        {"centre duplex", "Automatic Document Feeder(center aligned,Duplex)", "24bit Color[Fast]", 200,
         0, 0, 210, 297, false,
         vscore::COLOR24BIT, vscore::DUPLEX_LONG, vscore::ADF, vscore::CUSTOMSIZE, 1, 21590, 35560,
         295, 0, 20990, 29500},
        // Document size detection: the flatbed's maximum as size and limits; the default area of
        // 215 x 355 mm loses 300 left, 210 right, 200 top and 6000 below the 297 mm limit.
        {"auto size", "Automatic Document Feeder(left aligned)", "Black & White", 150, -1, -1, -1, -1, true,
         vscore::BLACKWHITE, vscore::SIMPLEX, vscore::ADF, vscore::AUTOSIZE, 0, 21590, 29700,
         0, 0, 20990, 29300},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakeengine::ClearLedger();
        SANE_Handle h = Open("page 4 1 8 zero\n");
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optScanSrc, c.source));
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optMode, c.mode));
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optResolution, c.dpi));
        const int edges[4] = {c.tlx, c.tly, c.brx, c.bry};
        const int options[4] = {optTLX, optTLY, optBRX, optBRY};
        for (int i = 0; i < 4; ++i) {
            if (edges[i] >= 0) {
                ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, options[i], SANE_FIX(edges[i])));
            }
        }
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optSizeDetect, c.autoSize ? SANE_TRUE : SANE_FALSE));
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        std::vector<fakeengine::Call> starts = Ledger("StartScanning");
        ASSERT_EQ(1u, starts.size());
        const vscore::VS_SCANNER_PARAMETERS& r = starts[0].request;
        EXPECT_EQ(static_cast<uint32_t>(c.dpi), r.resolutionX);
        EXPECT_EQ(static_cast<uint32_t>(c.dpi), r.resolutionY);
        EXPECT_EQ(c.colortype, r.colortype);
        EXPECT_EQ(c.duplex, r.duplextype);
        EXPECT_EQ(c.paperSource, r.paperSource);
        EXPECT_EQ(c.papertype, r.scanAreaInfo.papertype);
        EXPECT_EQ(c.areaSelected, r.scanAreaInfo.areaSelected ? 1 : 0);
        EXPECT_EQ(c.customX, r.scanAreaInfo.customPaperSize.size.x);
        EXPECT_EQ(c.customY, r.scanAreaInfo.customPaperSize.size.y);
        EXPECT_EQ(vscore::MM, r.scanAreaInfo.customPaperSize.unit);
        EXPECT_EQ(c.offsetX, r.scanAreaInfo.selectArea.offsetX);
        EXPECT_EQ(c.offsetY, r.scanAreaInfo.selectArea.offsetY);
        EXPECT_EQ(c.width, r.scanAreaInfo.selectArea.width);
        EXPECT_EQ(c.height, r.scanAreaInfo.selectArea.height);
        EXPECT_EQ(vscore::MM, r.scanAreaInfo.selectArea.unit);
        EXPECT_EQ(0, r.brightness);
        EXPECT_FALSE(r.enhanced.autocrop);
        EXPECT_FALSE(r.enhanced.blankRemoval.remove);
        sane_vordane5_exit();
    }
}

// Outside a page the frame is the estimate from the options, worked by hand
// for the default area of the device above (215 x 355 mm, edges rounded to
// 16 pixels): 848 x 1392 at 100 dpi, 1264 x 2096 at 150 dpi. During a page
// it is that page's own.
TEST_F(ScanJob, ParametersFollowTheOptionsAfterACancelAFailedStartAndTheLastPage)
{
    SANE_Handle h = Open(
        "page 8 2 8 fill:1\n"
        "scan\n"
        "page 4 1 8 zero result 0x500000C5\n"
        "scan\n"
        "page 8 2 8 fill:1\n");
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optMode, "True Gray"));
    auto expect = [h](SANE_Frame format, int pixels, int lines, int bytesPerLine) {
        SANE_Parameters p;
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_get_parameters(h, &p));
        EXPECT_EQ(format, p.format);
        EXPECT_EQ(8, p.depth);
        EXPECT_EQ(pixels, p.pixels_per_line);
        EXPECT_EQ(lines, p.lines);
        EXPECT_EQ(bytesPerLine, p.bytes_per_line);
    };
    auto resolution = [h](int dpi) { ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optResolution, dpi)); };
    expect(SANE_FRAME_GRAY, 848, 1392, 848);

    {
        SCOPED_TRACE("cancel");
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        expect(SANE_FRAME_GRAY, 8, 2, 8);
        sane_vordane5_cancel(h);
        expect(SANE_FRAME_GRAY, 848, 1392, 848);
        resolution(150);
        expect(SANE_FRAME_GRAY, 1264, 2096, 1264);
        resolution(100);
    }
    {
        SCOPED_TRACE("failed start");
        EXPECT_EQ(SANE_STATUS_IO_ERROR, sane_vordane5_start(h));
        expect(SANE_FRAME_GRAY, 848, 1392, 848);
        resolution(150);
        expect(SANE_FRAME_GRAY, 1264, 2096, 1264);
        sane_vordane5_cancel(h);
        resolution(100);
        expect(SANE_FRAME_GRAY, 848, 1392, 848);
    }
    {
        SCOPED_TRACE("last page");
        ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
        SANE_Status end;
        BackendFixture::ReadPage(h, 64, &end);
        expect(SANE_FRAME_GRAY, 8, 2, 8);
        EXPECT_EQ(SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
        expect(SANE_FRAME_GRAY, 848, 1392, 848);
        ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optMode, "24bit Color[Fast]"));
        expect(SANE_FRAME_RGB, 848, 1392, 3 * 848);
    }
    EXPECT_EQ(3u, Ledger("StartScanning").size());
}

TEST_F(ScanJob, AFailedStartLeavesNoJobAndTheNextStartBeginsAfresh)
{
    // The engine refuses the first scan; the second starts normally.
    b_.Engine("result StartScanning 0x10100001\npage 4 1 8 fill:5\n");
    SANE_Handle h = nullptr;
    ASSERT_TRUE(b_.InitAndOpen(&h));
    EXPECT_EQ(SANE_STATUS_IO_ERROR, sane_vordane5_start(h));
    EXPECT_EQ(1u, Ledger("StartScanning").size());
    EXPECT_TRUE(Ledger("GetScanStatus").empty());  // no reader was left behind
    sane_vordane5_cancel(h);
    sane_vordane5_close(h);  // nothing to join

    // An area the margins leave empty never reaches the engine: 1 mm wide
    // at the right edge of the feeder loses more than its width.
    sane_vordane5_exit();
    fakeengine::ClearLedger();
    h = Open("page 4 1 8 fill:5\n");
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optScanSrc, "Automatic Document Feeder(left aligned)"));
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optTLX, SANE_FIX(214)));
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optBRX, SANE_FIX(215)));
    EXPECT_EQ(SANE_STATUS_INVAL, sane_vordane5_start(h));
    EXPECT_TRUE(Ledger("StartScanning").empty());
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optTLX, SANE_FIX(0)));
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    EXPECT_EQ(1u, Ledger("StartScanning").size());
}

TEST_F(ScanJob, CancelReturnsAtOnceAndTheBlockedStartGivesCancelled)
{
    // The engine holds the reader in its status call before page 2 until the
    // canceller, once sane_cancel has returned, lets it go: the second
    // sane_start waits for page 2 until cancelled, and a sane_cancel that
    // calls the engine or waits for the reader shows.
    SANE_Handle h = Open(
        "page 8 1 8 fill:1\n"
        "hold\n"
        "page 8 1 8 fill:2\n"
        "page 8 1 8 fill:3\n"
        "scan\n"
        "page 8 1 8 fill:1\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    SANE_Status end;
    BackendFixture::ReadPage(h, 64, &end);
    std::atomic<bool> atOnce{false};
    std::thread canceller([&] {
        // sane_start has given page 1 back, so it waits for page 2.
        bool const waiting = Eventually([] { return !Ledger("FreeImageData").empty(); }) &&
                             fakeengine::WaitForHold(std::chrono::seconds(10));
        sane_vordane5_cancel(h);
        bool const noAbortYet = Ledger("AbortScanning").empty();
        atOnce = fakeengine::Release() && waiting && noAbortYet;
    });
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane_vordane5_start(h));
    canceller.join();
    EXPECT_TRUE(atOnce.load()) << "sane_cancel called the engine or waited for the reader";
    SANE_Byte buffer[8];
    SANE_Int length = -1;
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane_vordane5_read(h, buffer, sizeof buffer, &length));
    EXPECT_EQ(0, length);

    // The next start ends the old job (the reader asked the engine once to
    // abort and gave pages 2 and 3 back) and begins a new one.
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    EXPECT_EQ(1u, Ledger("AbortScanning").size());
    EXPECT_EQ(2u, Ledger("StartScanning").size());
    EXPECT_EQ(std::vector<uint8_t>(8, 1), BackendFixture::ReadPage(h, 64, &end));
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
}

// A front end slower than the scanner leaves the pages it has not reached
// with the engine: the reader keeps one page ready beside the one read.
// While the front end holds page n the reader takes page n + 1 unasked,
// and no more until the front end moves on.
TEST_F(ScanJob, TheReaderTakesAtMostOnePageAheadOfTheFrontEnd)
{
    SANE_Handle h =
        Open("page 8 1 8 fill:1\npage 8 1 8 fill:2\npage 8 1 8 fill:3\npage 8 1 8 fill:4\npage 8 1 8 fill:5\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    SANE_Status end;
    for (size_t page = 1; page <= 5; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        size_t const taken = std::min<size_t>(page + 1, 5);  // the page being read and the next
        EXPECT_TRUE(Eventually([taken] { return Ledger("ReadImageData").size() >= taken; }));
        EXPECT_EQ(taken, Ledger("ReadImageData").size());
        EXPECT_EQ(std::vector<uint8_t>(8, static_cast<uint8_t>(page)), BackendFixture::ReadPage(h, 64, &end));
        EXPECT_EQ(taken, Ledger("ReadImageData").size());
        EXPECT_EQ(page < 5 ? SANE_STATUS_GOOD : SANE_STATUS_NO_DOCS, sane_vordane5_start(h));
    }
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
}

// A cancel that comes while sane_start starts the job cancels that job: the
// start gives CANCELLED and the engine is asked to abort, by the thread that
// passes a cancel on while the engine starts (the engine's start waits for
// it) and by the reader before its first status poll.
TEST_F(ScanJob, ACancelDuringTheJobStartIsKept)
{
    SANE_Handle h = Open("start-until-abort\npage 8 1 8 fill:1\n");
    pid_t const frontEnd = testprocess::ThreadId();
    std::atomic<pid_t> cancelling{0};
    std::thread canceller([&] {
        cancelling = testprocess::ThreadId();
        EXPECT_TRUE(Eventually([] { return !Ledger("StartScanning").empty(); }));
        sane_vordane5_cancel(h);
    });
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane_vordane5_start(h));
    canceller.join();
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;

    std::vector<fakeengine::Call> polls = Ledger("GetScanStatus");
    ASSERT_FALSE(polls.empty());
    pid_t const reader = polls[0].thread;
    bool relayed = false;
    for (const fakeengine::Call& call : Ledger("AbortScanning")) {
        relayed = relayed || (call.thread != frontEnd && call.thread != cancelling && call.thread != reader);
    }
    EXPECT_TRUE(relayed) << "no abort while the engine started";
    for (const fakeengine::Call& call : Ledger()) {
        if (call.thread == reader) {
            EXPECT_EQ("AbortScanning", call.op) << "the reader's first call";
            break;
        }
    }
}

// A step of sane_start that fails after a cancel (here the scan request,
// for an area the margins leave empty, once the feeder query the cancel
// came in has answered) ends the start CANCELLED, as the front end asked.
TEST_F(ScanJob, ACancelledStartIsCancelledWhateverItsLastStepGave)
{
    SANE_Handle h = Open("adf-until-abort\npage 8 1 8 fill:1\n");
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optScanSrc, "Automatic Document Feeder(left aligned)"));
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optTLX, SANE_FIX(214)));
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetWord(h, optBRX, SANE_FIX(215)));
    std::thread canceller([&] {
        while (Ledger("QueryAdfState").empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sane_vordane5_cancel(h);
    });
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane_vordane5_start(h));
    canceller.join();
    EXPECT_TRUE(Ledger("StartScanning").empty());
    sane_vordane5_close(h);
}

TEST_F(ScanJob, CloseAndExitMidJobJoinTheReaderAndGiveEveryPageBack)
{
    const std::string timeline =
        "page 16 4 8 gradient\n"
        "page 16 4 8 gradient\n"
        "status RECEIVING 100\n"
        "page 16 4 8 gradient\n";
    SANE_Handle h = Open(timeline);
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    SANE_Byte buffer[10];
    SANE_Int length = 0;
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_read(h, buffer, sizeof buffer, &length));
    sane_vordane5_close(h);  // mid-page, no cancel first: the scan is aborted
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    EXPECT_EQ(3u, Ledger("FreeImageData").size());
    EXPECT_EQ(1u, Ledger("AbortScanning").size());
    sane_vordane5_exit();

    fakeengine::ClearLedger();
    h = Open(timeline);
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(h));
    sane_vordane5_exit();  // with the handle open
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    EXPECT_TRUE(fakeengine::OutstandingPages().empty());
    std::vector<fakeengine::Call> ledger = Ledger();
    ASSERT_FALSE(ledger.empty());
    EXPECT_EQ("Destroy", ledger.back().op);
}

TEST_F(ScanJob, OneEngineServesBothHandlesAndARunningJobKeepsIt)
{
    b_.Registered(
        "DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n"
        "DEVICE=lab , XY-100 , 1 , IP-ADDRESS=127.0.0.3\n");
    b_.Engine("page 4 1 8 fill:1\nstatus RECEIVING 200\n");
    SANE_Handle a = nullptr;
    SANE_Handle b = nullptr;
    ASSERT_TRUE(b_.InitAndOpen(&a, "net1;dev0"));
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_open("net1;dev1", &b));
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(a));  // selects "office" again
    std::vector<fakeengine::Call> selects = Ledger("SelectDevice");
    ASSERT_EQ(3u, selects.size());
    EXPECT_STREQ("127.0.0.2", selects[2].selection.addrNetwork);

    EXPECT_EQ(SANE_STATUS_DEVICE_BUSY, sane_vordane5_start(b));
    SANE_Handle c = reinterpret_cast<SANE_Handle>(1);
    EXPECT_EQ(SANE_STATUS_DEVICE_BUSY, sane_vordane5_open("net1;dev1", &c));
    EXPECT_EQ(nullptr, c);
    EXPECT_EQ(3u, Ledger("SelectDevice").size());

    sane_vordane5_close(a);  // the job ends, the engine is free
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_start(b));
    selects = Ledger("SelectDevice");
    ASSERT_EQ(4u, selects.size());
    EXPECT_STREQ("127.0.0.3", selects[3].selection.addrNetwork);
    EXPECT_STREQ("net1;dev1", selects[3].selection.nameDevice);
}

}  // namespace
