// BMP image data: files written by Pillow read top row first, files saved
// here read back by Pillow, a longer information header, hostile files, the
// row-by-row form, and the analyses and error diffusion on BMP files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "ScratchDir.h"
#include "imagelib/VdScnImgAna.h"
#include "imagelib/VdSipErrorDiffusion.h"
#include "imagelib/VdSipImgDataWinBmp.h"
#include "tests/imagelib/DetectionSupport.h"
#include "tests/support/sip_images/SipBmpFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Pil(const std::string& arguments) { return sippages::RunTestScript("pil_bmp.py", arguments); }

Bytes ReadBytes(const std::string& path) { return sippages::ReadFileBytes(path); }

void WriteBytes(const std::string& path, const Bytes& bytes) { ASSERT_TRUE(sippages::WriteFileBytes(path, bytes)); }

uint32_t Le32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
void PutLe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

size_t Stride(int32_t width, int32_t bits) { return static_cast<size_t>(SipStride(width, bits)); }

Bytes Pattern(int32_t width, int32_t height, int32_t bits, uint32_t seed)
{
    return sippages::PatternPixels(width, height, bits, seed);
}

int Save(const std::string& path, const tagSIPIMAGEINFO& info, const Bytes& pixels)
{
    return sippages::SaveBmp(path, info, pixels);
}

using Loaded = sippages::LoadedBmp;
Loaded Load(const std::string& path) { return sippages::LoadBmp(path); }

class BmpImageData : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sippages::HavePython("PIL"))
            GTEST_SKIP() << "no Pillow";
    }
    ScratchDir dir_;
};

TEST_F(BmpImageData, PillowFilesAreReadTopRowFirst)
{
    struct Case {
        const char* mode;
        int32_t bits;
        int32_t zeroIsWhite;
    };
    const Case cases[] = {{"1", 1, 0}, {"L", 8, 0}, {"RGB", 24, 0}, {"P", 8, 1}};
    for (const Case& c : cases) {
        for (int32_t width : {37, 64}) {
            const std::string bmp = dir_ / "in.bmp", raw = dir_ / "in.raw";
            std::ostringstream args;
            args << "write " << c.mode << " " << width << " 23 " << width << " " << bmp << " " << raw;
            ASSERT_EQ(Pil(args.str()), "") << c.mode;
            const Loaded loaded = Load(bmp);
            ASSERT_EQ(loaded.code, 0) << c.mode;
            EXPECT_EQ(loaded.info.width, width);
            EXPECT_EQ(loaded.info.height, 23);
            EXPECT_EQ(loaded.info.bitsPerPixel, c.bits);
            EXPECT_EQ(loaded.info.xResolution, 11811);
            EXPECT_EQ(loaded.info.yResolution, 11811);
            EXPECT_EQ(loaded.info.rgbOrder, 0);
            EXPECT_EQ(loaded.info.zeroIsWhite, c.zeroIsWhite) << c.mode;
            const Bytes pil = ReadBytes(raw);
            const size_t stride = Stride(width, c.bits);
            ASSERT_EQ(loaded.pixels.size(), stride * 23);
            for (size_t y = 0; y < 23; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    const uint8_t* ours = loaded.pixels.data() + y * stride;
                    if (c.bits == 1) {
                        const size_t packed = (width + 7) / 8;
                        const int bit = (ours[x / 8] >> (7 - x % 8)) & 1;
                        ASSERT_EQ(bit, (pil[y * packed + x / 8] >> (7 - x % 8)) & 1) << c.mode << " " << x << "," << y;
                    } else if (c.bits == 8) {
                        ASSERT_EQ(ours[x], pil[y * width + x]) << c.mode << " " << x << "," << y;
                    } else {
                        for (int k = 0; k < 3; ++k)
                            ASSERT_EQ(ours[x * 3 + k], pil[(y * width + x) * 3 + 2 - k]) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(BmpImageData, SavedFilesCarryTheirOffsetAndSizeAndPillowReadsThemBack)
{
    struct Case {
        int32_t bits, zeroIsWhite;
        uint32_t offset;
        const char* pilMode;
    };
    const Case cases[] = {{1, 0, 62, "1"}, {1, 1, 62, ""}, {8, 0, 1078, "L"}, {8, 1, 1078, ""}, {24, 0, 54, "RGB"}};
    for (const Case& c : cases) {
        const int32_t width = 45, height = 19;
        const tagSIPIMAGEINFO info{width, height, c.bits, 11800, 23622, 0, c.zeroIsWhite};
        const Bytes pixels = Pattern(width, height, c.bits, 3);
        const std::string bmp = dir_ / "out.bmp", raw = dir_ / "out.raw";
        ASSERT_EQ(Save(bmp, info, pixels), 0);
        const Bytes file = ReadBytes(bmp);
        const size_t stride = Stride(width, c.bits);
        ASSERT_EQ(file.size(), c.offset + stride * height) << c.bits;
        EXPECT_EQ(Le32(file, 2), file.size()) << "file size field";
        EXPECT_EQ(Le32(file, 10), c.offset);
        EXPECT_EQ(Le32(file, 14), 40u);
        EXPECT_EQ(Le32(file, 38), 11800u);
        EXPECT_EQ(Le32(file, 42), 23622u);
        EXPECT_EQ(Le32(file, 46), 0u) << "colours used";
        if (c.bits <= 8) {
            EXPECT_EQ(file[54], c.zeroIsWhite ? 255 : 0) << "first palette entry";
        }

        const std::string read = Pil("read " + bmp + " " + raw);
        if (*c.pilMode != '\0') {
            EXPECT_EQ(read.substr(0, read.find(' ')), c.pilMode) << read;
        }
        EXPECT_NE(read.find(" 45 19"), std::string::npos) << read;
        const Bytes levels = ReadBytes(raw);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* row = pixels.data() + y * stride;
                if (c.bits == 24) {
                    for (int k = 0; k < 3; ++k)
                        ASSERT_EQ(levels[(y * width + x) * 3 + k], row[x * 3 + 2 - k]);
                    continue;
                }
                int level = c.bits == 8 ? row[x] : ((row[x / 8] >> (7 - x % 8)) & 1) * 255;
                if (c.zeroIsWhite)
                    level = 255 - level;
                ASSERT_EQ(levels[y * width + x], level) << c.bits << "/" << c.zeroIsWhite << " " << x << "," << y;
            }

        const Loaded back = Load(bmp);
        ASSERT_EQ(back.code, 0);
        EXPECT_EQ(back.info.zeroIsWhite, c.zeroIsWhite);
        EXPECT_EQ(back.info.xResolution, 11800);
        EXPECT_EQ(back.pixels, pixels) << c.bits;
    }
}

// A 124-byte information header: the palette follows it at 14 + 124.
TEST_F(BmpImageData, LongerInformationHeaderPutsThePaletteBehindIt)
{
    const tagSIPIMAGEINFO info{16, 5, 8, 11811, 11811, 0, 1};
    const Bytes pixels = Pattern(16, 5, 8, 9);
    const std::string bmp = dir_ / "v5.bmp";
    ASSERT_EQ(Save(bmp, info, pixels), 0);
    Bytes file = ReadBytes(bmp);
    file.insert(file.begin() + 54, 84, 0);  // zeros where a 40-byte header's palette would start
    PutLe32(file, 14, 124);
    PutLe32(file, 10, 1078 + 84);
    PutLe32(file, 2, uint32_t(file.size()));
    WriteBytes(bmp, file);
    const Loaded loaded = Load(bmp);
    ASSERT_EQ(loaded.code, 0);
    EXPECT_EQ(loaded.info.zeroIsWhite, 1);
    EXPECT_EQ(loaded.pixels, pixels);
}

TEST_F(BmpImageData, HostileFilesGiveCodesAndNoPixels)
{
    const tagSIPIMAGEINFO info{16, 8, 8, 11811, 11811, 0, 0};
    const std::string good = dir_ / "good.bmp";
    ASSERT_EQ(Save(good, info, Pattern(16, 8, 8, 1)), 0);
    const Bytes base = ReadBytes(good);
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        int code;
    };
    auto field = [](size_t at, uint32_t value) { return [=](Bytes& b) { PutLe32(b, at, value); }; };
    const Case cases[] = {
        {"negative height", field(22, uint32_t(-8)), 4},
        {"width 0", field(18, 0), 4},
        {"compression 1", field(30, 1), 4},
        {"header size 12", field(14, 12), 4},
        {"16 bits per pixel", [](Bytes& b) { b[28] = 16; }, 4},
        {"32 bits per pixel", [](Bytes& b) { b[28] = 32; }, 4},
        {"signature", [](Bytes& b) { b[1] = 'A'; }, 4},
        {"pixels inside the headers", field(10, 20), 4},
        {"over 2 GiB", [](Bytes& b) { PutLe32(b, 18, 70000), PutLe32(b, 22, 70000); }, 4},
        {"offset past the end", field(10, uint32_t(base.size())), 1},
        {"offset far past the end", field(10, 0xFFFFFFF0u), 1},
        {"short pixel data", [](Bytes& b) { b.resize(b.size() - 5); }, 1},
        {"headers cut", [](Bytes& b) { b.resize(30); }, 1},
        {"palette cut", [](Bytes& b) { b.resize(56); }, 1},
        {"file header only", [](Bytes& b) { b.resize(14); }, 1},
        {"empty", [](Bytes& b) { b.clear(); }, 1},
    };
    CVdSipImgDataWinBmp image;
    for (const Case& c : cases) {
        Bytes file = base;
        c.change(file);
        const std::string path = dir_ / "hostile.bmp";
        WriteBytes(path, file);
        EXPECT_EQ(image.InitializeWithFile(path.c_str(), nullptr), c.code) << c.what;
        tagSIPIMAGEINFO read;
        EXPECT_EQ(image.GetImageInfo(&read), 1) << c.what;
        EXPECT_EQ(image.GetImageDataPtr(), nullptr) << c.what;
        EXPECT_FALSE(image.IsFileStayOpen()) << c.what;
    }
    const std::string missing = dir_ / "missing.bmp";
    EXPECT_EQ(image.InitializeWithFile(missing.c_str(), nullptr), 6);
    EXPECT_EQ(image.InitializeWithFile(nullptr, nullptr), 5);
    ASSERT_EQ(image.InitializeWithFile(good.c_str(), nullptr), 0);
    EXPECT_NE(image.GetImageDataPtr(), nullptr);

    // A description given by the caller: the pixels still come from the
    // file, and a file too short for it gives none.
    tagSIPIMAGEINFO given = info;
    ASSERT_EQ(image.InitializeWithFile(good.c_str(), &given), 0);
    EXPECT_NE(image.GetImageDataPtr(), nullptr);
    given.height = 9;
    ASSERT_EQ(image.InitializeWithFile(good.c_str(), &given), 0);
    EXPECT_EQ(image.GetImageDataPtr(), nullptr);
    ASSERT_EQ(image.InitializeWithFile(missing.c_str(), &given), 0);
    EXPECT_EQ(image.GetImageDataPtr(), nullptr);
    EXPECT_EQ(image.InitializeToFile(good.c_str(), nullptr), 5);
}

// Row by row: reading starts at the bottom row; writing rows after OpenFile
// gives the file SaveImgData writes.
TEST_F(BmpImageData, RowByRowAccessFollowsTheFileOrder)
{
    const tagSIPIMAGEINFO info{21, 6, 24, 11811, 11811, 0, 0};
    const Bytes pixels = Pattern(21, 6, 24, 4);
    const size_t stride = Stride(21, 24);
    const std::string saved = dir_ / "saved.bmp", rows = dir_ / "rows.bmp";
    ASSERT_EQ(Save(saved, info, pixels), 0);
    CVdSipImgDataWinBmp reader;
    ASSERT_EQ(reader.InitializeWithFile(saved.c_str(), nullptr), 0);
    ASSERT_EQ(reader.OpenFile(), 0);
    EXPECT_EQ(reader.InitializeWithFile(saved.c_str(), nullptr), 7) << "a stream is open";
    CVdSipImgDataWinBmp writer;
    tagSIPIMAGEINFO copy = info;
    ASSERT_EQ(writer.InitializeToFile(rows.c_str(), &copy), 0);
    ASSERT_EQ(writer.OpenFile(), 0);
    Bytes row(stride);
    for (int y = 5; y >= 0; --y) {
        ASSERT_EQ(reader.ReadDataFromFile(row.data(), int(stride)), int(stride));
        EXPECT_TRUE(std::equal(row.begin(), row.end(), pixels.begin() + y * stride)) << y;
        ASSERT_EQ(writer.WriteDataToFile(row.data(), int(stride)), int(stride));
    }
    EXPECT_EQ(reader.ReadDataFromFile(row.data(), int(stride)), 0);
    EXPECT_EQ(reader.CloseFile(), 0);
    EXPECT_EQ(writer.CloseFile(), 0);
    EXPECT_EQ(ReadBytes(rows), ReadBytes(saved));
    CVdSipImgDataWinBmp unset;
    EXPECT_EQ(unset.OpenFile(), 1);
    EXPECT_EQ(unset.SaveImgData(), 1);
    EXPECT_EQ(reader.SaveImgData(), 1) << "reading mode";
}

TEST(SipFileRw, OpenCloseReadWriteAndSeekReportTheirCodes)
{
    ScratchDir dir;
    const std::string path = dir.Write("f.bin", "abcdef");
    CVdSipFileRwCRT file;
    unsigned char buffer[8];
    EXPECT_EQ(file.OpenFileForReading(nullptr), 5);
    EXPECT_EQ(file.OpenFileForReading((dir / "none").c_str()), 6);
    EXPECT_EQ(file.CloseFile(), 1);
    EXPECT_EQ(file.ReadDataFromFile(buffer, 4), 0);
    EXPECT_NE(file.SeekFile(0, SEEK_SET), 0);
    ASSERT_EQ(file.OpenFileForReading(path.c_str()), 0);
    EXPECT_EQ(file.OpenFileForReading(path.c_str()), 7);
    EXPECT_EQ(file.OpenFileForWriting(path.c_str()), 7);
    EXPECT_EQ(file.ReadDataFromFile(nullptr, 4), 0);
    EXPECT_EQ(file.ReadDataFromFile(buffer, 0), 0);
    EXPECT_EQ(file.ReadDataFromFile(buffer, -1), 0);
    EXPECT_EQ(file.SeekFile(2, SEEK_SET), 0);
    EXPECT_EQ(file.ReadDataFromFile(buffer, 8), 4);
    EXPECT_EQ(std::memcmp(buffer, "cdef", 4), 0);
    EXPECT_EQ(file.GetOpenFileSize(), 6);
    EXPECT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(file.OpenFileForWriting((dir / "no-dir/x").c_str()), 6);
    ASSERT_EQ(file.OpenFileForWriting((dir / "w.bin").c_str()), 0);
    EXPECT_EQ(file.WriteDataToFile(reinterpret_cast<const unsigned char*>("xyz"), 3), 3);
    EXPECT_EQ(file.WriteDataToFile(nullptr, 3), 0);
    // The destructor closes the open stream.
}

// The class form on a BMP file answers as the in-memory entry point on
// pages with a uniform background and a large colour patch.
TEST_F(BmpImageData, AnalysisOfABmpFileAnswersAsTheInMemoryDetection)
{
    const tagSIPDETECTBLANKSETTING blank{300, 18, 18, 2, 9000, 9999, 9970, 9000, 9999, 9970, 48};
    const tagSIPDETECTCOLORTYPESETTING color{300, 18,  18, 2,   9700, 9700, 116,  139,
                                             116, 139, 90, 180, 4000, 1600, 1600, 12};
    std::vector<sippages::Page> pages;
    pages.push_back(sippages::Colour(640, 800, 255, 255, 255));
    pages.push_back(pages.back());
    sippages::TextBlocks(pages.back(), 300, 11);
    pages.push_back(pages.back());
    sippages::Fill(pages.back(), 120, 150, 520, 650, 40, 40, 220);
    pages.push_back(sippages::Colour(640, 800, 120, 120, 120));
    pages.push_back(sippages::Gray(640, 800, 255));
    sippages::TextBlocks(pages.back(), 300, 13);
    int index = 0;
    for (sippages::Page& page : pages) {
        const int32_t bits = page.bytesPerPixel * 8;
        const std::string bmp = dir_ / "page.bmp";
        ASSERT_EQ(Save(bmp, {int32_t(page.width), int32_t(page.height), bits, 11811, 11811, 0, 0}, page.pixels), 0);
        for (uint8_t mode : {0, 1, 2}) {
            CVdSipImgDataWinBmp image;
            ASSERT_EQ(image.InitializeWithFile(bmp.c_str(), nullptr), 0);
            const int32_t right = int32_t(page.width) - 2, bottom = int32_t(page.height) - 2;
            const tagSIPPAPERCORNERS corners{{1, 1}, {right, 1}, {1, bottom}, {right, bottom}};
            CVdScnImgAna analysis;
            int32_t result = 99;
            const int32_t code = analysis.AnalyzeComponent(&image, mode, &result, &corners, &blank, &color);
            detection::Setting s;
            s.mode = mode;
            EXPECT_EQ(std::make_pair(code, result), detection::Detect(page, s))
                << "page " << index << " mode " << int(mode);
        }
        ++index;
    }
}

// Error diffusion from an 8-bit BMP into a 1-bit BMP, read back by Pillow.
TEST_F(BmpImageData, ErrorDiffusionBetweenBmpFiles)
{
    const std::string in = dir_ / "gray.bmp", out = dir_ / "mono.bmp", raw = dir_ / "mono.raw";
    const Bytes pixels = Pattern(50, 30, 8, 8);
    for (int32_t zeroIsWhite : {0, 1}) {
        ASSERT_EQ(Save(in, {50, 30, 8, 11811, 11811, 0, zeroIsWhite}, pixels), 0);
        CVdSipImgDataWinBmp input, output;
        ASSERT_EQ(input.InitializeWithFile(in.c_str(), nullptr), 0);
        tagSIPIMAGEINFO inInfo, outInfo;
        ASSERT_EQ(input.GetImageInfo(&inInfo), 0);
        ASSERT_EQ(inInfo.zeroIsWhite, zeroIsWhite);
        outInfo = inInfo;
        outInfo.bitsPerPixel = 1;
        ASSERT_EQ(output.InitializeToFile(out.c_str(), &outInfo), 0);
        CVdSipErrorDiffusion diffusion;
        ASSERT_EQ(diffusion.ExecTwoLevelErrorDiffusionSipImgData(&input, &output, &inInfo, &outInfo), 0);
        ASSERT_EQ(output.SaveImgData(), 0);

        Bytes expected(8 * 30, 0);
        CVdSipErrorDiffusion reference;
        ASSERT_EQ(reference.ExecTwoLevelErrorDiffusion(pixels.data(), expected.data(), 50, 30, 52, 8), 0);
        ASSERT_NE(Pil("read " + out + " " + raw).find(" 50 30"), std::string::npos);
        const Bytes levels = ReadBytes(raw);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x) {
                // A high output is white; with a zero-is-white input it was
                // a low (dark) source level.
                const bool high = (expected[y * 8 + x / 8] >> (7 - x % 8)) & 1;
                ASSERT_EQ(levels[y * 50 + x], (high != (zeroIsWhite == 1)) ? 255 : 0) << x << "," << y;
            }
    }
}

}  // namespace
