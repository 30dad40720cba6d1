// The image-file writers against the real readers: multi-page TIFF
// documents with numbered names, JPEG pages decoded by djpeg, the formats
// that write nothing, the compression mapping, failed pages and the name
// limit of the completed-names list.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "ScratchDir.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "diagnostics/ImageFile.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"
#include "vdtcl/CTCnvImage.h"

namespace {

// A delivered page with packed rows filled from a pattern.
struct TestPage {
    TestPage(uint32_t width, uint32_t height, uint32_t bits, uint32_t dpi = 300)
        : rowBytes((uint64_t{width} * bits + 7) / 8), pixels(rowBytes * height)
    {
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<unsigned char>((i * 37 + i / rowBytes * 11) & 0xFF);
        }
        record.pDataPtr = pixels.data();
        record.dataSize = static_cast<uint32_t>(pixels.size());
        record.resolutionX = dpi;
        record.resolutionY = dpi;
        record.bitsPerPixel = bits;
        record.width = width;
        record.height = height;
        record.bytesPerLine = static_cast<uint32_t>(rowBytes);
    }
    uint64_t rowBytes;
    std::vector<unsigned char> pixels;
    vscore::tagVS_SCAN_IMAGEDATA record{};
};

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!peer::HaveTool("tiffinfo") || !peer::HaveTool("djpeg") || !peer::HavePillow()) {
            GTEST_SKIP() << "tiffinfo, djpeg and Pillow under /usr/bin/python3 are needed";
        }
    }
    void TearDown() override
    {
        // Nothing staged may be left behind; the folder goes with the manager.
        std::string const staging = Singleton<FileManager>::GetInstance()->GetTemporaryDirectoryPath();
        EXPECT_TRUE(TemporaryFilesLeft().empty()) << staging;
        Singleton<FileManager>::Destroy();
    }
    ImageFile::Parameter Param(int format, std::string const& name, bool numbered) const
    {
        ImageFile::Parameter p;
        p.format = format;
        p.folder = dir_.Path();
        p.fileName = name;
        p.numberedNames = numbered;
        p.quality = 95;
        return p;
    }
    std::vector<std::string> Folder() const
    {
        std::vector<std::string> names;
        for (auto const& entry : std::filesystem::directory_iterator(dir_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchDir dir_;
};

TEST_F(ImageFileTest, MultiPageTiffDocumentsEachBecomeOneNumberedFile)
{
    ImageFile file(Param(ImageFile::Tiff, "scan", true));
    TestPage const gray(37, 5, 8), color(33, 4, 24), bw(70, 9, 1);
    for (int document = 1; document <= 2; ++document) {
        std::string const name = dir_ / ("scan" + std::to_string(document) + ".tiff");
        ASSERT_TRUE(file.Save(vscore::TRUEGRAY, gray.record, false));
        ASSERT_TRUE(file.Save(vscore::BLACKWHITE, bw.record, false));
        // Nothing at the destination, nor at a predictable temporary name,
        // before the document is complete.
        EXPECT_FALSE(ScratchDir::Exists(name));
        EXPECT_FALSE(ScratchDir::Exists("/tmp/scan" + std::to_string(document) + ".tiff"));
        ASSERT_TRUE(file.Save(vscore::COLOR24BIT, color.record, true));

        std::string const info = peer::TiffInfo(name);
        EXPECT_EQ(peer::Count(info, "TIFF Directory"), 3u) << info;
        EXPECT_EQ(info.find("rror"), std::string::npos) << info;
        EXPECT_EQ(info.find("arning"), std::string::npos) << info;
        ASSERT_EQ(file.GetSavedFileCount(), static_cast<uint32_t>(document));
        EXPECT_STREQ(file.GetFileName(document), name.c_str());
        ASSERT_EQ(file.GetFileList().size(), static_cast<size_t>(document));
        EXPECT_STREQ(file.GetFileList().back(), name.c_str());

        // Packed rows of odd lengths arrive unchanged, in order.
        peer::PillowImage const first = peer::ReadWithPillow(name, 0);
        EXPECT_EQ(first.mode, "L");
        EXPECT_EQ(first.pixels, gray.pixels);
        peer::PillowImage const third = peer::ReadWithPillow(name, 2);
        EXPECT_EQ(third.mode, "RGB");
        EXPECT_EQ(third.pixels, color.pixels);
        EXPECT_EQ(third.dpiX, 300.0);
    }

    // One page with the last-page flag is a single-page file of its own.
    ASSERT_TRUE(file.Save(vscore::AUTOCOLOR, gray.record, true));
    std::string const single = dir_ / "scan3.tiff";
    EXPECT_EQ(peer::Count(peer::TiffInfo(single), "TIFF Directory"), 1u);
    EXPECT_EQ(peer::ReadWithPillow(single).pixels, gray.pixels);
    EXPECT_EQ(file.GetSavedFileCount(), 3u);
    EXPECT_EQ(file.GetFileName(0), nullptr);
    EXPECT_EQ(file.GetFileName(4), nullptr);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"scan1.tiff", "scan2.tiff", "scan3.tiff"}));
}

TEST_F(ImageFileTest, JpegPagesGoToTheBaseNameAndDecode)
{
    ImageFile file(Param(ImageFile::Jpeg, "page.jpg", false));
    std::string const name = dir_ / "page.jpg";
    struct Case {
        vscore::COLORTYPE color;
        TestPage page;
        char const* pnm;
    } const cases[] = {
        {vscore::TRUEGRAY, {37, 6, 8}, "P5\n37 6\n255\n"},
        {vscore::COLOR24BIT, {33, 5, 24}, "P6\n33 5\n255\n"},
        {vscore::AUTOCOLOR, {21, 3, 1}, "P5\n21 3\n255\n"},
    };
    uint32_t count = 0;
    for (Case const& c : cases) {
        ASSERT_TRUE(file.Save(c.color, c.page.record, false)) << c.pnm;
        ++count;
        std::string const decoded = peer::Run("djpeg -pnm '" + name + "'");
        EXPECT_EQ(decoded.rfind(c.pnm, 0), 0u) << decoded.substr(0, 20);
        EXPECT_EQ(file.GetSavedFileCount(), count);
        EXPECT_STREQ(file.GetFileName(count), name.c_str());
    }
    EXPECT_EQ(Folder(), std::vector<std::string>{"page.jpg"});
}

TEST_F(ImageFileTest, FormatsWithoutEncoderWriteNothing)
{
    TestPage const page(16, 4, 8);
    for (int format : {int{ImageFile::Bmp}, int{ImageFile::Png}, int{ImageFile::Pdf}, 7, -1}) {
        for (bool numbered : {false, true}) {
            ImageFile file(Param(format, "out", numbered));
            EXPECT_FALSE(file.Save(vscore::TRUEGRAY, page.record, false)) << format;
            EXPECT_FALSE(file.Save(vscore::TRUEGRAY, page.record, true)) << format;
            EXPECT_EQ(file.Finish(), format != ImageFile::Pdf) << format;
            EXPECT_EQ(file.GetSavedFileCount(), 0u);
            EXPECT_EQ(file.GetFileName(1), nullptr);
            EXPECT_TRUE(file.GetFileList().empty());
        }
    }
    EXPECT_TRUE(Folder().empty());
}

TEST_F(ImageFileTest, CompressionChoicesReachTheEncoder)
{
    struct Case {
        TiffFile::TiffCompressType type;
        char const* scheme;
    } const cases[] = {
        {TiffFile::CompressNone, "Compression Scheme: None"},
        {TiffFile::CompressCcittGroup3, "Compression Scheme: CCITT Group 3"},
        {TiffFile::CompressCcittGroup4, "Compression Scheme: CCITT Group 4"},
        {TiffFile::CompressCcittHuffman, "Compression Scheme: CCITT RLE"},
        {TiffFile::CompressLzw, "Compression Scheme: LZW"},
        {static_cast<TiffFile::TiffCompressType>(9), "Compression Scheme: None"},
    };
    TestPage const bw(64, 8, 1);
    for (Case const& c : cases) {
        ImageFile::Parameter p = Param(ImageFile::Tiff, "c" + std::to_string(c.type) + ".tif", false);
        p.compression = c.type;
        ImageFile file(p);
        ASSERT_TRUE(file.Save(vscore::BLACKWHITE, bw.record, true));
        std::string const info = peer::TiffInfo(dir_ / p.fileName);
        EXPECT_NE(info.find(c.scheme), std::string::npos) << c.type << "\n" << info;
    }
}

// A page that fails ends the document: the staged file goes, the encoder's
// process-wide save mark is free again, the destination is untouched and
// the next page starts a new document.
TEST_F(ImageFileTest, AFailedPageEndsTheDocument)
{
    ImageFile file(Param(ImageFile::Tiff, "doc", true));
    TestPage const good(40, 6, 8);
    TestPage shortPage(40, 6, 8);
    shortPage.record.dataSize -= 1;  // one byte short of its rows
    TestPage unpadded(40, 6, 8);
    unpadded.record.bytesPerLine = 39;  // rows shorter than their pixels

    std::string const name = dir_ / "doc1.tiff";
    dir_.Write("doc1.tiff", "old");
    for (TestPage const* bad : {&shortPage, &unpadded}) {
        ASSERT_TRUE(file.Save(vscore::TRUEGRAY, good.record, false));
        EXPECT_FALSE(file.Save(vscore::TRUEGRAY, bad->record, false));
        EXPECT_TRUE(TemporaryFilesLeft().empty());
        vdtcl::CTCnvImage other;
        vdtcl::CTImgDataBox box;
        ASSERT_TRUE(box.AllocImageDataMemory(8, 8, vdtcl::CTImgDataInfo::kColorGray, 0));
        box.SetImageDpi(100, 100);
        EXPECT_TRUE(other.SaveImageAsJpegFile(box, (dir_ / "mark.jpg").c_str(), 90, 0));
        std::filesystem::remove(dir_ / "mark.jpg");
        EXPECT_EQ(ScratchDir::Read(name), "old");
        EXPECT_EQ(file.GetSavedFileCount(), 0u);
    }
    // A failed last page leaves the old file as well.
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, good.record, false));
    EXPECT_FALSE(file.Save(vscore::COLOR24BIT, good.record, true));
    EXPECT_EQ(ScratchDir::Read(name), "old");

    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, good.record, false));
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, good.record, true));
    EXPECT_EQ(peer::Count(peer::TiffInfo(name), "TIFF Directory"), 2u);
}

// A completed name must fit its 256-byte block with the terminating zero:
// 255 bytes are kept whole, a longer name is refused before anything is
// written.
TEST_F(ImageFileTest, NamesLongerThanTheirBlockAreRefused)
{
    TestPage const page(8, 2, 8);
    for (size_t length : {255u, 256u, 300u}) {
        ImageFile::Parameter p = Param(ImageFile::Tiff, "", true);
        size_t const fixed = dir_.Path().size() + 1 + std::string("1.tiff").size();
        p.fileName = std::string(length - fixed, 'n');
        std::string const name = dir_ / (p.fileName + "1.tiff");
        ASSERT_EQ(name.size(), length);
        ImageFile file(p);
        bool const fits = length < 256;
        EXPECT_EQ(file.Save(vscore::TRUEGRAY, page.record, true), fits) << length;
        EXPECT_EQ(ScratchDir::Exists(name), fits);
        if (fits) {
            EXPECT_STREQ(file.GetFileName(1), name.c_str());
        } else {
            EXPECT_EQ(file.GetFileName(1), nullptr);
        }
    }
    ImageFile::Parameter p = Param(ImageFile::Jpeg, std::string(300, 'j'), false);
    ImageFile jpeg(p);
    EXPECT_FALSE(jpeg.Save(vscore::TRUEGRAY, page.record, false));
    EXPECT_TRUE(Folder().size() == 1);
}

}  // namespace
