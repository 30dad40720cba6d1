// JPEG decoding and JPEG/TIFF writing against the real peers: streams made
// by cjpeg must decode exactly as djpeg decodes them, saved files must read
// back with djpeg and tiffinfo, and broken streams must fail cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_bytes/TestBytes.h"
#include "vdtcl/CTCnvImage.h"
#include "vdtcl/CTImgDataInfo.h"
#include "vdtcl/CTLibJpeg.h"
#include "vdtcl/CTLibTiff.h"

using vdtcl::CTCnvImage;
using vdtcl::CTImgDataBox;
using Bytes = std::vector<unsigned char>;

namespace {

bool HaveTool(const char* tool)
{
    return system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using testbytes::WriteFile;

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// Pixels of a binary PGM or PPM (maxval 255).
struct Pnm {
    int width = 0, height = 0, components = 0;
    Bytes pixels;
};

Pnm ParsePnm(const std::string& text)
{
    Pnm pnm;
    int maxval = 0, consumed = 0;
    char kind = 0;
    if (sscanf(text.c_str(), "P%c %d %d %d%n", &kind, &pnm.width, &pnm.height, &maxval, &consumed) != 4)
        return {};
    pnm.components = kind == '5' ? 1 : 3;
    pnm.pixels.assign(text.begin() + consumed + 1, text.end());
    return pnm;
}

class CnvImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("cjpeg") || !HaveTool("djpeg") || !HaveTool("tiffinfo"))
            GTEST_SKIP() << "cjpeg, djpeg and tiffinfo are needed";
        char tmpl[] = "/tmp/cnvimage-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // A w x h image with smooth gradients and some noise, made into a JPEG by
    // cjpeg with the given options.
    Bytes MakeJpeg(int w, int h, int components, const std::string& options)
    {
        std::mt19937 rng(static_cast<unsigned>(w * 131 + h));
        std::string pnm = (components == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < components; ++c)
                    pnm += static_cast<char>((x * 7 + y * 5 + c * 80 + rng() % 24) & 0xFF);
        WriteFile(Path("in.pnm"), Bytes(pnm.begin(), pnm.end()));
        RunCommand("cjpeg " + options + " -outfile " + Path("made.jpg") + " " + Path("in.pnm"));
        return ReadFile(Path("made.jpg"));
    }

    Pnm Djpeg(const Bytes& jpeg)
    {
        WriteFile(Path("peer.jpg"), jpeg);
        return ParsePnm(RunCommand("djpeg -pnm " + Path("peer.jpg")));
    }

    std::string dir_;
};

// The decoder's rows must equal djpeg's pixels, in the asked byte order,
// each row padded with zeros to a multiple of 4 bytes.
TEST_F(CnvImageTest, DecodeEqualsDjpegWithPaddedRows)
{
    struct Case {
        const char* name;
        int w, h, components;
        const char* options;
    } cases[] = {
        {"gray", 13, 9, 1, "-quality 85"},
        {"color 4:2:0", 33, 17, 3, "-sample 2x2"},
        {"color 4:4:4", 10, 12, 3, "-sample 1x1"},
        {"color 4:2:0 width 5", 5, 40, 3, "-sample 2x2 -quality 60"},
        {"progressive with restarts", 51, 23, 3, "-progressive -restart 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes jpeg = MakeJpeg(c.w, c.h, c.components, c.options);
        ASSERT_FALSE(jpeg.empty());
        const Pnm peer = Djpeg(jpeg);
        ASSERT_EQ(peer.pixels.size(), static_cast<size_t>(c.w * c.h * c.components));
        for (int format : {CTCnvImage::kFormatAsDecoded, CTCnvImage::kFormatBgr}) {
            CTCnvImage cnv;
            const unsigned char* rows = cnv.DecodeImage(jpeg.data(), jpeg.size(), format);
            ASSERT_NE(rows, nullptr);
            int w = 0, h = 0, stride = 0;
            const unsigned long size = cnv.GetDecodedImageSize(w, h, stride);
            ASSERT_EQ(w, c.w);
            ASSERT_EQ(h, c.h);
            ASSERT_EQ(stride, (c.w * c.components + 3) / 4 * 4);
            ASSERT_EQ(size, static_cast<unsigned long>(stride) * h);
            const bool bgr = format == CTCnvImage::kFormatBgr && c.components == 3;
            EXPECT_EQ(cnv.GetDecodedImagePixelFormat(), c.components == 1 ? CTCnvImage::kFormatGray : format);
            for (int y = 0; y < h; ++y)
                for (int i = 0; i < stride; ++i) {
                    unsigned char want = 0;
                    if (i < c.w * c.components) {
                        const int j = bgr ? i - i % 3 + 2 - i % 3 : i;
                        want = peer.pixels[static_cast<size_t>(y * c.w * c.components + j)];
                    }
                    ASSERT_EQ(rows[y * stride + i], want) << "row " << y << " byte " << i << " format " << format;
                }
        }
    }
}

// Patches the first start-of-frame segment: size and, with extra, a fourth
// component appended.
Bytes PatchFrame(Bytes jpeg, int width, int height, bool extraComponent)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || (jpeg[i + 1] != 0xC0 && jpeg[i + 1] != 0xC2))
            continue;
        jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
        jpeg[i + 6] = static_cast<unsigned char>(height);
        jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
        jpeg[i + 8] = static_cast<unsigned char>(width);
        if (extraComponent) {
            const size_t length = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
            jpeg[i + 3] = static_cast<unsigned char>(length + 3);
            jpeg[i + 9] = 4;
            const unsigned char fourth[] = {4, 0x11, 0};
            jpeg.insert(jpeg.begin() + static_cast<ptrdiff_t>(i + 2 + length), fourth, fourth + 3);
        }
        break;
    }
    return jpeg;
}

TEST_F(CnvImageTest, BrokenStreamsFailCleanly)
{
    const Bytes jpeg = MakeJpeg(64, 48, 3, "-sample 2x2");
    ASSERT_GT(jpeg.size(), 400u);
    CTCnvImage cnv;
    const unsigned char* whole = cnv.DecodeImage(jpeg.data(), jpeg.size(), 0);
    ASSERT_NE(whole, nullptr);
    int w = 0, h = 0, stride = 0;
    const Bytes full(whole, whole + cnv.GetDecodedImageSize(w, h, stride));

    // Without only its end marker the page is whole.
    const unsigned char* rows = cnv.DecodeImage(jpeg.data(), jpeg.size() - 2, 0);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(0, memcmp(rows, full.data(), full.size()));

    // Markers inside the scan data: the library would make up the rows
    // after them.
    Bytes marked = jpeg;
    for (size_t at = 2; at + 4 < marked.size(); ++at) {
        if (marked[at] == 0xFF && marked[at + 1] == 0xDA) {
            size_t const data = at + 2 + (size_t{marked[at + 2]} << 8 | marked[at + 3]);
            ASSERT_LT(data + 40, marked.size());
            for (size_t i = 0; i < 16; ++i) {
                marked[data + 16 + i] = i % 2 == 0 ? 0xFF : 0xC8;
            }
            break;
        }
    }
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"markers in the scan data", marked},
        {"cut at 85%", Bytes(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(jpeg.size() * 85 / 100))},
        {"cut at 50%", Bytes(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(jpeg.size() / 2))},
        {"header only", Bytes(jpeg.begin(), jpeg.begin() + 100)},
        {"two bytes", Bytes(jpeg.begin(), jpeg.begin() + 2)},
        {"65500 x 65500 x 3", PatchFrame(jpeg, 65500, 65500, false)},
        {"width 0", PatchFrame(jpeg, 0, 48, false)},
        {"four components", PatchFrame(jpeg, 64, 48, true)},
        {"not a JPEG", Bytes(300, 0x5A)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cnv.DecodeImage(c.data.data(), c.data.size(), 0), nullptr) << c.name;
        EXPECT_EQ(cnv.GetDecodedImageSize(w, h, stride), 0u) << c.name;
        EXPECT_EQ(cnv.GetDecodedImagePixelFormat(), CTCnvImage::kFormatNone) << c.name;
    }
    EXPECT_EQ(cnv.DecodeImage(nullptr, 10, 0), nullptr);
    EXPECT_EQ(cnv.DecodeImage(jpeg.data(), 0, 0), nullptr);
    EXPECT_EQ(cnv.DecodeImage(jpeg.data(), jpeg.size(), CTCnvImage::kFormatNone), nullptr);

    // Damage anywhere may decode or fail, but never crash or overrun.
    for (size_t i = 0; i < jpeg.size(); i += 3) {
        Bytes bad = jpeg;
        bad[i] = static_cast<unsigned char>(bad[i] ^ (0x81 << (i % 7)));
        cnv.DecodeImage(bad.data(), bad.size(), 1);
    }
}

// The binder's file route (used when the library cannot read memory) gives
// the same rows as the memory route, and refuses the other ABI.
TEST_F(CnvImageTest, BinderDecodesFromFileAsFromMemory)
{
    const Bytes jpeg = MakeJpeg(30, 20, 3, "");
    vdtcl::libjpeg62::CTLibJpeg binder;
    EXPECT_FALSE(binder.LoadLibJpeg(80));
    ASSERT_TRUE(binder.LoadLibJpeg(62));
    ASSERT_TRUE(binder.HasMemorySource());
    vdtcl::jpeg_info_t fromMemory{}, fromFile{};
    const unsigned char* rows = binder.DecodeJpegImage(nullptr, jpeg.data(), jpeg.size(), fromMemory);
    ASSERT_NE(rows, nullptr);
    const Bytes expected(rows, rows + fromMemory.bytesPerRow * static_cast<unsigned long>(fromMemory.height));
    for (size_t cut : {jpeg.size(), jpeg.size() / 2}) {
        FILE* file = tmpfile();
        ASSERT_NE(file, nullptr);
        fwrite(jpeg.data(), 1, cut, file);
        rewind(file);
        rows = binder.DecodeJpegImage(file, nullptr, 0, fromFile);
        fclose(file);
        if (cut < jpeg.size()) {
            EXPECT_EQ(rows, nullptr);
            continue;
        }
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(fromFile.bytesPerRow, 92u);
        EXPECT_EQ(0, memcmp(rows, expected.data(), expected.size()));
    }
}

// Fills a box with a pattern that differs from row to row.
void FillBox(CTImgDataBox& box, int width, int height, int type, int dpiX, int dpiY)
{
    ASSERT_TRUE(box.AllocImageDataMemory(width, height, type, 0));
    ASSERT_TRUE(box.SetImageDpi(dpiX, dpiY));
    const unsigned long stride = CTImgDataBox::CalcBytesWidth(width, type);
    const int used = type <= 1 ? (width + 7) / 8 : width * (type == 24 ? 3 : type == 32 ? 4 : 1);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < used; ++i)
            box.GetPtrToImageData()[y * stride + i] =
                static_cast<unsigned char>(type <= 1 ? (y % 2 ? 0xF0 : 0x3C) : (y * 7 + i * 2));
}

TEST_F(CnvImageTest, SavedJpegDecodesWithDjpegAndCarriesTheDensity)
{
    struct Case {
        int width, height, type, flavor, components;
    } cases[] = {{21, 13, 24, 0, 3}, {19, 6, 2, 0, 1}, {8, 6, 0, 0, 1}, {8, 6, 1, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        CTImgDataBox box;
        FillBox(box, c.width, c.height, c.type, 300, 150);
        CTCnvImage cnv;
        const std::string path = Path("saved.jpg");
        ASSERT_TRUE(cnv.SaveImageAsJpegFile(box, path.c_str(), 100, c.flavor));
        const Bytes file = ReadFile(path);
        // JFIF segment: "JFIF\0", version, units 1 (dpi), X density, Y density.
        ASSERT_GT(file.size(), 20u);
        ASSERT_EQ(0, memcmp(&file[6], "JFIF", 5));
        EXPECT_EQ(file[13], 1);
        EXPECT_EQ(file[14] << 8 | file[15], 300);
        EXPECT_EQ(file[16] << 8 | file[17], 150);

        const Pnm peer = Djpeg(file);
        ASSERT_EQ(peer.width, c.width);
        ASSERT_EQ(peer.height, c.height);
        ASSERT_EQ(peer.components, c.components);
        const unsigned long stride = CTImgDataBox::CalcBytesWidth(c.width, c.type);
        for (int y = 0; y < c.height; ++y)
            for (int i = 0; i < c.width * c.components; ++i) {
                const unsigned char* row = box.GetPtrToImageData() + y * stride;
                const int want = c.type > 1 ? row[i] : ((row[i / 8] >> (7 - i % 8)) & 1) == (c.flavor == 0) ? 255 : 0;
                EXPECT_NEAR(peer.pixels[static_cast<size_t>(y * c.width * c.components + i)], want,
                            c.type <= 1 ? 40 : 6)
                    << "row " << y << " byte " << i;
            }
    }
}

TEST_F(CnvImageTest, UnwritableImagesAreRefusedBeforeAFileIsMade)
{
    CTImgDataBox rgba, gray1, noDpi, rgb;
    FillBox(rgba, 4, 4, 32, 200, 200);
    FillBox(gray1, 4, 4, 3, 200, 200);
    ASSERT_TRUE(noDpi.AllocImageDataMemory(4, 4, 2, 0));
    FillBox(rgb, 4, 4, 24, 200, 200);
    CTCnvImage cnv;
    const std::string path = Path("refused");
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(rgba, path.c_str(), 90, 0));
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(gray1, path.c_str(), 90, 0));
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(noDpi, path.c_str(), 90, 0));
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(rgb, "", 90, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgba, path.c_str(), 0, 0, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(gray1, path.c_str(), 0, 0, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, path.c_str(), CTCnvImage::kCompGroup4, 0, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, path.c_str(), 0, CTCnvImage::kPageMiddle, 0));
    EXPECT_FALSE(cnv.SaveImageAsBmpFile(rgb, path.c_str(), 0));
    EXPECT_FALSE(cnv.SaveImageAsPdfFile(rgb, path.c_str(), 0, 90, CTCnvImage::kPageSingle, "", 0));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(CnvImageTest, MultiPageTiffHoldsEveryPageAndTheSaveMark)
{
    CTImgDataBox bw, gray, rgb;
    FillBox(bw, 37, 11, 0, 200, 200);
    FillBox(gray, 9, 5, 2, 300, 300);
    FillBox(rgb, 7, 3, 24, 150, 100);
    CTCnvImage cnv, other;
    const std::string path = Path("pages.tif");
    const std::string jpeg = Path("between.jpg");
    ASSERT_TRUE(cnv.SaveImageAsTiffFile(bw, path.c_str(), CTCnvImage::kCompGroup4, CTCnvImage::kPageFirst, 1));
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(rgb, jpeg.c_str(), 90, 0));
    EXPECT_FALSE(other.SaveImageAsTiffFile(rgb, Path("other.tif").c_str(), 0, CTCnvImage::kPageSingle, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, path.c_str(), 0, CTCnvImage::kPageFirst, 0));
    ASSERT_TRUE(cnv.SaveImageAsTiffFile(gray, path.c_str(), CTCnvImage::kCompLzw, CTCnvImage::kPageMiddle, 0));
    ASSERT_TRUE(cnv.SaveImageAsTiffFile(bw, path.c_str(), CTCnvImage::kCompNone, CTCnvImage::kPageMiddle, 0));
    ASSERT_TRUE(cnv.SaveImageAsTiffFile(rgb, path.c_str(), CTCnvImage::kCompNone, CTCnvImage::kPageLast, 0));
    EXPECT_TRUE(other.SaveImageAsJpegFile(rgb, jpeg.c_str(), 90, 0));

    // A converter that goes away with its file open ends the file.
    {
        CTCnvImage dropped;
        ASSERT_TRUE(dropped.SaveImageAsTiffFile(gray, Path("dropped.tif").c_str(), 0, CTCnvImage::kPageFirst, 0));
    }
    EXPECT_TRUE(other.SaveImageAsTiffFile(gray, Path("after.tif").c_str(), 0, CTCnvImage::kPageSingle, 0));

    // -D reads every strip back as well.
    const std::string info = RunCommand("tiffinfo -D " + path + " 2>&1");
    size_t directories = 0;
    for (size_t at = info.find("TIFF Directory"); at != std::string::npos; at = info.find("TIFF Directory", at + 1))
        ++directories;
    EXPECT_EQ(directories, 4u) << info;
    EXPECT_NE(info.find("Image Width: 37 Image Length: 11"), std::string::npos) << info;
    EXPECT_NE(info.find("Compression Scheme: CCITT Group 4"), std::string::npos);
    EXPECT_NE(info.find("Compression Scheme: LZW"), std::string::npos);
    EXPECT_NE(info.find("Photometric Interpretation: min-is-white"), std::string::npos);
    EXPECT_NE(info.find("Photometric Interpretation: min-is-black"), std::string::npos);
    EXPECT_NE(info.find("Photometric Interpretation: RGB color"), std::string::npos);
    EXPECT_NE(info.find("Resolution: 150, 100 pixels/inch"), std::string::npos);
    EXPECT_EQ(info.find("Error"), std::string::npos) << info;
}

// Library names pointed at files that do not exist: every operation fails,
// and a failed first page leaves no save mark behind.
TEST_F(CnvImageTest, MissingLibrariesFailAndReleaseTheSaveMark)
{
    CTImgDataBox rgb;
    FillBox(rgb, 7, 3, 24, 150, 100);
    const Bytes jpeg = MakeJpeg(8, 8, 3, "");
    const std::string path = Path("out");
    CTCnvImage cnv;

    vdtcl::libjpeg80::CTLibJpeg::SetLibraryNameForTest("/nonexistent/libjpeg.so.8");
    vdtcl::libjpeg62::CTLibJpeg::SetLibraryNameForTest("/nonexistent/libjpeg.so.62");
    EXPECT_EQ(cnv.DecodeImage(jpeg.data(), jpeg.size(), 0), nullptr);
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(rgb, path.c_str(), 90, 0));
    EXPECT_FALSE(std::filesystem::exists(path));

    // A 6.2 library under the ABI-8 name is refused by the library itself.
    vdtcl::libjpeg80::CTLibJpeg::SetLibraryNameForTest("libjpeg.so.62");
    EXPECT_EQ(cnv.DecodeImage(jpeg.data(), jpeg.size(), 0), nullptr);
    EXPECT_FALSE(cnv.SaveImageAsJpegFile(rgb, path.c_str(), 90, 0));
    vdtcl::libjpeg80::CTLibJpeg::SetLibraryNameForTest(nullptr);
    vdtcl::libjpeg62::CTLibJpeg::SetLibraryNameForTest(nullptr);

    static const char* const kMissing[] = {"/nonexistent/libtiff.so.6", nullptr};
    vdtcl::CTLibTiff::SetLibraryNamesForTest(kMissing);
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, Path("missing.tif").c_str(), 0, CTCnvImage::kPageFirst, 0));
    vdtcl::CTLibTiff::SetLibraryNamesForTest(nullptr);
    EXPECT_FALSE(std::filesystem::exists(Path("missing.tif")));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, Path("no/such/folder.tif").c_str(), 0, CTCnvImage::kPageFirst, 0));
    EXPECT_FALSE(cnv.SaveImageAsTiffFile(rgb, path.c_str(), 0, CTCnvImage::kPageMiddle, 0));

    EXPECT_TRUE(cnv.SaveImageAsJpegFile(rgb, path.c_str(), 90, 0));
    EXPECT_NE(cnv.DecodeImage(jpeg.data(), jpeg.size(), 0), nullptr);
    EXPECT_TRUE(cnv.SaveImageAsTiffFile(rgb, Path("one.tif").c_str(), 0, CTCnvImage::kPageSingle, 0));
}

}  // namespace
