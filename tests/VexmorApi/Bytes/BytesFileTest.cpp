// File-backed byte container: round trips through the file and the memory
// copy, a save that fails without losing the copy, and the file's fate.
#include "VexmorApi/Bytes/BytesFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ScratchDir.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

unsigned char const* Raw(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

TEST(BytesFile, RoundTripsThroughTheFileAndTheMemoryCopy)
{
    ScratchDir dir;
    std::string const path = dir / "page.bin";
    BytesFile bytes(path, 6, Raw("abcdef"), BytesFile::Persistent);
    EXPECT_EQ(bytes.GetByteSize(), 6u);
    unsigned char* pixels = bytes.GetBytesPointer();
    EXPECT_EQ(bytes.GetByteSizeOnMemory(), 6u);
    pixels[0] = 'X';  // reaches the file when saved, also before an append
    bytes.AppendBytes(3, Raw("ghi"));
    EXPECT_EQ(bytes.GetByteSizeOnMemory(), 0u);
    EXPECT_EQ(ScratchDir::Read(path), "Xbcdefghi");
    bytes.SetBytes(2, Raw("zz"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.GetBytesPointer()), bytes.GetByteSize()), "zz");

    BytesFile filled(dir / "filled.bin", 200000, static_cast<unsigned char>(0x5A), BytesFile::Temporary);
    EXPECT_EQ(ScratchDir::Read(filled.GetPath()), std::string(200000, '\x5A'));
}

TEST(BytesFile, TemporaryFilesGoMissingFilesReadAsEmpty)
{
    ScratchDir dir;
    {
        BytesFile temporary(dir / "t.tmp", 1, Raw("x"), BytesFile::Temporary);
        BytesFile kept(dir / "k.bin", 1, Raw("y"), BytesFile::Persistent);
    }
    EXPECT_FALSE(ScratchDir::Exists(dir / "t.tmp"));
    EXPECT_TRUE(ScratchDir::Exists(dir / "k.bin"));

    BytesFile missing(dir / "none", BytesFile::Persistent);
    EXPECT_EQ(missing.GetByteSize(), 0u);
    EXPECT_THROW(missing.GetBytesPointer(), Exception);
}

TEST(BytesFile, FailedSaveKeepsTheMemoryCopy)
{
    ScratchDir dir;
    std::string const path = dir / "page.bin";
    BytesFile bytes(path, 4, Raw("abcd"), BytesFile::Persistent);
    bytes.GetBytesPointer()[0] = 'Q';
    // A folder that can be neither removed nor written takes the file's place.
    std::filesystem::remove(path);
    std::filesystem::create_directories(path + "/inside");
    EXPECT_THROW(bytes.SaveBytesToFileIfBytesOnMemory(), Exception);
    EXPECT_EQ(bytes.GetByteSizeOnMemory(), 4u);
    EXPECT_EQ(bytes.GetBytesPointer()[0], 'Q');
}

}  // namespace
