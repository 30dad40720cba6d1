// The enhancement task: its page against the enhancement and the resolution
// change called directly, a page found blank, its cancel and empty-page
// paths, and a failing enhancement.
#include <gtest/gtest.h>

#include <vector>

#include "FakeTasks.h"
#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ChangeResolution/ChangeResolution.h"
#include "VexmorApi/ImageEnhance/ImageEnhance.h"
#include "VexmorApi/Tasks/ImageEnhanceTask.h"

using fake_tasks::CauseChain;
using vscore::ImageEnhanceTask;

namespace {

// A 4-byte-aligned bitmap of pattern pixels, or of one level.
std::unique_ptr<BitmapImage> Bitmap(ImageInfo::ColorType type, uint32_t width, uint32_t height, int level = -1)
{
    ImageInfo const info(300, type, width, height);
    auto const size = static_cast<unsigned>(info.GetRequiredByteSizeFor4BytesAlignment());
    std::vector<unsigned char> pixels = Pattern(size, 5);
    if (level >= 0) {
        pixels.assign(size, static_cast<unsigned char>(level));
    }
    return std::make_unique<BitmapImage>(info, std::make_unique<BytesMemory>(size, pixels.data(), BytesMemory::Copy));
}

std::vector<unsigned char> PixelsOf(BitmapImage& bitmap)
{
    unsigned char const* p = bitmap.GetPixelsPointer();
    return p ? std::vector<unsigned char>(p, p + bitmap.GetPixelSize()) : std::vector<unsigned char>();
}

vscore::_IMAGEPROC_PARAM KeepColour()
{
    vscore::_IMAGEPROC_PARAM p;
    p.userColorType = vscore::IMAGEPROC_USER_COLOR24BIT;
    return p;
}

int RunTask(std::shared_ptr<Page> const& page, vscore::_IMAGEPROC_PARAM const& p, uint16_t resolution,
            bool cancelFirst = false)
{
    ImageEnhanceTask task(page, p, resolution);
    if (cancelFirst) {
        task.Cancel();
    }
    task.Run();
    EXPECT_EQ(task.GetPage(), page);
    return task.GetResult();
}

TEST(ImageEnhanceTask, GivesTheEnhancedPageAtTheOutputResolution)
{
    vscore::_IMAGEPROC_PARAM p = KeepColour();
    p.orientation = vscore::IMAGEPROC_ORIENT_180;
    for (uint16_t resolution : {300, 600}) {
        SCOPED_TRACE(resolution);
        auto page = std::make_shared<Page>(Bitmap(ImageInfo::Color, 41, 23), 1);
        ASSERT_EQ(RunTask(page, p, resolution), 0);
        std::unique_ptr<BitmapImage> bitmap = page->GetBitmapImage();
        ASSERT_TRUE(bitmap);

        std::unique_ptr<BitmapImage> direct = Bitmap(ImageInfo::Color, 41, 23);
        vscore::CImageEnhance::EnhanceImageQualityFromScanImage(direct, p);
        direct = CChangeResolution::ChangeIfNeeded(std::move(direct), resolution);
        EXPECT_TRUE(bitmap->GetImageInfo().IsEqual(direct->GetImageInfo())) << bitmap->GetDescription();
        EXPECT_EQ(bitmap->GetImageInfo().GetResolution(), resolution);
        EXPECT_EQ(PixelsOf(*bitmap), PixelsOf(*direct));
    }
}

TEST(ImageEnhanceTask, PageFoundBlankKeepsNoImage)
{
    vscore::_IMAGEPROC_PARAM p = KeepColour();
    p.blankRemove = {1, 5};
    auto page = std::make_shared<Page>(Bitmap(ImageInfo::Color, 600, 600, 0xFF), 2);
    // The resolution step is skipped: there is no bitmap left to change.
    EXPECT_EQ(RunTask(page, p, 600), 0);
    EXPECT_TRUE(page->IsBlankPage());
    EXPECT_FALSE(page->HasBitmapImage());
    EXPECT_EQ(page->GetImageSize(), 0u);
}

TEST(ImageEnhanceTask, CancelBlankAndEmptyPages)
{
    auto page = std::make_shared<Page>(Bitmap(ImageInfo::TrueGray, 8, 4), 1);
    EXPECT_EQ(RunTask(page, KeepColour(), 600, true), 1);
    ASSERT_TRUE(page->HasBitmapImage());
    EXPECT_EQ(page->GetBitmapImage()->GetImageInfo().GetResolution(), 300u);  // untouched

    auto blank = std::make_shared<Page>(3);
    blank->SetBlankPage();
    EXPECT_EQ(RunTask(blank, KeepColour(), 600, true), 0);

    auto empty = std::make_shared<Page>(4);
    EXPECT_EQ(RunTask(empty, KeepColour(), 600), 0);
    EXPECT_FALSE(empty->HasBitmapImage());
    EXPECT_FALSE(empty->IsBlankPage());
}

TEST(ImageEnhanceTask, FailingEnhancementEndsTheTask)
{
    vscore::_IMAGEPROC_PARAM p = KeepColour();
    p.blankRemove = {1, 5};  // detection refuses 1-bit pages
    auto page = std::make_shared<Page>(Bitmap(ImageInfo::BlackAndWhite, 64, 8, 0xFF), 5);
    ImageEnhanceTask task(page, p, 300);
    task.Run();
    try {
        task.GetResult();
        FAIL() << "no exception";
    } catch (Exception const& e) {
        std::vector<std::string> const chain = CauseChain(e);
        ASSERT_EQ(chain.size(), 2u);
        EXPECT_EQ(chain[0], "[Other] Task is failed.");
        EXPECT_EQ(chain[1], "[InvalidArgument] color type is not 24bit color or true gray.");
    }
    EXPECT_FALSE(page->IsBlankPage());
}

}  // namespace
