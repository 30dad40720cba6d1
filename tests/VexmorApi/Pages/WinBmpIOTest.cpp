// BMP files of page bitmaps: bit-exact write-read round trips for every
// depth and many widths, Pillow as an independent reader and writer, the
// checks a file must pass to be read, and writes that truncate and never
// touch the caller's pixels.
#include "VexmorApi/Pages/WinBmpIO.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PageImages.h"
#include "ScratchDir.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/BitmapHeader.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

using Buffer = std::vector<unsigned char>;

struct Depth {
    ImageInfo::ColorType color;
    unsigned bits;
    char const* pillowMode;
};
Depth const kDepths[] = {
    {ImageInfo::BlackAndWhite, 1, "1"},
    {ImageInfo::TrueGray, 8, "L"},
    {ImageInfo::Color, 24, "RGB"},
};

uint64_t AlignedRow(uint32_t width, unsigned bits) { return (uint64_t{width} * bits + 31) / 32 * 4; }
uint64_t PackedRow(uint32_t width, unsigned bits) { return (uint64_t{width} * bits + 7) / 8; }

std::unique_ptr<BitmapImage> Bitmap(Depth const& d, uint32_t width, uint32_t height, uint64_t stride,
                                    Buffer const& pixels)
{
    EXPECT_EQ(pixels.size(), stride * height);
    return std::make_unique<BitmapImage>(
        ImageInfo(300, d.color, width, height),
        std::make_unique<BytesMemory>(static_cast<unsigned>(pixels.size()), const_cast<unsigned char*>(pixels.data()),
                                      BytesMemory::Copy));
}

Buffer PixelsOf(BitmapImage& image)
{
    unsigned char const* p = image.GetPixelsPointer();
    return p ? Buffer(p, p + image.GetPixelSize()) : Buffer();
}

// The packed part of each row, the unused bits of a 1-bit row's last byte cleared.
Buffer PackedRows(Buffer const& pixels, uint64_t stride, uint32_t width, uint32_t height, unsigned bits,
                  bool bottomFirst = false)
{
    uint64_t const packed = PackedRow(width, bits);
    Buffer rows;
    for (uint32_t i = 0; i < height; ++i) {
        uint32_t const y = bottomFirst ? height - 1 - i : i;
        rows.insert(rows.end(), pixels.begin() + y * stride, pixels.begin() + y * stride + packed);
        if (bits == 1 && width % 8 != 0) {
            rows.back() &= static_cast<unsigned char>(0xFF << (8 - width % 8));
        }
    }
    return rows;
}

TEST(WinBmpIO, WriteThenReadIsBitExactForEveryDepthAndWidth)
{
    ScratchDir dir;
    std::string const path = dir / "page.bmp";
    for (Depth const& d : kDepths) {
        for (uint32_t width = 1; width <= 33; ++width) {
            uint32_t const height = 1 + width % 4;
            uint64_t const stride = AlignedRow(width, d.bits);
            Buffer const pixels = Pattern(stride * height, width);
            auto image = Bitmap(d, width, height, stride, pixels);
            WinBmpIO::Write(image, path);
            EXPECT_EQ(ScratchDir::Read(path).size(), CBitmapHeader::CalcBmpSize(d.bits, width, height, 4));
            BitmapImage back(path, d.color);
            EXPECT_TRUE(back.GetImageInfo().IsEqual(image->GetImageInfo())) << d.bits << " bits, width " << width;
            EXPECT_EQ(PixelsOf(back), pixels) << d.bits << " bits, width " << width;

            // Written inverted, the rows come back turned.
            image->WriteAsWinBmp(path, true);
            EXPECT_EQ(PixelsOf(*image), pixels);  // the caller's buffer is never turned
            BitmapImage turned(path, d.color);
            Buffer expected = pixels;
            WinBmpIO::Invert(image->GetImageInfo(), static_cast<unsigned>(expected.size()), expected.data());
            EXPECT_EQ(PixelsOf(turned), expected) << d.bits << " bits, width " << width;
        }
    }
}

TEST(WinBmpIO, PackedRowsArePaddedInTheFile)
{
    ScratchDir dir;
    std::string const path = dir / "packed.bmp";
    Depth const& color = kDepths[2];
    Buffer const pixels = Pattern(15 * 3);
    auto image = Bitmap(color, 5, 3, 15, pixels);
    WinBmpIO::Write(image, path);
    BitmapImage back(path, ImageInfo::Color);
    EXPECT_EQ(back.GetBytesPerRow(), 16u);
    EXPECT_EQ(PackedRows(PixelsOf(back), 16, 5, 3, 24), pixels);
}

// Pillow through /usr/bin/python3: "dump" writes a BMP's mode, size and
// packed rows (top row first), "make" saves packed rows as a BMP.
class PillowPeer {
public:
    explicit PillowPeer(ScratchDir const& dir) : dir_(dir)
    {
        script_ = dir.Write("peer.py",
                            "import sys\n"
                            "from PIL import Image\n"
                            "op, mode, path, raw = sys.argv[1:5]\n"
                            "if op == 'dump':\n"
                            "    im = Image.open(path)\n"
                            "    open(raw, 'wb').write(im.tobytes())\n"
                            "    open(raw + '.txt', 'w').write('%s %d %d' % (im.mode, im.size[0], im.size[1]))\n"
                            "else:\n"
                            "    w, h = int(sys.argv[5]), int(sys.argv[6])\n"
                            "    Image.frombytes(mode, (w, h), open(raw, 'rb').read()).save(path, 'BMP')\n");
    }
    bool Available() const { return RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") == 0; }

    // Mode, size and top-first packed rows of a BMP as Pillow sees it.
    std::string Dump(std::string const& bmp, Buffer& rows) const
    {
        std::string const raw = dir_ / "dump.raw";
        EXPECT_EQ(Run("dump x '" + bmp + "' '" + raw + "'"), 0);
        std::string const bytes = ScratchDir::Read(raw);
        rows.assign(bytes.begin(), bytes.end());
        return ScratchDir::Read(raw + ".txt");
    }
    void Make(char const* mode, uint32_t width, uint32_t height, Buffer const& rows, std::string const& bmp) const
    {
        std::string const raw = dir_ / "make.raw";
        std::ofstream(raw, std::ios::binary).write(reinterpret_cast<char const*>(rows.data()), rows.size());
        EXPECT_EQ(Run(std::string("make ") + mode + " '" + bmp + "' '" + raw + "' " + std::to_string(width) + " " +
                      std::to_string(height)),
                  0);
    }

private:
    int Run(std::string const& arguments) const
    {
        return RunCommand("/usr/bin/python3 '" + script_ + "' " + arguments);
    }

    ScratchDir const& dir_;
    std::string script_;
};

TEST(WinBmpIO, PillowSeesAnInvertedWriteUprightInThePagesColours)
{
    ScratchDir dir;
    PillowPeer const pillow(dir);
    ASSERT_TRUE(pillow.Available()) << "python3-pil is missing (scripts/setup installs it)";
    std::string const path = dir / "upright.bmp";
    for (Depth const& d : kDepths) {
        for (uint32_t width : {1u, 7u, 13u, 33u}) {
            uint32_t const height = 3;
            uint64_t const stride = AlignedRow(width, d.bits);
            Buffer pixels = Pattern(stride * height, width + d.bits);
            if (d.bits == 24) {
                pixels[0] = 255, pixels[1] = 0, pixels[2] = 0;  // top left pure red
            }
            auto image = Bitmap(d, width, height, stride, pixels);
            image->WriteAsWinBmp(path, true);
            Buffer rows;
            std::ostringstream info;
            info << d.pillowMode << ' ' << width << ' ' << height;
            EXPECT_EQ(pillow.Dump(path, rows), info.str());
            EXPECT_EQ(rows, PackedRows(pixels, stride, width, height, d.bits)) << d.bits << " bits, width " << width;
            if (d.bits == 24) {
                EXPECT_EQ(Buffer(rows.begin(), rows.begin() + 3), (Buffer{255, 0, 0}));
            }
        }
    }
}

TEST(WinBmpIO, ReadingPillowFilesGivesTheirRowsInFileOrder)
{
    ScratchDir dir;
    PillowPeer const pillow(dir);
    ASSERT_TRUE(pillow.Available()) << "python3-pil is missing (scripts/setup installs it)";
    std::string const path = dir / "pillow.bmp";
    for (Depth const& d : kDepths) {
        for (uint32_t width : {1u, 6u, 17u, 32u}) {
            uint32_t const height = 4;
            uint64_t const packed = PackedRow(width, d.bits);
            // Pillow's rows, top first, with clean unused bits.
            Buffer const top = PackedRows(Pattern(packed * height, width * 3 + d.bits), packed, width, height, d.bits);
            pillow.Make(d.pillowMode, width, height, top, path);
            std::unique_ptr<BitmapImage> image = WinBmpIO::Read(path, d.color);
            ASSERT_TRUE(image) << d.bits << " bits, width " << width;
            EXPECT_EQ(image->GetImageInfo().GetWidth(), width);
            EXPECT_EQ(image->GetImageInfo().GetHeight(), height);
            uint64_t const stride = AlignedRow(width, d.bits);
            ASSERT_EQ(image->GetPixelSize(), stride * height);
            // The file stores the bottom row first, and so does the bitmap.
            EXPECT_EQ(PackedRows(PixelsOf(*image), stride, width, height, d.bits, true), top)
                << d.bits << " bits, width " << width;
        }
    }
}

// A 24-bit 2 x 2 BMP with the given header changes.
Buffer ColourFile()
{
    CBitmapHeader header;
    unsigned size = 0;
    unsigned char const* block = header.CreateBmpHeader(300, 300, 24, 2, 2, nullptr, &size, false);
    Buffer file(block, block + size);
    Buffer const pixels = Pattern(16);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

void PutLe32(Buffer& file, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        file[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

TEST(WinBmpIO, ReadChecksTheHeadersAndThePixelsBehindThem)
{
    ScratchDir dir;
    struct Case {
        char const* what;
        void (*change)(Buffer&);
        ImageInfo::ColorType color;
        bool reads;
    } const cases[] = {
        {"as written", [](Buffer&) {}, ImageInfo::Color, true},
        {"no signature", [](Buffer& f) { f[0] = 'X'; }, ImageInfo::Color, false},
        {"a 24-bit file asked for as TrueGray", [](Buffer&) {}, ImageInfo::TrueGray, false},
        {"a 24-bit file asked for as BlackAndWhite", [](Buffer&) {}, ImageInfo::BlackAndWhite, false},
        {"width 0", [](Buffer& f) { PutLe32(f, 18, 0); }, ImageInfo::Color, false},
        {"height 0", [](Buffer& f) { PutLe32(f, 22, 0); }, ImageInfo::Color, false},
        {"rows stored top first", [](Buffer& f) { PutLe32(f, 22, static_cast<uint32_t>(-2)); }, ImageInfo::Color,
         false},
        {"compressed", [](Buffer& f) { PutLe32(f, 30, 1); }, ImageInfo::Color, false},
        {"pixel offset inside the headers", [](Buffer& f) { PutLe32(f, 10, 20); }, ImageInfo::Color, false},
        {"one pixel byte short", [](Buffer& f) { f.pop_back(); }, ImageInfo::Color, false},
        {"rows wider than the file", [](Buffer& f) { PutLe32(f, 18, 0x7FFFFFFF); }, ImageInfo::Color, false},
        {"bytes behind the rows", [](Buffer& f) { f.insert(f.end(), 5, 0xAB); }, ImageInfo::Color, true},
        {"pixels behind a gap", [](Buffer& f) { f.insert(f.begin() + 54, 6, 0xCD), PutLe32(f, 10, 60); },
         ImageInfo::Color, true},
    };
    Buffer const reference = ColourFile();
    for (Case const& c : cases) {
        Buffer file = reference;
        c.change(file);
        std::string const path = dir.Write("case.bmp", std::string(file.begin(), file.end()));
        std::unique_ptr<BitmapImage> image = WinBmpIO::Read(path, c.color);
        std::unique_ptr<BitmapImage> fromMemory = WinBmpIO::ReadFromMemory(file.data(), file.size(), c.color);
        EXPECT_EQ(image != nullptr, c.reads) << c.what;
        EXPECT_EQ(fromMemory != nullptr, c.reads) << c.what;
        if (image && fromMemory) {
            // The stored blue, green, red come back as red, green, blue; excess dropped.
            Buffer expected(reference.end() - 16, reference.end());
            std::swap(expected[0], expected[2]);
            std::swap(expected[3], expected[5]);
            std::swap(expected[8], expected[10]);
            std::swap(expected[11], expected[13]);
            EXPECT_EQ(PixelsOf(*image), expected) << c.what;
            EXPECT_EQ(PixelsOf(*fromMemory), expected) << c.what;
            EXPECT_EQ(image->GetImageInfo().GetResolution(), 300);
        }
    }
    // A missing file and a file ending in its headers or at its pixel offset
    // fail in the file layer.
    EXPECT_THROW(WinBmpIO::Read(dir / "missing.bmp", ImageInfo::Color), TraceException);
    std::string const headOnly = dir.Write("head.bmp", std::string(reference.begin(), reference.begin() + 54));
    EXPECT_THROW(WinBmpIO::Read(headOnly, ImageInfo::Color), TraceException);
    std::string const cut = dir.Write("cut.bmp", std::string(reference.begin(), reference.begin() + 40));
    EXPECT_THROW(WinBmpIO::Read(cut, ImageInfo::Color), TraceException);
    EXPECT_EQ(WinBmpIO::ReadFromMemory(reference.data(), 53, ImageInfo::Color), nullptr);

    // A colour file asked for as TrueGray is no gray page, whatever its length.
    std::string const colour = dir.Write("colour.bmp", std::string(reference.begin(), reference.end()));
    try {
        BitmapImage gray(colour, ImageInfo::TrueGray);
        ADD_FAILURE() << "read as gray";
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetMessage(), "Failed to read bitmap image. Path: " + colour);
    }
}

TEST(WinBmpIO, WriteReplacesTheFileAndLeavesNoPartialOne)
{
    ScratchDir dir;
    std::string const path = dir.Write("old.bmp", std::string(5000, 'z'));
    Buffer const pixels = Pattern(16);
    auto image = Bitmap(kDepths[1], 3, 2, 8, Buffer(pixels.begin(), pixels.begin() + 8 * 2));
    WinBmpIO::Write(image, path);
    EXPECT_EQ(ScratchDir::Read(path).size(), 1078u + 8u);

    // Depths without a header table and sizes past 4 GiB write nothing.
    ImageInfo const wide(300, ImageInfo::Color, 70000, 70000);
    std::string const none = dir / "none.bmp";
    WinBmpIO::Write(wide, 16, pixels.data(), none, false);
    EXPECT_FALSE(ScratchDir::Exists(none));

    try {
        WinBmpIO::Write(image->GetImageInfo(), 16, pixels.data(), dir / "no/such/folder.bmp", true);
        ADD_FAILURE() << "no failure";
    } catch (TraceException const& e) {
        EXPECT_EQ(e.GetType(), Exception::FailedToOperateFile);
        EXPECT_EQ(e.GetFileName(), "VexmorApi/Pages/WinBmpIO");
    }
    EXPECT_EQ(PixelsOf(*image), Buffer(pixels.begin(), pixels.begin() + 16));
}

TEST(WinBmpIO, InvertSwapsRowsByTheStoredRowLength)
{
    // Three rows of 5 bytes (a packed 5-pixel gray image): rows 0 and 2 swap.
    Buffer pixels = FromHex("0102030405 1112131415 2122232425");
    WinBmpIO::Invert(ImageInfo(300, ImageInfo::TrueGray, 5, 3), 15, pixels.data());
    EXPECT_EQ(pixels, FromHex("2122232425 1112131415 0102030405"));
}

}  // namespace
