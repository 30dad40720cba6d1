// A page reached from two threads: one moves images out, works on them and
// sets them back while the other asks for the sizes and kinds.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/Page.h"

namespace {

TEST(PageConcurrency, SizeQueriesWhileImagesMoveInAndOut)
{
    auto page = std::make_shared<Page>(1);
    page->SetImage(std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, 4, 1),
                                                 std::make_unique<BytesMemory>(4, static_cast<unsigned char>(0))));
    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!go) {
            std::this_thread::yield();
        }
        for (int i = 0; i < 5000; ++i) {
            if (auto bitmap = page->GetBitmapImage()) {
                bitmap->AppendWhiteLines(1);  // worked on outside the lock
                if (i % 3 == 0) {
                    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::TrueGray, 4, 1);
                    lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, 4,
                                      bitmap->GetPixelsPointer());
                    page->SetImage(std::move(lines));
                } else {
                    page->SetImage(std::move(bitmap));
                }
            } else if (auto lines = page->GetDeviceImageLines()) {
                page->SetImage(
                    std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, 4, 1),
                                                  std::make_unique<BytesMemory>(4, static_cast<unsigned char>(1))));
            }
        }
        done = true;
    });
    unsigned long queries = 0;
    go = true;
    do {
        unsigned const size = page->GetImageSize();
        EXPECT_EQ(size % 4, 0u);
        EXPECT_LE(page->GetImageSizeOnMemory(), 4u * 5001);
        EXPECT_EQ(page->GetImageSizeOnFile(), 0u);
        bool const kinds[] = {page->HasBitmapImage(), page->HasDeviceImageLines(), page->HasDeviceImageJpeg()};
        EXPECT_FALSE(kinds[2]);
        (void)kinds;
        ++queries;
    } while (!done);
    worker.join();
    EXPECT_GT(queries, 0u);
    EXPECT_TRUE(page->HasBitmapImage() || page->HasDeviceImageLines());
}

}  // namespace
