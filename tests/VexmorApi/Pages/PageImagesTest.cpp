// Descriptions of page images: row and image sizes at their limits, the
// description texts, and every failure of the page classes with its type,
// message and origin.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "PageImages.h"
#include "ScratchDir.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Pages/DeviceImageInfo.h"
#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"
#include "VexmorApi/Pages/ImageInfo.h"
#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

TEST(PageImages, RowAndImageSizes)
{
    struct Case {
        ImageInfo::ColorType color;
        uint32_t width, height;
        uint64_t row, alignedRow, size, alignedSize;
    } const cases[] = {
        {ImageInfo::BlackAndWhite, 1, 3, 1, 4, 3, 12},
        {ImageInfo::Gray, 9, 1, 2, 4, 2, 4},
        {ImageInfo::Color, 5, 2, 15, 16, 30, 32},
        {ImageInfo::TrueGray, 8, 2, 8, 8, 16, 16},
        {ImageInfo::Color, 0, 5, 0, 0, 0, 0},
        // No 32-bit wrap: three bytes per pixel of the widest row.
        {ImageInfo::Color, 0xFFFFFFFF, 2, 12884901885u, 12884901888u, 25769803770u, 25769803776u},
        // Beyond 64 bits the sizes saturate.
        {ImageInfo::Color, 0xFFFFFFFF, 0xFFFFFFFF, 12884901885u, 12884901888u, UINT64_MAX, UINT64_MAX},
    };
    for (Case const& c : cases) {
        ImageInfo const info(300, c.color, c.width, c.height);
        EXPECT_EQ(info.GetBytesPerRow(), c.row) << c.width;
        EXPECT_EQ(info.GetBytesPerRowFor4BytesAlignment(), c.alignedRow) << c.width;
        EXPECT_EQ(info.GetRequiredByteSize(), c.size) << c.width;
        EXPECT_EQ(info.GetRequiredByteSizeFor4BytesAlignment(), c.alignedSize) << c.width;
        DeviceImageInfo const device(300, 300, static_cast<DeviceImageInfo::ColorType>(c.color), c.width);
        EXPECT_EQ(device.GetBytesPerRow(), c.row) << c.width;
        EXPECT_EQ(device.CalcWidthBytesFor4BytesAlignment(), c.alignedRow) << c.width;
    }
    EXPECT_EQ(DeviceImageInfo(300, 300, DeviceImageInfo::Gray, 9).CalcWidthPixelFor4BytesAlignment(), 12u);
    EXPECT_EQ(ImageInfo(300, ImageInfo::Color, 1, 1).GetBitsPerPixel(), 24u);
    EXPECT_EQ(ImageInfo(300, ImageInfo::Gray, 1, 1).GetBitsPerPixel(), 1u);
    EXPECT_EQ(ImageInfo::GetBytesPerRowFor4BytesAlignment(5, 24), 16u);
}

TEST(PageImages, DescriptionTexts)
{
    ImageInfo const info(600, ImageInfo::TrueGray, 2480, 3508);
    EXPECT_EQ(info.GetDescription(), "resolution: 600\ncolorType: TrueGray\nwidth: 2480\nheight: 3508\n");
    BitmapImage bitmap(info, std::make_unique<BytesMemory>(1234567, static_cast<unsigned char>(0)));
    EXPECT_EQ(bitmap.GetDescription(), info.GetDescription() + "pixels: 1,234,567 bytes\n");
    EXPECT_EQ(BitmapImage(info).GetDescription(), info.GetDescription() + "pixels: 0 bytes\n");

    DeviceImageLines lines(300, 200, DeviceImageInfo::Color, 5, 0);
    EXPECT_EQ(lines.GetDescription(),
              "resolutionX: 300\nresolutionY: 200\ncolorType: Color\nwidth: 5\nbytes: 0 bytes\n");
    std::vector<unsigned char> const row = Pattern(1500);
    lines.AppendLine(DeviceImageLines::LineColor, DeviceImageLines::CompressionNone, 1500, row.data());
    EXPECT_EQ(lines.GetDescription(),
              "resolutionX: 300\nresolutionY: 200\ncolorType: Color\nwidth: 5\nbytes: 1,500 bytes\n");

    DecodeParameter parameter;
    EXPECT_EQ(parameter.GetDescription(),
              "resolution: 0\ncolorType: Any\nheight: Any\ndetectEndOfPage: false\nreversal: false\n"
              "selectedArea: Any\n");
    parameter.SetResolution(300);
    parameter.SetColorType(DecodeParameter::Gray);
    parameter.SetHeight(7016);
    parameter.SetReversal(true);
    parameter.SetSelectedArea({1, 2, 3, 4});
    EXPECT_EQ(parameter.GetDescription(),
              "resolution: 300\ncolorType: Gray\nheight: 7016\ndetectEndOfPage: false\nreversal: true\n"
              "selectedArea: { x: 1, y: 2, width: 3, height: 4 }\n");
}

// A device image of neither kind a page holds.
class ForeignDeviceImage : public DeviceImage {
public:
    ForeignDeviceImage() : DeviceImage(300, 300, DeviceImageInfo::Color) {}
};

struct Failure {
    char const* what;
    std::function<void()> action;
    Exception::Type type;
    std::string message;
    char const* origin;
    char const* function;
};

TEST(PageImages, EveryFailureNamesItsTypeMessageAndOrigin)
{
    auto const badInfo = ImageInfo(300, static_cast<ImageInfo::ColorType>(7), 1, 1);
    auto const badDevice = DeviceImageInfo(300, 300, static_cast<DeviceImageInfo::ColorType>(-1), 1);
    DeviceImageLines lines(300, 300, DeviceImageInfo::TrueGray, 4, 0);
    unsigned char const row[4] = {1, 2, 3, 4};
    lines.AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, 4, row);
    lines.AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, 4, row);
    DeviceImageLines empty(300, 300, DeviceImageInfo::TrueGray, 4, 0);
    Page page(3);
    page.NotifyRecivedAllData();
    DecodeParameter parameter;
    DecodeParameter badParameter;
    badParameter.SetColorType(static_cast<DecodeParameter::ColorType>(9));
    ScratchDir dir;
    std::string const notBmp = dir.Write("page.bmp", std::string(100, 'x'));
    std::string const bytesMember = "member variable typeid is std::unique_ptr<Bytes, std::default_delete<Bytes> >";

    Failure const failures[] = {
        {"bits per sample", [&] { badInfo.GetBitsPerSample(); }, Exception::InvalidMemberVariable,
         "Invalid enum value: 7", "VexmorApi/Pages/ImageInfo", "GetBitsPerSample"},
        {"samples per pixel", [&] { badDevice.GetSamplesPerPixel(); }, Exception::InvalidMemberVariable,
         "Invalid enum value: -1", "VexmorApi/Pages/DeviceImageInfo", "GetSamplesPerPixel"},
        {"colour name", [&] { ImageInfo::GetColorTypeString(static_cast<ImageInfo::ColorType>(4)); },
         Exception::InvalidArgument, "Invalid enum value: 4", "VexmorApi/Pages/ImageInfo", "GetColorTypeString"},
        {"device colour name", [&] { badDevice.GetDescription(); }, Exception::InvalidArgument,
         "Invalid enum value: -1", "VexmorApi/Pages/DeviceImageInfo", "GetColorTypeString"},
        {"decode colour in description", [&] { badParameter.GetDescription(); }, Exception::InvalidMemberVariable,
         "Invalid enum value: 9", "VexmorApi/Tasks/DecodeParameter", "GetDescription"},
        {"line index", [&] { lines.GetLineLength(2); }, Exception::InvalidArgument,
         "Invalid array index - lineInfos_.size(): 2, lineNum: 2", "VexmorApi/Pages/DeviceImageLines", "GetLineLength"},
        {"line colour index", [&] { lines.GetLineColorType(5); }, Exception::InvalidArgument,
         "Invalid array index - lineInfos_.size(): 2, lineNum: 5", "VexmorApi/Pages/DeviceImageLines",
         "GetLineColorType"},
        {"line pointer without data", [&] { empty.GetLineHeadPointer(0); }, Exception::InvalidArgument,
         "Invalid array index - lineInfos_.size(): 0, lineNum: 0", "VexmorApi/Pages/DeviceImageLines",
         "GetLineHeadPointer"},
        {"device data to file", [&] { empty.StoreBytesInTemporaryFile(); }, Exception::InvalidMemberVariable,
         bytesMember, "VexmorApi/Pages/DeviceImage", "StoreBytesInTemporaryFile"},
        {"pixels to file", [&] { BitmapImage(ImageInfo()).StorePixelsInTemporaryFile(); },
         Exception::InvalidMemberVariable, bytesMember, "VexmorApi/Pages/BitmapImage", "StorePixelsInTemporaryFile"},
        {"page of another kind", [&] { Page(std::unique_ptr<DeviceImage>(new ForeignDeviceImage), 1); },
         Exception::InvalidArgument, "argument typeid is (anonymous namespace)::ForeignDeviceImage",
         "VexmorApi/Pages/Page", "Page"},
        {"set no device image", [&] { page.SetImage(std::unique_ptr<DeviceImage>()); }, Exception::InvalidArgument,
         "argument typeid is std::unique_ptr<DeviceImage, std::default_delete<DeviceImage> >", "VexmorApi/Pages/Page",
         "SetImage"},
        {"second end of data", [&] { page.NotifyRecivedAllData(); }, Exception::InvalidSequence,
         "already received all data of page 3", "VexmorApi/Pages/Page", "NotifyRecivedAllData"},
        {"colour type absent", [&] { parameter.GetColorType(); }, Exception::InvalidSequence, "ColorType has no value.",
         "VexmorApi/Tasks/DecodeParameter", "GetColorType"},
        {"height absent", [&] { parameter.GetHeight(); }, Exception::InvalidSequence, "Height has no value.",
         "VexmorApi/Tasks/DecodeParameter", "GetHeight"},
        {"not a BMP", [&] { BitmapImage(notBmp, ImageInfo::Color); }, Exception::FailedToOperateFile,
         "Failed to read bitmap image. Path: " + notBmp, "VexmorApi/Pages/BitmapImage", "BitmapImage"},
    };
    for (Failure const& f : failures) {
        try {
            f.action();
            ADD_FAILURE() << f.what << ": nothing thrown";
        } catch (TraceException const& e) {
            EXPECT_EQ(e.GetType(), f.type) << f.what;
            EXPECT_EQ(e.GetMessage(), f.message) << f.what;
            EXPECT_EQ(e.GetFileName(), f.origin) << f.what;
            EXPECT_EQ(e.GetFunctionName(), f.function) << f.what;
            EXPECT_EQ(e.GetVSRSLT(), Exception::TypeResult(f.type)) << f.what;
        }
    }
    // Each left its object as it was.
    EXPECT_EQ(lines.GetHeight(), 2u);
    EXPECT_EQ(lines.GetLineHeadPointer(1)[3], 4);
    EXPECT_TRUE(page.IsReceivedAllData());
    EXPECT_EQ(page.GetImageSize(), 0u);
}

}  // namespace
