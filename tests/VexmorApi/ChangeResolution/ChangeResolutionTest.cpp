// The page-level resolution change of enhanced bitmaps: pages only grow,
// colours and byte order stay, sizes follow the ratio, a page's output takes
// the block the page before freed, set-up failures throw.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Bytes/make_unique_bytes.h"
#include "VexmorApi/ChangeResolution/ChangeResolution.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A page of the colour type whose rows are `stride` bytes of the pattern.
std::unique_ptr<BitmapImage> MakePage(ImageInfo const& info, uint64_t stride, Bytes const& pixel = {})
{
    Bytes pixels = Pattern(stride * info.GetHeight(), info.GetWidth());
    for (size_t i = 0; !pixel.empty() && i < pixels.size(); ++i) {
        pixels[i] = pixel[(i % stride) % pixel.size()];
    }
    return std::make_unique<BitmapImage>(
        info, std::make_unique<BytesMemory>(static_cast<unsigned>(pixels.size()), pixels.data(), BytesMemory::Copy));
}

TEST(ChangeResolution, PagesAtOrAboveTheTargetAreReturnedAsTheyAre)
{
    for (uint16_t target : {uint16_t{300}, uint16_t{200}, uint16_t{0}}) {
        std::unique_ptr<BitmapImage> page = MakePage(ImageInfo(300, ImageInfo::Color, 5, 4), 16);
        BitmapImage const* before = page.get();
        EXPECT_EQ(CChangeResolution::ChangeIfNeeded(std::move(page), target).get(), before) << target;
    }
    EXPECT_EQ(CChangeResolution::ChangeIfNeeded(nullptr, 600), nullptr);
}

TEST(ChangeResolution, FlatColoursStayAndBytesKeepTheirOrder)
{
    struct Case {
        ImageInfo::ColorType type;
        uint32_t width;
        Bytes pixel;
    };
    Case const cases[] = {{ImageInfo::Color, 7, {255, 0, 0}},
                          {ImageInfo::Color, 4, {10, 20, 30}},
                          {ImageInfo::TrueGray, 9, {200}},
                          {ImageInfo::BlackAndWhite, 13, {0xFF}}};
    for (Case const& c : cases) {
        ImageInfo const info(300, c.type, c.width, 5);
        uint64_t const stride = info.GetBytesPerRowFor4BytesAlignment();
        Bytes pixel = c.pixel;
        if (c.type == ImageInfo::Color) {
            // Whole pixels, so that every row starts with red.
            pixel.clear();
            for (uint32_t x = 0; x < c.width; ++x) {
                pixel.insert(pixel.end(), c.pixel.begin(), c.pixel.end());
            }
            pixel.resize(stride, 0);
        }
        std::unique_ptr<BitmapImage> page = CChangeResolution::ChangeIfNeeded(MakePage(info, stride, pixel), 600);
        ImageInfo const out = page->GetImageInfo();
        EXPECT_TRUE(out.IsEqual(ImageInfo(600, c.type, 2 * c.width, 10))) << out.GetDescription();
        EXPECT_EQ(page->GetBytesPerRow(), out.GetBytesPerRowFor4BytesAlignment());
        for (uint32_t y = 0; y < out.GetHeight(); ++y) {
            unsigned char const* row = page->GetPixelsPointer() + y * page->GetBytesPerRow();
            for (uint64_t i = 0; i < out.GetBytesPerRow() - (c.type == ImageInfo::BlackAndWhite ? 1 : 0); ++i) {
                ASSERT_EQ(row[i], c.pixel[i % c.pixel.size()]) << c.width << " row " << y << " byte " << i;
            }
        }
    }
}

TEST(ChangeResolution, SizesFollowTheRatioAlsoForPackedRows)
{
    struct Case {
        ImageInfo::ColorType type;
        uint16_t from, to;
        uint32_t width, height, outWidth, outHeight;
        bool packed;
    };
    Case const cases[] = {{ImageInfo::Color, 200, 300, 7, 5, 10, 8, false},
                          {ImageInfo::TrueGray, 200, 300, 5, 4, 7, 6, true},
                          {ImageInfo::BlackAndWhite, 200, 300, 24, 4, 36, 6, false},
                          {ImageInfo::Gray, 300, 900, 9, 3, 27, 9, true}};
    for (Case const& c : cases) {
        ImageInfo const info(c.from, c.type, c.width, c.height);
        uint64_t const stride = c.packed ? info.GetBytesPerRow() : info.GetBytesPerRowFor4BytesAlignment();
        std::unique_ptr<BitmapImage> page = CChangeResolution::ChangeIfNeeded(MakePage(info, stride), c.to);
        EXPECT_TRUE(page->GetImageInfo().IsEqual(ImageInfo(c.to, c.type, c.outWidth, c.outHeight)))
            << page->GetImageInfo().GetDescription();
        EXPECT_EQ(page->GetPixelSize(), page->GetImageInfo().GetRequiredByteSizeFor4BytesAlignment());
    }
}

TEST(ChangeResolution, ThePageAfterTakesTheOutputBlockAPageFreed)
{
    struct ScanReuse {
        ScanReuse() { BeginPageBlockReuse(); }
        ~ScanReuse() { EndPageBlockReuse(); }
    } const reuse;
    // 352 KiB in, 1,440,000 bytes out: a mapped block, which the reuse cache
    // keeps only at a length some request asked for, never at one it grew to.
    ImageInfo const info(100, ImageInfo::Color, 400, 300);
    uint64_t const stride = info.GetBytesPerRowFor4BytesAlignment();
    std::unique_ptr<BitmapImage> first = CChangeResolution::ChangeIfNeeded(MakePage(info, stride), 200);
    unsigned char* const block = first->GetPixelsPointer();
    Bytes const pixels(block, block + first->GetPixelSize());
    first.reset();
    // A request of the output's length gets the freed block with page 1 in
    // it, not a fresh zeroed mapping; freed, it goes back to the cache...
    unique_bytes kept = make_unique_bytes(static_cast<unsigned>(pixels.size()));
    ASSERT_TRUE(std::equal(pixels.begin(), pixels.end(), kept.get())) << "page 1's output block was unmapped";
    EXPECT_EQ(kept.get(), block);
    kept.reset();
    // ...and still mapped there, it serves page 2's output.
    std::unique_ptr<BitmapImage> second = CChangeResolution::ChangeIfNeeded(MakePage(info, stride), 200);
    EXPECT_EQ(second->GetPixelsPointer(), block);
    EXPECT_EQ(second->GetPixelSize(), pixels.size());
}

TEST(ChangeResolution, AChangeThatCannotBeSetUpThrows)
{
    try {
        CChangeResolution::ChangeIfNeeded(MakePage(ImageInfo(100, ImageInfo::TrueGray, 4, 4), 4), 3300);
        ADD_FAILURE() << "no exception";
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
        EXPECT_EQ(e.GetMessage(), "failed to ChangeResoInit().");
        EXPECT_EQ(e.GetFileName(), "VexmorApi/ChangeResolution/ChangeResolution");
        EXPECT_EQ(e.GetFunctionName(), "ChangeIfNeeded");
    }
}

}  // namespace
