// The log's image dump of real page bitmaps: the lines logged with the
// bitmap's description, what the dump seam is handed of a padded page, and
// the TIFF file it writes (none for a missing image, which has no header).
#include "diagnostics/BitmapImageDumpSource.h"

#include <gtest/gtest.h>

#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "diagnostics/TIFFCreator.h"
#include "tests/VexmorApi/Utilities/LogHome.h"

namespace {

// A colour page 5 pixels wide and 2 high with 16-byte rows.
std::unique_ptr<BitmapImage> PaddedColourPage()
{
    std::vector<unsigned char> pixels = Pattern(32);
    return std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::Color, 5, 2),
                                         std::make_unique<BytesMemory>(32, pixels.data(), BytesMemory::Copy));
}

TEST(BitmapImageDumpSource, HandsTheSeamThePackedRowsOfAPaddedPage)
{
    std::unique_ptr<BitmapImage> page = PaddedColourPage();
    BitmapImageDumpSource const source(page.get());
    EXPECT_EQ(source.GetPixelSize(), 32u);
    EXPECT_EQ(source.GetPixelsPointer(), page->GetPixelsPointer());
    EXPECT_EQ(source.GetHeight(), 2u);
    EXPECT_EQ(source.GetBytesPerRow(), 15u);
    EXPECT_EQ(source.GetRequiredByteSize(), 30u);
    EXPECT_EQ(source.GetDescription(), page->GetDescription());
    ImageDumpRows const plan =
        PlanImageDumpRows(source.GetPixelSize(), source.GetPixelsPointer() != nullptr, source.GetHeight(),
                          source.GetBytesPerRow(), source.GetRequiredByteSize());
    EXPECT_EQ(plan.kind, ImageDumpRows::Rows);
    EXPECT_EQ(plan.stride, 16u);
    EXPECT_EQ(plan.rowBytes, 15u);
    EXPECT_EQ(plan.rowCount, 2u);

    BitmapImageDumpSource const none(nullptr);
    EXPECT_EQ(none.GetPixelsPointer(), nullptr);
    EXPECT_EQ(PlanImageDumpRows(none.GetPixelSize(), false, none.GetHeight(), 0, 0).kind, ImageDumpRows::None);
}

using BitmapImageDump = LogHome;

TEST_F(BitmapImageDump, LogsTheDescriptionAndDumpsATiffFile)
{
    Settings("DumpFinalData=1\n");
    COutputLog log("Images");
    std::unique_ptr<BitmapImage> page = PaddedColourPage();
    EXPECT_EQ(log.WriteImage(page, "DumpPostScanDec", 1), 0);  // dump switched off
    EXPECT_EQ(log.WriteImage(page, "DumpFinalData", 2), 0);
    std::unique_ptr<BitmapImage> none;
    EXPECT_EQ(log.WriteImage(none, "DumpFinalData", 3), 0);
    EXPECT_EQ(Tree(home_ / "VdOutLog"), (std::set<std::string>{"Images.kmy", "DumpFinalData2.tif"}));
    std::vector<unsigned char> const tiff = TIFFCreator::CreateTIFF(*page);
    EXPECT_EQ(ReadOut("DumpFinalData2.tif"), std::string(tiff.begin(), tiff.end()));
    std::string const image = "resolution: 300\ncolorType: Color\nwidth: 5\nheight: 2\npixels: 32 bytes\n";
    EXPECT_EQ(ReadOut("Images.kmy"), ">>>>> WriteImage >>>>> pKeyName: DumpPostScanDec, pageNo: 1, image = {\n" +
                                         image +
                                         "}\n"
                                         "<<<<< WriteImage <<<<<\n"
                                         ">>>>> WriteImage >>>>> pKeyName: DumpFinalData, pageNo: 2, image = {\n" +
                                         image +
                                         "}\n"
                                         "<<<<< WriteImage <<<<<\n"
                                         ">>>>> WriteImage >>>>> pKeyName: DumpFinalData, pageNo: 3, image = {\n}\n"
                                         "failed to write tiff header: 0 bytes.\n");
}

}  // namespace
