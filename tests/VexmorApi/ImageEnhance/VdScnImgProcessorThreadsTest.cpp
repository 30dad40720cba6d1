// Conversions of many pages from several threads at once: the library's
// processing objects never overlap, every conversion succeeds, and no
// temporary file is left.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "EnhancePages.h"
#include "FakeScnImgProc.h"
#include "VexmorApi/ImageEnhance/VdScnImgProcessor.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

namespace {

TEST(VdScnImgProcessorThreads, ConcurrentConversionsRunTheLibraryOneAtATime)
{
    constexpr int kThreads = 8;
    constexpr int kPages = 50;
    fake_scn_img_proc::Installed const fake(fake_scn_img_proc::Script{});
    std::atomic<int> next{0};
    std::atomic<int> converted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (next++ < kPages) {
                auto page = enhance_pages::FlatPage(ImageInfo(300, ImageInfo::Color, 33, 17), 0x80);
                unsigned int result = 1;
                page = vscore::VdScnImgProcessor().ColorConvert(std::move(page), {vscore::BLACKWHITE, 128}, result);
                if (result == 0 && page && page->GetBitsPerPixel() == 1) {
                    ++converted;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(converted, kPages);
    EXPECT_EQ(fake.Runs(), kPages);
    EXPECT_EQ(fake.Made(), kPages);
    EXPECT_EQ(fake.MaxAlive(), 1);
    EXPECT_EQ(fake.Alive(), 0);
    EXPECT_TRUE(TemporaryFilesLeft().empty());
}

}  // namespace
