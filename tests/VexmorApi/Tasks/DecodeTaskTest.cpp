// The decode task: the area and height rules it gives the scan decoder, its
// result against the scan decoder called directly, and its cancel, blank,
// empty-page and failure paths.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "FakeTasks.h"
#include "PageImages.h"
#include "VexmorApi/JpegDecoder/JpegDecoder.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"
#include "VexmorApi/Tasks/DecodeTask.h"
#include "VexmorApi/Utilities/Exception.h"

using Area = DecodeParameter::Area;
using fake_tasks::CauseChain;
using vscore::DecodeTask;

namespace {

// A raw-line page of pattern rows, the same for the same arguments.
std::unique_ptr<DeviceImageLines> PatternLines(DeviceImageInfo::ColorType type, uint16_t resolutionX,
                                               uint16_t resolutionY, uint32_t width, uint32_t height, unsigned seed = 1)
{
    auto lines = std::make_unique<DeviceImageLines>(resolutionX, resolutionY, type, width, height);
    size_t const rowBytes = type == DeviceImageInfo::Color ? width * 3u : width;
    DeviceImageLines::LineColorType const color =
        type == DeviceImageInfo::Color ? DeviceImageLines::LineColor : DeviceImageLines::LineTrueGray;
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<unsigned char> const row = Pattern(rowBytes, seed + y);
        lines->AppendLine(color, DeviceImageLines::CompressionNone, static_cast<uint32_t>(row.size()), row.data());
    }
    return lines;
}

std::vector<unsigned char> PixelsOf(BitmapImage& bitmap)
{
    unsigned char const* p = bitmap.GetPixelsPointer();
    return p ? std::vector<unsigned char>(p, p + bitmap.GetPixelSize()) : std::vector<unsigned char>();
}

DecodeParameter Parameter(uint16_t resolution, std::optional<uint32_t> height = {}, bool detectEnd = false)
{
    DecodeParameter p;
    p.SetResolution(resolution);
    if (height) {
        p.SetHeight(*height);
    }
    p.SetDetectEndOfPage(detectEnd);
    return p;
}

void ExpectInvalidArgument(std::function<void()> const& action)
{
    try {
        action();
        ADD_FAILURE() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidArgument) << e.GetMessage();
    }
}

TEST(DecodeTask, SelectedAreaIsFittedIntoTheReceivedWidth)
{
    struct Row {
        uint32_t x, width;    // the selected area
        uint32_t dataWidth;   // device pixels at 300 dpi
        uint16_t resolution;  // decoding resolution
        uint32_t wantX, wantWidth;
    } const rows[] = {
        {100, 500, 400, 300, 0, 400},                      // wider than the data
        {100, 200, 250, 300, 50, 200},                     // sticks out on the right
        {50, 100, 400, 300, 50, 100},                      // inside
        {0, 400, 400, 300, 0, 400},                        // exactly the data
        {400, 100, 400, 300, 400, 100},                    // starts at the edge: left for the decoder to refuse
        {300, 0xFFFFFFF0u, 400, 300, 0, 400},              // x + width passes 32 bits
        {700, 200, 400, 600, 600, 200},                    // data 800 pixels wide at 600 dpi
        {0xFFFFFF00u, 0x200, 400, 300, 0xFFFFFF00u, 400},  // far beyond: only the width shrinks
    };
    for (Row const& r : rows) {
        DecodeParameter p = Parameter(r.resolution);
        p.SetSelectedArea({r.x, 7, r.width, 9});
        DecodeParameter const copy = p;  // shares the area
        auto const area = DecodeTask::GetSelectedAreaForScanDecoder(
            p, DeviceImageInfo(300, 300, DeviceImageInfo::Color, r.dataWidth));
        ASSERT_TRUE(area);
        EXPECT_EQ(area, copy.GetSelectedArea()) << "fitted in place";
        EXPECT_EQ(area->x, r.wantX) << r.x << "+" << r.width;
        EXPECT_EQ(area->width, r.wantWidth) << r.x << "+" << r.width;
        EXPECT_EQ(area->y, 7u);
        EXPECT_EQ(area->height, 9u);
    }
    EXPECT_FALSE(DecodeTask::GetSelectedAreaForScanDecoder(Parameter(300),
                                                           DeviceImageInfo(300, 300, DeviceImageInfo::Color, 10)));
    DecodeParameter withArea = Parameter(300);
    withArea.SetSelectedArea({0, 0, 10, 10});
    ExpectInvalidArgument([&] {
        DecodeTask::GetSelectedAreaForScanDecoder(withArea, DeviceImageInfo(0, 300, DeviceImageInfo::Color, 10));
    });
}

TEST(DecodeTask, HeightsAtTheDecodingResolution)
{
    struct Row {
        uint16_t resolution, resolutionY;
        uint32_t lines;
        std::optional<uint32_t> height;
        bool detectEnd;
        std::optional<uint32_t> areaHeight;
        uint32_t wantMax, wantRequired;
    } const rows[] = {
        {300, 300, 1000, {}, false, {}, 1000, 0},
        {300, 300, 1000, 800, false, {}, 800, 800},     // the smaller announced height
        {300, 300, 1000, 1200, false, {}, 1000, 1200},  // a longer one is appended later
        {300, 300, 1000, 1200, true, {}, 1000, 0},      // the device finds the end itself
        {300, 300, 1000, {}, false, 500, 500, 500},     // cut to the area
        {300, 300, 1000, {}, false, 1500, 1000, 1500},  // an area taller than the page
        {600, 300, 1000, 900, false, {}, 1800, 1800},
        {300, 200, 1000, {}, false, {}, 1500, 0},  // product first: 1000 x 300 / 200
        {200, 300, 1000, 999, false, {}, 666, 666},
        {300, 300, 0, {}, false, {}, 0, 0},
    };
    for (Row const& r : rows) {
        DecodeParameter p = Parameter(r.resolution, r.height, r.detectEnd);
        std::shared_ptr<Area> area;
        if (r.areaHeight) {
            area = std::make_shared<Area>(Area{0, 0, 10, *r.areaHeight});
        }
        EXPECT_EQ(DecodeTask::GetOutputMaxHeightForScanDecode(p, r.lines, r.resolutionY, area), r.wantMax)
            << r.resolution << "/" << r.resolutionY << " lines " << r.lines;
        EXPECT_EQ(DecodeTask::GetRequiredHeightForScanDecode(p, r.resolutionY, area), r.wantRequired)
            << r.resolution << "/" << r.resolutionY << " lines " << r.lines;
    }
    ExpectInvalidArgument([] { DecodeTask::GetOutputMaxHeightForScanDecode(Parameter(300), 10, 0, nullptr); });
    ExpectInvalidArgument([] { DecodeTask::GetRequiredHeightForScanDecode(Parameter(300, 5), 0, nullptr); });
    ExpectInvalidArgument(
        [] { DecodeTask::GetOutputMaxHeightForScanDecode(Parameter(600), 0xFFFFFFFFu, 300, nullptr); });
    // With an area there is nothing to divide.
    EXPECT_EQ(DecodeTask::GetRequiredHeightForScanDecode(Parameter(300), 0, std::make_shared<Area>(Area{0, 0, 1, 4})),
              4u);
    EXPECT_FALSE(DecodeTask::ShouldConvertTo8bit(Parameter(300)));
    DecodeParameter gray = Parameter(300);
    gray.SetColorType(DecodeParameter::TrueGray);
    EXPECT_TRUE(DecodeTask::ShouldConvertTo8bit(gray));
    gray.SetColorType(DecodeParameter::Color);
    EXPECT_FALSE(DecodeTask::ShouldConvertTo8bit(gray));
}

// The task's bitmap equals the scan decoder's for the arguments the task's
// rules give, over colour types, resolutions, areas, heights and turning.
TEST(DecodeTask, RawLinesGiveTheScanDecodersBitmap)
{
    struct Row {
        DeviceImageInfo::ColorType type;
        uint16_t resolutionX, resolutionY, resolution;
        uint32_t width, lines;
        std::optional<uint32_t> height;
        bool reversal;
        std::optional<Area> area;
        uint32_t maxHeight;  // what the rules give the decoder
    } const rows[] = {
        {DeviceImageInfo::Color, 300, 300, 300, 37, 20, {}, false, {}, 20},
        {DeviceImageInfo::TrueGray, 300, 300, 300, 41, 16, 12, false, {}, 12},
        {DeviceImageInfo::Color, 300, 300, 300, 37, 20, {}, true, {}, 20},
        {DeviceImageInfo::Color, 150, 150, 300, 20, 10, {}, false, {}, 20},
        {DeviceImageInfo::TrueGray, 300, 300, 300, 40, 20, {}, false, Area{30, 2, 20, 8}, 8},
        {DeviceImageInfo::TrueGray, 300, 300, 300, 40, 20, 30, false, {}, 20},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(::testing::Message() << "type " << r.type << " width " << r.width << " at " << r.resolution);
        DecodeParameter p = Parameter(r.resolution, r.height);
        p.SetReversal(r.reversal);
        std::shared_ptr<Area> directArea;
        if (r.area) {
            p.SetSelectedArea(*r.area);
            directArea = std::make_shared<Area>(*r.area);
            directArea->x = 20;  // fitted into the 40 pixels of data
        }
        auto page = std::make_shared<Page>(PatternLines(r.type, r.resolutionX, r.resolutionY, r.width, r.lines), 3);
        auto task = std::make_shared<DecodeTask>(page, p);
        task->Run();
        ASSERT_EQ(task->GetResult(), 0);
        EXPECT_EQ(task->GetPage(), page);
        ASSERT_TRUE(page->HasBitmapImage());
        EXPECT_FALSE(page->HasDeviceImageLines());
        std::unique_ptr<BitmapImage> bitmap = page->GetBitmapImage();

        std::unique_ptr<BitmapImage> direct = vscore::ScanDecoder().Proc(
            PatternLines(r.type, r.resolutionX, r.resolutionY, r.width, r.lines), r.resolution, r.maxHeight,
            r.reversal ? vscore::InvertReversal : vscore::InvertNormal, r.maxHeight, directArea);
        EXPECT_TRUE(bitmap->GetImageInfo().IsEqual(direct->GetImageInfo()))
            << bitmap->GetDescription() << direct->GetDescription();
        EXPECT_EQ(PixelsOf(*bitmap), PixelsOf(*direct));
    }
}

std::unique_ptr<DeviceImageJpeg> JpegImage(std::vector<unsigned char> const& stream, DeviceImageInfo::ColorType type,
                                           uint32_t width)
{
    auto jpeg = std::make_unique<DeviceImageJpeg>(300, 300, type, width, 0);
    jpeg->AppendBlock(static_cast<uint32_t>(stream.size()), stream.data());
    return jpeg;
}

// A JPEG page goes through the JPEG decoder, then the scan decoder, as the
// two called one after the other; TrueGray asks for a gray colour page.
TEST(DecodeTask, JpegPageGivesTheDecodersBitmap)
{
    ScratchDir dir;
    for (auto const& [components, colorType] : {std::pair<unsigned, std::optional<DecodeParameter::ColorType>>{3, {}},
                                                {3, DecodeParameter::TrueGray},
                                                {1, {}}}) {
        SCOPED_TRACE(::testing::Message() << components << " components");
        DeviceImageInfo::ColorType const type = components == 3 ? DeviceImageInfo::Color : DeviceImageInfo::TrueGray;
        std::vector<unsigned char> const stream = EncodeWithCjpeg(dir, 45, 30, components, 9);
        ASSERT_FALSE(stream.empty());
        DecodeParameter p = Parameter(300, 28);
        if (colorType) {
            p.SetColorType(*colorType);
        }
        auto page = std::make_shared<Page>(JpegImage(stream, type, 45), 2);
        vscore::DecodeTask task(page, p);
        task.Run();
        ASSERT_EQ(task.GetResult(), 0);
        std::unique_ptr<BitmapImage> bitmap = page->GetBitmapImage();
        ASSERT_TRUE(bitmap);
        EXPECT_FALSE(page->HasDeviceImageJpeg());

        std::unique_ptr<DeviceImageLines> lines =
            JpegDecoder().Decode(JpegImage(stream, type, 45), colorType == DecodeParameter::TrueGray);
        std::unique_ptr<BitmapImage> direct =
            vscore::ScanDecoder().Proc(std::move(lines), 300, 28, vscore::InvertNormal, 28, nullptr);
        EXPECT_TRUE(bitmap->GetImageInfo().IsEqual(direct->GetImageInfo()))
            << bitmap->GetDescription() << direct->GetDescription();
        EXPECT_EQ(bitmap->GetImageInfo().GetColorType(),
                  components == 3 && !colorType ? ImageInfo::Color : ImageInfo::TrueGray);
        EXPECT_EQ(PixelsOf(*bitmap), PixelsOf(*direct));
    }
    // A stream that does not decode fails the task; the page keeps nothing.
    auto broken = std::make_shared<Page>(JpegImage({0xFF, 0xD8, 0xFF, 0xD9}, DeviceImageInfo::Color, 8), 4);
    vscore::DecodeTask failing(broken, Parameter(300));
    failing.Run();
    EXPECT_THROW(failing.GetResult(), Exception);
    EXPECT_EQ(broken->GetImageSize(), 0u);
}

TEST(DecodeTask, CancelBlankAndEmptyPages)
{
    // Cancelled before it runs: 1, the page untouched.
    auto lines = std::make_shared<Page>(PatternLines(DeviceImageInfo::TrueGray, 300, 300, 8, 4), 1);
    DecodeTask cancelled(lines, Parameter(300));
    cancelled.Cancel();
    cancelled.Run();
    EXPECT_EQ(cancelled.GetResult(), 1);
    EXPECT_TRUE(cancelled.IsCancelled());
    EXPECT_TRUE(lines->HasDeviceImageLines());

    // A blank page is done even when cancelled.
    auto blank = std::make_shared<Page>(2);
    blank->SetBlankPage();
    DecodeTask blankTask(blank, Parameter(300));
    blankTask.Cancel();
    blankTask.Run();
    EXPECT_EQ(blankTask.GetResult(), 0);
    EXPECT_FALSE(blankTask.IsCancelled());

    // Nothing to decode: done, and still no bitmap.
    auto empty = std::make_shared<Page>(3);
    DecodeTask emptyTask(empty, Parameter(300));
    emptyTask.Run();
    EXPECT_EQ(emptyTask.GetResult(), 0);
    EXPECT_FALSE(empty->HasBitmapImage());
    EXPECT_EQ(empty->GetImageSize(), 0u);
}

TEST(DecodeTask, DecoderFailureEndsTheTaskAndLosesTheTakenImage)
{
    auto page = std::make_shared<Page>(PatternLines(DeviceImageInfo::TrueGray, 300, 300, 40, 4), 5);
    DecodeParameter p = Parameter(300);
    p.SetSelectedArea({40, 0, 10, 4});  // starts where the data end
    DecodeTask task(page, p);
    task.Run();
    try {
        task.GetResult();
        FAIL() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(CauseChain(e),
                  (std::vector<std::string>{"[Other] Task is failed.", "[InvalidArgument] Invalid selected area."}));
    }
    EXPECT_FALSE(page->HasDeviceImageLines());
    EXPECT_FALSE(page->HasBitmapImage());
}

}  // namespace
