// Page-image dumps through the dump seam with a stand-in image: the pixel
// layout after the TIFF header, truncation, the key switches, and failures
// that are logged instead of thrown.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "LogHome.h"
#include "VexmorApi/Utilities/ImageDump.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace {

class FakeImage : public IImageDumpSource {
public:
    FakeImage(std::string p, uint32_t h, uint64_t row, bool has = true)
        : pixels(std::move(p)), height(h), bytesPerRow(row), hasPixels(has)
    {
    }
    std::string GetDescription() const override { return "fake image\n"; }
    uint64_t GetPixelSize() const override { return hasPixels ? pixels.size() : 0; }
    unsigned char const* GetPixelsPointer() const override
    {
        return hasPixels ? reinterpret_cast<unsigned char const*>(pixels.data()) : nullptr;
    }
    uint32_t GetHeight() const override { return height; }
    uint64_t GetBytesPerRow() const override { return bytesPerRow; }
    uint64_t GetRequiredByteSize() const override { return bytesPerRow * height; }
    std::vector<unsigned char> CreateTiffHeader() const override
    {
        if (headerThrows) {
            throw std::runtime_error("no header");
        }
        return {'H', 'D', 'R'};
    }

    std::string pixels;
    uint32_t height;
    uint64_t bytesPerRow;
    bool hasPixels;
    bool headerThrows = false;
};

using ImageDump = LogHome;

TEST_F(ImageDump, PixelsFollowTheHeaderAsPackedRows)
{
    Settings("DumpFinalData=1\n");
    COutputLog log("Images");
    struct Case {
        char const* what;
        FakeImage image;
        std::string expected;
    } const cases[] = {
        {"packed block", {"ABCDEFGH", 2, 4}, "ABCDEFGH"},
        {"rows padded to 4", {"ABC_DEF_", 2, 3}, "ABCDEF"},
        {"block longer than the rows", {"ABC_DEF_Z", 2, 3}, "ABCDEF"},
        {"stride not a multiple of 4", {"ABCxyDEFxy", 2, 3}, "ABCxyDEFxy"},
        {"stride shorter than a row", {"ABCDEFGH", 2, 6}, "ABCDEFGH"},
        {"height 0", {"ABCD", 0, 4}, ""},
        {"no pixel block", {"ABCD", 1, 4, false}, ""},
    };
    int page = 0;
    for (Case const& c : cases) {
        EXPECT_EQ(log.WriteImage(c.image, "DumpFinalData", page), 0);
        EXPECT_EQ(ReadOut("DumpFinalData" + std::to_string(page++) + ".tif"), "HDR" + c.expected) << c.what;
    }
    log.WriteImage(FakeImage("WXYZ", 1, 4), "DumpFinalData", 0);  // replaces the first dump of page 0
    EXPECT_EQ(ReadOut("DumpFinalData0.tif"), "HDRWXYZ");
}

TEST_F(ImageDump, OnlySwitchedOnKeysWriteFilesButEveryCallIsLogged)
{
    Settings("DumpPostScanDec=1\n");
    COutputLog log("Keys");
    FakeImage const image("ABCD", 1, 4);
    log.WriteImage(image, "DumpFinalData", 1);
    log.WriteImage(image, "DumpPostScanDec", 3);
    EXPECT_EQ(Tree(home_ / "VdOutLog"), (std::set<std::string>{"Keys.kmy", "DumpPostScanDec3.tif"}));
    EXPECT_EQ(ReadOut("Keys.kmy"),
              ">>>>> WriteImage >>>>> pKeyName: DumpFinalData, pageNo: 1, image = {\nfake image\n}\n"
              "<<<<< WriteImage <<<<<\n"
              ">>>>> WriteImage >>>>> pKeyName: DumpPostScanDec, pageNo: 3, image = {\nfake image\n}\n"
              "<<<<< WriteImage <<<<<\n");
}

TEST_F(ImageDump, FailedDumpsAreLoggedNotThrown)
{
    Settings("DumpFinalData=1\n");
    COutputLog log("Failing");
    FakeImage image("ABCD", 1, 4);
    image.headerThrows = true;
    EXPECT_NO_THROW(log.WriteImage(image, "DumpFinalData", 4));
    image.headerThrows = false;
    // A folder that cannot be removed stands where the dump file goes.
    std::filesystem::create_directories(OutPath("DumpFinalData5.tif/inside"));
    EXPECT_NO_THROW(log.WriteImage(image, "DumpFinalData", 5));

    std::vector<std::string> lines = Lines(ReadOut("Failing.kmy"));
    ASSERT_EQ(lines.size(), 8u);  // per call: the opening line (3 lines with the description), the failure
    EXPECT_EQ(lines[3], "failed to write image dump of page 4: no header");
    EXPECT_EQ(lines[7].rfind("failed to write image dump of page 5: This file is NOT exist: ", 0), 0u) << lines[7];
}

}  // namespace
