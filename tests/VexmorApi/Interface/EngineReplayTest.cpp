// The whole engine over the replay mock (a temporary HOME per test):
// recordings of both protocol generations written by the test tree's
// builder are selected, scanned, polled, read and freed through the engine
// object and must give the builder's pixels; marker files and requests
// during the wait for the next document give the device's outcomes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "VexmorApi/Vexmor.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

using engine_driver::Clock;
using mock_recording::Job;
using mock_recording::MockFolder;
using mock_recording::PixelKind;

// A6 at 100 dpi: the page the engine delivers for an A6 request is exactly
// the recorded one.
constexpr uint32_t kWidth = 413;
constexpr uint32_t kHeight = 583;

// The engine's rows of a device page: colour R, G, B where the device sends
// B, G, R; 1-bit pages with 1 for white where the device sends 1 for black;
// the bits past the width cleared.
engine_driver::Bytes EngineRows(const mock_recording::Page& page)
{
    engine_driver::Bytes rows = page.pixels;
    size_t const rowBytes = mock_recording::RowBytes(page.kind, page.width);
    switch (page.kind) {
    case PixelKind::kColor:
        for (size_t i = 0; i + 2 < rows.size(); i += 3) {
            std::swap(rows[i], rows[i + 2]);
        }
        break;
    case PixelKind::kMono:
        for (size_t y = 0; y < page.height; ++y) {
            for (size_t x = 0; x < rowBytes; ++x) {
                rows[y * rowBytes + x] = static_cast<uint8_t>(~rows[y * rowBytes + x]);
            }
            if (page.width % 8 != 0) {
                rows[y * rowBytes + rowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - page.width % 8));
            }
        }
        break;
    case PixelKind::kGray:
        break;
    }
    return rows;
}

vscore::COLORTYPE RequestedColor(PixelKind kind)
{
    switch (kind) {
    case PixelKind::kMono:
        return vscore::BLACKWHITE;
    case PixelKind::kGray:
        return vscore::TRUEGRAY;
    case PixelKind::kColor:
        break;
    }
    return vscore::COLOR24BIT;
}

// Polls until the status is reached; false after five seconds.
bool WaitForStatus(vscore::IVexmorApi& engine, vscore::SCANAPISTATUS status)
{
    Clock::time_point const end = Clock::now() + std::chrono::seconds(5);
    while (engine.GetScanStatus() != status) {
        if (Clock::now() > end) {
            return false;
        }
    }
    return true;
}

uint32_t BitsPerPixel(PixelKind kind) { return kind == PixelKind::kMono ? 1 : kind == PixelKind::kGray ? 8 : 24; }

// A field of /proc/self/status in kB (VmRSS, VmHWM); 0 when missing.
uint64_t StatusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtoull(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// The peak resident memory starts again from the current one, where the
// kernel allows it; else the old peak stays the baseline.
void ResetPeakRss()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

class EngineReplay : public LogHome {
protected:
    // Polls without the engine's 100 ms sleep; the mock's pause and cover
    // times never run out within a test.
    static vscore::EngineTimings Timings()
    {
        vscore::EngineTimings timings;
        timings.statusPollSleepMs = 2;
        timings.mock.pacingMs = 600000;
        timings.mock.coverMs = 600000;
        return timings;
    }

    // Initialised, selected (an all-zero selection: mock mode takes any),
    // the capabilities read and the feeder and scan-key settings asked for,
    // as the backend's sane_open and sane_start do.
    void Open(vscore::CVexmor& engine)
    {
        ASSERT_EQ(engine.Initialize(nullptr, false), 0u);
        vscore::_VS_SELECT_DEVICE_INFO zero{};
        ASSERT_EQ(engine.SelectDevice(zero), 0u);
        ASSERT_TRUE(engine.CheckConnection());
        vscore::tagVS_SCANNER_CAPABILITY_VER1 capability{};
        ASSERT_EQ(engine.QueryDeviceCapabilities(1, &capability), 0u);
        EXPECT_EQ(engine.QueryAdfState(), AdfDocumentPresent);
        PushScanKeyInfo keys;
        EXPECT_EQ(engine.GetPushScanParameter(1, &keys), 0u);
    }

    // What a replay of one 150-dpi gray page's scan data cost.
    struct Measured {
        engine_driver::Outcome out;
        double seconds = 0;
        uint64_t grownKb = 0;  // peak resident memory above the baseline
    };

    // Replays stream as the scan data of a one-page job of the generation
    // (its size info 1240 x 16) through an opened engine, scans to the end
    // and prints what it cost, labelled what; the engine stays open.
    Measured Replay(vscore::CVexmor& engine, int generation, const mock_recording::Bytes& stream,
                    const std::string& what)
    {
        Job job;
        job.resolution = 150;
        job.pages = {mock_recording::Page::Pattern(PixelKind::kGray, 1240, 16, 1)};
        if (generation == 2) {
            mock_recording::WriteGeneration2(folder_, job);
            folder_.Write("XSC", stream);
        } else {
            mock_recording::WriteGeneration1(folder_, job);
            folder_.Write("X", stream);
        }
        Open(engine);
        auto request = engine_driver::Request(150, vscore::TRUEGRAY, vscore::A4);
        ResetPeakRss();
        uint64_t const baselineKb = std::max(StatusKb("VmRSS"), StatusKb("VmHWM"));
        Clock::time_point const begin = Clock::now();
        Measured m;
        EXPECT_EQ(engine.StartScanning(&request), 0u);
        m.out = engine_driver::Drain(engine);
        m.seconds = std::chrono::duration<double>(m.out.endedAt - begin).count();
        m.grownKb = StatusKb("VmHWM") - std::min(baselineKb, StatusKb("VmHWM"));
        std::printf("%s: 0x%08X after %.3f s, peak resident memory %.1f MiB above the baseline\n", what.c_str(),
                    m.out.code, m.seconds, m.grownKb / 1024.0);
        return m;
    }

    MockFolder folder_{home_.Path()};
};

TEST_F(EngineReplay, RecordingsOfBothGenerationsGiveTheBuildersPixels)
{
    struct Case {
        int generation;
        PixelKind kind;
    };
    const Case cases[] = {{2, PixelKind::kMono}, {2, PixelKind::kGray}, {2, PixelKind::kColor},
                          {1, PixelKind::kMono}, {1, PixelKind::kGray}, {1, PixelKind::kColor}};
    for (const Case& c : cases) {
        SCOPED_TRACE("generation " + std::to_string(c.generation) + ", " + std::to_string(BitsPerPixel(c.kind)) +
                     " bits");
        Job job;
        job.resolution = 100;
        job.pages = {mock_recording::Page::Pattern(c.kind, kWidth, kHeight, 1),
                     mock_recording::Page::Pattern(c.kind, kWidth, kHeight, 2)};
        if (c.generation == 2) {
            mock_recording::WriteGeneration2(folder_, job);
        } else {
            mock_recording::WriteGeneration1(folder_, job);
        }
        vscore::CVexmor engine{Timings()};
        Open(engine);
        auto request = engine_driver::Request(100, RequestedColor(c.kind), vscore::A6);
        ASSERT_EQ(engine.StartScanning(&request), 0u);
        engine_driver::Outcome const out = engine_driver::Drain(engine);
        EXPECT_TRUE(out.allEnd);
        EXPECT_EQ(out.code, 0u);
        ASSERT_EQ(out.pages.size(), 2u);
        for (size_t i = 0; i < out.pages.size(); ++i) {
            const engine_driver::Page& page = out.pages[i];
            EXPECT_EQ(page.pageNo, static_cast<int>(i + 1));
            EXPECT_EQ(page.record.width, kWidth);
            EXPECT_EQ(page.record.height, kHeight);
            EXPECT_EQ(page.record.bitsPerPixel, BitsPerPixel(c.kind));
            EXPECT_EQ(page.record.resolutionX, 100u);
            EXPECT_EQ(page.record.resolutionY, 100u);
            EXPECT_EQ(page.record.paperSource, vscore::ADF);
            EXPECT_TRUE(engine_driver::Rows(page) == EngineRows(job.pages[i])) << "page " << page.pageNo;
        }
        Clock::time_point const begin = Clock::now();
        engine.UnInitialize();
        EXPECT_LT(Clock::now() - begin, std::chrono::seconds(2));
        folder_.Remove("Q");
    }
}

// A device announces a page 2^31 pixels wide (both generations' size
// units) and sends one short line for it: the page fails with the data
// error at once, nothing is allocated for the width, and the engine ends
// at once.
TEST_F(EngineReplay, APageWiderThanTheDeviceCanSendFailsAtOnceWithoutGrowing)
{
    gen1::AddedInfo page1;
    mock_recording::Bytes gen1Stream = gen1::ImageSizeUnit(page1, 0x80000000u, 16);
    for (const mock_recording::Bytes& unit : {gen1::LineUnit(0x40, page1, mock_recording::Bytes(100, 0xFF)),
                                              gen1::PageEndUnit(page1), mock_recording::Bytes{0x80}}) {
        gen1Stream.insert(gen1Stream.end(), unit.begin(), unit.end());
    }
    // Size info (width 0x80000000, height 16), one gray line of 100 bytes,
    // the page's end and the job's end: 132 bytes.
    mock_recording::Bytes gen2Stream{0x00, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00, 0x00, 0x00,
                                     0x01, 0x01, 0x00, 0x01, 0x00, 0x64, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
    gen2Stream.insert(gen2Stream.end(), 100, 0xFF);
    for (uint8_t byte : {0x00, 0x21, 0x01, 0x00, 0x00, 0x20}) {
        gen2Stream.push_back(byte);
    }
    ASSERT_EQ(gen2Stream.size(), 132u);
    struct Case {
        int generation;
        const mock_recording::Bytes& stream;
    };
    for (const Case& c : {Case{2, gen2Stream}, Case{1, gen1Stream}}) {
        std::string const name = "generation " + std::to_string(c.generation);
        SCOPED_TRACE(name);
        vscore::CVexmor engine{Timings()};
        Measured const m = Replay(engine, c.generation, c.stream, name);
        const engine_driver::Outcome& out = m.out;
        double const seconds = m.seconds;
        uint64_t const grownKb = m.grownKb;
        EXPECT_EQ(out.code, 0x40401010u);
        EXPECT_EQ(out.failedPageNo, 1);
        EXPECT_TRUE(out.pages.empty());
        EXPECT_LT(seconds, 5.0);
        EXPECT_LT(grownKb, 100u * 1024);
        Clock::time_point const end = Clock::now();
        engine.UnInitialize();
        EXPECT_LT(Clock::now() - end, std::chrono::seconds(2));
        folder_.Remove("Q");
    }
}

// A progressive (SOF2) gray JPEG of 16 x 16 pixels as cjpeg -progressive
// writes it: 283 bytes, its frame header at offset 89.
const mock_recording::Bytes kProgressive16 = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
    0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x08, 0x06, 0x06, 0x07, 0x06, 0x05, 0x08, 0x07, 0x07, 0x07, 0x09, 0x09, 0x08,
    0x0A, 0x0C, 0x14, 0x0D, 0x0C, 0x0B, 0x0B, 0x0C, 0x19, 0x12, 0x13, 0x0F, 0x14, 0x1D, 0x1A, 0x1F, 0x1E, 0x1D, 0x1A,
    0x1C, 0x1C, 0x20, 0x24, 0x2E, 0x27, 0x20, 0x22, 0x2C, 0x23, 0x1C, 0x1C, 0x28, 0x37, 0x29, 0x2C, 0x30, 0x31, 0x34,
    0x34, 0x34, 0x1F, 0x27, 0x39, 0x3D, 0x38, 0x32, 0x3C, 0x2E, 0x33, 0x34, 0x32, 0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x00,
    0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00,
    0x01, 0x3A, 0xF0, 0x1B, 0xCF, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x05, 0x02, 0x1F,
    0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x20, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x06, 0x3F, 0x02, 0x1F, 0xFF, 0xC4, 0x00, 0x14, 0x10,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0xFF, 0xDA,
    0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x21, 0x1F, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x10,
    0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x20, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x10, 0x1F, 0xFF, 0xD9};

// The progressive stream with its frame header declaring width x height;
// its scans still hold 16 x 16 pixels.
mock_recording::Bytes ProgressiveDeclaring(uint16_t width, uint16_t height)
{
    mock_recording::Bytes jpeg = kProgressive16;
    jpeg[94] = static_cast<uint8_t>(height >> 8);
    jpeg[95] = static_cast<uint8_t>(height);
    jpeg[96] = static_cast<uint8_t>(width >> 8);
    jpeg[97] = static_cast<uint8_t>(width);
    return jpeg;
}

// The stream with bytes before its frame header's marker, which a decoder
// passes over.
mock_recording::Bytes Behind(const mock_recording::Bytes& before, mock_recording::Bytes jpeg)
{
    jpeg.insert(jpeg.begin() + 89, before.begin(), before.end());
    return jpeg;
}

// One gray page of one JPEG block as each generation sends it: the page's
// size (1240 x rows), the block with rows as its line count, the page's end
// and the job's end.
mock_recording::Bytes Gen2JpegPage(const mock_recording::Bytes& jpeg, uint32_t rows)
{
    mock_recording::Bytes stream = gen2_blocks::SizeInfo(1, 1240, rows);
    for (const mock_recording::Bytes& block :
         {gen2_blocks::JpegBlock(1, gen2_blocks::ImageType(false, gen2_blocks::kJpeg, gen2_blocks::kGray), jpeg, rows),
          gen2_blocks::PageEnd(1), gen2_blocks::AllPagesEnd()}) {
        stream.insert(stream.end(), block.begin(), block.end());
    }
    return stream;
}

mock_recording::Bytes Gen1JpegPage(const mock_recording::Bytes& jpeg, uint32_t rows)
{
    gen1::AddedInfo page1;
    mock_recording::Bytes stream = gen1::ImageSizeUnit(page1, 1240, rows);
    gen1::AddedInfo withHeight = page1;
    withHeight.hasValue32 = true;
    withHeight.value32 = rows;
    for (const mock_recording::Bytes& unit :
         {gen1::LineUnit(0x60, withHeight, jpeg), gen1::PageEndUnit(page1), mock_recording::Bytes{0x80}}) {
        stream.insert(stream.end(), unit.begin(), unit.end());
    }
    return stream;
}

// A progressive frame is bounded like a baseline one before anything is
// decoded: 20000 x 20000 fails at once with the data error without growing
// the engine, also where stray and fill bytes stand before its marker. Within the bounds it is decoded, and its rows
// must all come from the stream: a frame of 1240 x 1754 whose scans hold 16 x 16 pixels fails the page instead of
// giving rows the device never sent, while the same scans under their own 16 x 16 frame give the page.
TEST_F(EngineReplay, AProgressiveFrameIsBoundedAndItsRowsMustComeFromTheStream)
{
    struct Case {
        const char* what;
        mock_recording::Bytes jpeg;
        uint32_t rows;  // the page's size info and line count
        VSRSLT code;
    };
    const Case cases[] = {
        {"20000 x 20000", ProgressiveDeclaring(20000, 20000), 16, 0x40401010},
        {"20000 x 20000 behind stray and fill bytes",
         Behind({0x00, 0x12, 0xFF, 0xFF}, ProgressiveDeclaring(20000, 20000)), 16, 0x40401010},
        {"1240 x 1754 holding 16 x 16", ProgressiveDeclaring(1240, 1754), 1754, 0x30402001},
        {"16 x 16", kProgressive16, 16, 0},
    };
    for (int generation : {2, 1}) {
        for (const Case& c : cases) {
            std::string const name = "generation " + std::to_string(generation) + ", " + c.what;
            SCOPED_TRACE(name);
            vscore::CVexmor engine{Timings()};
            Measured const m =
                Replay(engine, generation,
                       generation == 2 ? Gen2JpegPage(c.jpeg, c.rows) : Gen1JpegPage(c.jpeg, c.rows), name);
            const engine_driver::Outcome& out = m.out;
            double const seconds = m.seconds;
            uint64_t const grownKb = m.grownKb;
            EXPECT_EQ(out.code, c.code);
            if (c.code != 0) {
                EXPECT_EQ(out.failedPageNo, 1);
                EXPECT_TRUE(out.pages.empty());
            } else {
                EXPECT_TRUE(out.allEnd);
                EXPECT_EQ(out.pages.size(), 1u);
            }
            if (c.code == 0x40401010) {
                EXPECT_LT(seconds, 5.0);
                EXPECT_LT(grownKb, 100u * 1024);
            }
            engine.UnInitialize();
            folder_.Remove("Q");
        }
    }
}

TEST_F(EngineReplay, EventsAndRequestsGiveTheDevicesOutcomes)
{
    enum Act { kBeforeStart, kWhileWaiting };
    struct Case {
        const char* what;
        Act when;
        const char* marker;  // or a request when null
        bool abort;
        size_t pages;
        VSRSLT code;  // of the page read that ends the scan, 0 for ALLEND
    };
    // clang-format off
    const Case cases[] = {
        {"Finish while waiting",          kWhileWaiting, "Finish", false, 2, 0},
        {"Stop while waiting",            kWhileWaiting, "Stop",   false, 2, 0},
        {"finish request while waiting",  kWhileWaiting, nullptr,  false, 2, 0},
        {"abort request while waiting",   kWhileWaiting, nullptr,  true,  2, 0x01000001},
        {"the stop key before any page",  kBeforeStart,  "Stop",   false, 0, 0x01000010},
        {"an open cover, no auto scan",   kBeforeStart,  "CoverOpen", false, 0, 0x500000A3},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Job job;
        job.resolution = 100;
        job.waitSeconds = 20;  // after the pages: the device waits for more
        job.pages = {mock_recording::Page::Pattern(PixelKind::kGray, kWidth, kHeight, 1),
                     mock_recording::Page::Pattern(PixelKind::kGray, kWidth, kHeight, 2)};
        mock_recording::WriteGeneration2(folder_, job);
        vscore::CVexmor engine{Timings()};
        Open(engine);
        if (c.when == kBeforeStart) {
            folder_.PutMarker(c.marker);
        }
        auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
        ASSERT_EQ(engine.StartScanning(&request), 0u);
        engine_driver::Options options;
        options.limit = std::chrono::seconds(10);
        options.onPage = [&](const engine_driver::Page& page) {
            if (page.pageNo != 2 || c.when != kWhileWaiting) {
                return true;
            }
            // The device pauses for good after its remaining-time notice.
            EXPECT_TRUE(WaitForStatus(engine, vscore::WAITINGDOCUMENTINSERTION));
            EXPECT_EQ(engine.GetRemainingWaitTime(), 20);
            if (c.marker != nullptr) {
                folder_.PutMarker(c.marker);
            } else {
                EXPECT_TRUE(c.abort ? engine.AbortScanning() : engine.FinishAutoContinuousScan());
            }
            return true;
        };
        engine_driver::Outcome const out = engine_driver::Drain(engine, options);
        EXPECT_FALSE(out.timedOut);
        EXPECT_EQ(out.pages.size(), c.pages);
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(out.allEnd, c.code == 0);
        if (c.code != 0) {
            EXPECT_EQ(out.failedPageNo, static_cast<int>(c.pages + 1));
        }
        EXPECT_FALSE(folder_.HasMarker(c.marker != nullptr ? c.marker : "Finish")) << "markers are consumed";
    }
}

TEST_F(EngineReplay, AnOpenCoverWhileWaitingReportsItsTimeUntilTheCoverIsClosed)
{
    Job job;
    job.resolution = 100;
    job.waitSeconds = 20;
    job.pages = {mock_recording::Page::Pattern(PixelKind::kGray, kWidth, kHeight, 1)};
    mock_recording::WriteGeneration2(folder_, job);
    vscore::CVexmor engine{Timings()};
    Open(engine);
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    engine_driver::Options options;
    options.onPage = [&](const engine_driver::Page&) {
        EXPECT_TRUE(WaitForStatus(engine, vscore::WAITINGDOCUMENTINSERTION));
        folder_.PutMarker("CoverOpen");
        // The device's notice of the open cover: 95 s left.
        Clock::time_point const end = Clock::now() + std::chrono::seconds(5);
        while (engine.GetRemainingWaitTime() != 95 && Clock::now() < end) {
            engine.GetScanStatus();
        }
        EXPECT_EQ(engine.GetRemainingWaitTime(), 95);
        EXPECT_EQ(engine.GetScanStatus(), vscore::WAITINGDOCUMENTINSERTION);
        folder_.PutMarker("Finish");
        return true;
    };
    engine_driver::Outcome const out = engine_driver::Drain(engine, options);
    EXPECT_TRUE(out.allEnd);
    EXPECT_EQ(out.pages.size(), 1u);
}

// Run with VEXMOR_TEST_TIME_SCALE=100 in a build with VEXMOR_TEST_HOOKS (its
// own ctest entry): the timing table of a default engine is divided, the
// replay mock's part with it.
TEST_F(EngineReplay, TheTestScaleDividesTheTimingTableInForce)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "a build without VEXMOR_TEST_HOOKS keeps the shipped timings";
#endif
    const char* scale = std::getenv("VEXMOR_TEST_TIME_SCALE");
    if (scale == nullptr || std::string(scale) != "100") {
        GTEST_SKIP() << "needs VEXMOR_TEST_TIME_SCALE=100";
    }
    Job job;
    job.resolution = 100;
    job.waitSeconds = 20;  // the device pauses 3 s, then ends the job
    job.pages = {mock_recording::Page::Pattern(PixelKind::kGray, kWidth, kHeight, 1),
                 mock_recording::Page::Pattern(PixelKind::kGray, kWidth, kHeight, 2)};
    mock_recording::WriteGeneration2(folder_, job);
    vscore::CVexmor engine;
    Open(engine);
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
    Clock::time_point const begin = Clock::now();
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    engine_driver::Outcome const out = engine_driver::Drain(engine);
    EXPECT_TRUE(out.allEnd);
    EXPECT_EQ(out.pages.size(), 2u);
    // The pause of 30 ms and polls of 1 ms, not 3 s and 100 ms each.
    EXPECT_LT(out.endedAt - begin, std::chrono::milliseconds(1500));
}

}  // namespace
