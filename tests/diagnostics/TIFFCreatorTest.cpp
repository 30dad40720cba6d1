// TIFF dump files: header goldens against a table written from the entry
// lists of the format, the directory samples, and whole files read back by
// tiffinfo and Pillow with their pixels, size and resolution.
#include "diagnostics/TIFFCreator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "PageImages.h"
#include "PeerTools.h"
#include "ScratchDir.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "tests/VexmorApi/Utilities/LogHome.h"

namespace {

using Buffer = std::vector<unsigned char>;

// The expected header of a page, written from the entry tables of the dump
// format: entries as (tag, type, count, value), SHORT values in the first
// two bytes of the value field; sizes above 65535 as LONG.
Buffer ExpectedHeader(int colorType, uint16_t dpi, uint32_t width, uint32_t height)
{
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    enum : uint16_t { SHORT = 3, LONG = 4, RATIONAL = 5 };
    auto size = [](uint16_t tag, uint32_t value) {
        return value > 0xFFFF ? Entry{tag, LONG, 1, value} : Entry{tag, SHORT, 1, value};
    };
    bool const rgb = colorType == 3;
    uint64_t const rowBytes = colorType < 2 ? (uint64_t{width} + 7) / 8 : uint64_t{width} * (rgb ? 3 : 1);
    // A strip beyond 32 bits (no classic TIFF holds one) reads as the largest count.
    uint32_t const strip = static_cast<uint32_t>(std::min<uint64_t>(rowBytes * height, UINT32_MAX));
    std::vector<Entry> const entries =
        rgb ? std::vector<Entry>{size(256, width),        size(257, height),     {258, SHORT, 3, 158},
                                 {259, SHORT, 1, 1},      {262, SHORT, 1, 2},    {273, LONG, 1, 180},
                                 {277, SHORT, 1, 3},      {279, LONG, 1, strip}, {282, RATIONAL, 1, 164},
                                 {283, RATIONAL, 1, 172}, {284, SHORT, 1, 1},    {296, SHORT, 1, 2}}
            : std::vector<Entry>{
                  size(256, width),        size(257, height),       {258, SHORT, 1, colorType == 2 ? 8u : 1u},
                  {259, SHORT, 1, 1},      {262, SHORT, 1, 1},      {273, LONG, 1, 180},
                  {277, SHORT, 1, 1},      size(278, height),       {279, LONG, 1, strip},
                  {282, RATIONAL, 1, 164}, {283, RATIONAL, 1, 172}, {296, SHORT, 1, 2}};
    Buffer out;
    auto put = [&out](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) {
            out.push_back(static_cast<unsigned char>(value >> (8 * i)));
        }
    };
    put(0x4D4D002A, 4);
    put(8, 4);
    put(entries.size(), 2);
    for (Entry const& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.type == SHORT && e.count == 1 ? uint64_t{e.value} << 16 : e.value, 4);
    }
    put(0, 4);
    put(rgb ? 0x000800080008 : colorType == 2 ? 0x000800000000 : 0, 6);
    for (int axis = 0; axis < 2; ++axis) {
        put(dpi, 4);
        put(1, 4);
    }
    return out;
}

Buffer Header(ImageInfo::ColorType type, uint16_t dpi, uint32_t width, uint32_t height)
{
    return TIFFCreator::CreateHeader(ImageInfo(dpi, type, width, height));
}

TEST(TIFFCreator, ColourPageHeaderGolden)
{
    Buffer const header = Header(ImageInfo::Color, 300, 2480, 3508);
    ASSERT_EQ(header.size(), 180u);
    EXPECT_EQ(Buffer(header.begin(), header.begin() + 10), FromHex("4D4D 002A 00000008 000C"));
    // Entry 3 (BitsPerSample): SHORT, count 3, the values at 158.
    EXPECT_EQ(Buffer(header.begin() + 34, header.begin() + 46), FromHex("0102 0003 00000003 0000009E"));
    EXPECT_EQ(Buffer(header.begin() + 158, header.begin() + 164), FromHex("0008 0008 0008"));
    EXPECT_EQ(Buffer(header.begin() + 164, header.begin() + 172), FromHex("0000012C 00000001"));
    EXPECT_EQ(Buffer(header.begin() + 172, header.begin() + 180), FromHex("0000012C 00000001"));
    // StripByteCounts (entry 8) holds the packed strip: 2480 x 3 x 3508.
    EXPECT_EQ(Buffer(header.begin() + 94, header.begin() + 106), FromHex("0117 0004 00000001 018E3F40"));
}

TEST(TIFFCreator, EveryColourTypeMatchesTheEntryTables)
{
    struct Size {
        uint16_t dpi;
        uint32_t width, height;
    } const sizes[] = {{300, 2480, 3508}, {600, 1, 1}, {65535, 65535, 65535}, {200, 65536, 70000}, {150, 70000, 3}};
    for (Size const& s : sizes) {
        for (int type = 0; type <= 3; ++type) {
            EXPECT_EQ(Header(static_cast<ImageInfo::ColorType>(type), s.dpi, s.width, s.height),
                      ExpectedHeader(type, s.dpi, s.width, s.height))
                << "type " << type << ", " << s.width << " x " << s.height;
        }
    }
    // Bilevel and 1-bit gray are the same file; 8-bit gray differs from
    // them only in BitsPerSample, its array byte and the strip size.
    Buffer const bw = Header(ImageInfo::BlackAndWhite, 300, 999, 7);
    Buffer const trueGray = Header(ImageInfo::TrueGray, 300, 999, 7);
    EXPECT_EQ(Header(ImageInfo::Gray, 300, 999, 7), bw);
    ASSERT_EQ(trueGray.size(), bw.size());
    std::vector<size_t> differ;
    for (size_t i = 0; i < bw.size(); ++i) {
        if (bw[i] != trueGray[i]) {
            differ.push_back(i);
        }
    }
    EXPECT_EQ(differ, (std::vector<size_t>{43, 116, 117, 159}));  // strip 875 or 6993 bytes
}

TEST(TIFFCreator, UnknownColourTypeGivesNoHeader)
{
    ImageInfo const info(300, static_cast<ImageInfo::ColorType>(4), 100, 100);
    EXPECT_TRUE(TIFFCreator::CreateHeader(info).empty());
    EXPECT_TRUE(TIFFCreator::CreateTIFF(info, 4, FromHex("01020304").data()).empty());
    unsigned char buffer[TIFFCreator::kHeaderBufferSize + 1];
    std::memset(buffer, 0xAA, sizeof buffer);
    uint16_t size = 99;
    TIFFCreator::GetTIFFHeader(info, buffer, size);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(Buffer(buffer, buffer + TIFFCreator::kHeaderBufferSize), Buffer(TIFFCreator::kHeaderBufferSize, 0));
    EXPECT_EQ(buffer[TIFFCreator::kHeaderBufferSize], 0xAA);
    TIFFCreator::GetTIFFHeader(ImageInfo(300, ImageInfo::Gray, 5, 5), buffer, size);
    EXPECT_EQ(size, TIFFCreator::kHeaderSize);
}

TEST(TIFFCreator, SampleBuildersAreLittleEndian)
{
    EXPECT_EQ(TIFFCreator::GetHeader(), FromHex("4949 2A00 08000000"));
    Buffer const ifd = TIFFCreator::GetIFD(ImageInfo(300, ImageInfo::TrueGray, 1, 1));
    EXPECT_EQ(ifd, FromHex("0900"
                           "0001 0400 01000000 58020000"
                           "0101 0400 01000000 20030000"
                           "0201 0300 03000000 7A000000"
                           "0601 0300 01000000 02000000"
                           "1101 0400 01000000 90000000"
                           "1601 0400 01000000 20030000"
                           "1701 0400 01000000 00F91500"
                           "1A01 0500 01000000 80000000"
                           "1B01 0500 01000000 88000000"
                           "00000000"));
    Buffer joined = FromHex("01");
    TIFFCreator::AddData(joined, FromHex("0203"));
    EXPECT_EQ(joined, FromHex("010203"));
}

// HOME at a scratch folder, so that the engine's log dumps go there.
class TIFFFiles : public LogHome {
protected:
    void SetUp() override
    {
        LogHome::SetUp();
        if (!peer::HaveTool("tiffinfo") || !peer::HavePillow()) {
            GTEST_SKIP() << "tiffinfo and Pillow under /usr/bin/python3 are needed";
        }
    }
    // tiffinfo reads every strip of the file without a complaint, and Pillow
    // sees the page's pixels at 300 dpi.
    static void ExpectReadable(std::string const& path, ImageInfo const& info, char const* mode, Buffer const& seen)
    {
        std::string const report = peer::TiffInfo(path);
        EXPECT_EQ(report.find("arning"), std::string::npos) << report;
        EXPECT_EQ(report.find("rror"), std::string::npos) << report;
        peer::PillowImage const read = peer::ReadWithPillow(path);
        EXPECT_EQ(read.mode, mode) << path;
        EXPECT_EQ(read.width, static_cast<int>(info.GetWidth()));
        EXPECT_EQ(read.height, static_cast<int>(info.GetHeight()));
        EXPECT_EQ(read.dpiX, 300.0);
        EXPECT_EQ(read.dpiY, 300.0);
        EXPECT_TRUE(read.pixels == seen) << path << ": " << info.GetDescription();
    }
};

// Files made in memory and the engine log's dumps of the same bitmaps are
// equal, hold the rows without their padding and read back in independent
// readers: bilevel as BlackIsZero, colour as RGB.
TEST_F(TIFFFiles, CreatedFilesAndLogDumpsReadBackInIndependentReaders)
{
    Settings("DumpFinalData=1\n");
    COutputLog log("Dumps");
    struct Case {
        ImageInfo::ColorType type;
        uint32_t width, height;
        uint64_t stride;
        char const* mode;
    } const cases[] = {
        {ImageInfo::BlackAndWhite, 37, 5, 8, "1"}, {ImageInfo::Gray, 70000, 2, 8750, "1"},
        {ImageInfo::TrueGray, 999, 6, 1000, "L"},  {ImageInfo::TrueGray, 70000, 3, 70000, "L"},
        {ImageInfo::Color, 33, 4, 100, "RGB"},     {ImageInfo::Color, 2, 70000, 6, "RGB"},
    };
    int pageNo = 0;
    for (Case const& c : cases) {
        ImageInfo const info(300, c.type, c.width, c.height);
        Buffer block = Pattern(c.stride * c.height, c.width);
        uint64_t const rowBytes = info.GetBytesPerRow();
        Buffer packed;
        Buffer seen;  // as Pillow gives it: bits behind a 1-bit row's last pixel clear
        unsigned const tailBits = info.GetBitsPerPixel() == 1 ? c.width % 8 : 0;
        for (uint32_t y = 0; y < c.height; ++y) {
            packed.insert(packed.end(), block.begin() + y * c.stride, block.begin() + y * c.stride + rowBytes);
            seen.insert(seen.end(), packed.end() - rowBytes, packed.end());
            if (tailBits != 0) {
                seen.back() &= static_cast<unsigned char>(0xFF00 >> tailBits);
            }
        }
        Buffer const file = TIFFCreator::CreateTIFF(info, block.size(), block.data());
        ASSERT_EQ(file.size(), 180 + packed.size());
        EXPECT_EQ(Buffer(file.begin() + 180, file.end()), packed);
        std::string const made = work_.Write("made.tif", std::string(file.begin(), file.end()));
        ExpectReadable(made, info, c.mode, seen);

        auto page = std::make_unique<BitmapImage>(
            info, std::make_unique<BytesMemory>(static_cast<unsigned>(block.size()), block.data(), BytesMemory::Copy));
        log.WriteImage(page, "DumpFinalData", ++pageNo);
        std::string const dump = OutPath("DumpFinalData" + std::to_string(pageNo) + ".tif");
        EXPECT_EQ(ScratchDir::Read(dump), std::string(file.begin(), file.end()));
        ExpectReadable(dump, info, c.mode, seen);
    }
}

// Blocks whose stride is not a multiple of 4, or does not reach a packed
// row, are written whole and never read past; no rows give the header only.
TEST(TIFFCreator, OtherBlocksAreWrittenWholeWithinTheirSize)
{
    ImageInfo const gray(300, ImageInfo::TrueGray, 10, 3);
    Buffer const header = TIFFCreator::CreateHeader(gray);
    struct Case {
        char const* what;
        ImageInfo info;
        Buffer block;
        size_t written;
    } const cases[] = {
        {"stride 14", gray, Pattern(42), 42},
        {"packed", gray, Pattern(30), 30},
        {"below the packed rows", gray, Pattern(25), 25},
        {"height 0", ImageInfo(300, ImageInfo::TrueGray, 10, 0), Pattern(40), 0},
        {"width 0, many rows", ImageInfo(300, ImageInfo::TrueGray, 0, 1u << 31), Pattern(4), 0},
    };
    for (Case const& c : cases) {
        // A block of exactly its size, so that ASan sees any read past it.
        std::unique_ptr<unsigned char[]> exact(new unsigned char[c.block.size()]);
        std::memcpy(exact.get(), c.block.data(), c.block.size());
        Buffer const file = TIFFCreator::CreateTIFF(c.info, c.block.size(), exact.get());
        ASSERT_EQ(file.size(), 180 + c.written) << c.what;
        EXPECT_EQ(Buffer(file.begin() + 180, file.end()), Buffer(c.block.begin(), c.block.begin() + c.written));
    }
    EXPECT_EQ(TIFFCreator::CreateTIFF(gray, 0, nullptr), header);
    EXPECT_EQ(TIFFCreator::CreateTIFF(gray, 30, nullptr), header);
}

TEST(TIFFCreator, BitmapImageGivesTheSameFile)
{
    ImageInfo const info(200, ImageInfo::Color, 5, 3);
    Buffer block = Pattern(16 * 3);
    BitmapImage image(
        info, std::make_unique<BytesMemory>(static_cast<unsigned>(block.size()), block.data(), BytesMemory::Copy));
    EXPECT_EQ(TIFFCreator::CreateTIFF(image), TIFFCreator::CreateTIFF(info, block.size(), block.data()));
    BitmapImage empty(info);
    EXPECT_EQ(TIFFCreator::CreateTIFF(empty), TIFFCreator::CreateHeader(info));
}

}  // namespace
