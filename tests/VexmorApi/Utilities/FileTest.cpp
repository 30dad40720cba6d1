// Files by path: ranges checked in 64 bits, and appending writes that report
// every lost byte.
#include "VexmorApi/Utilities/File.h"

#include <gtest/gtest.h>

#include <string>

#include "ScratchDir.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

TEST(File, ReadBytesTakesOnlyRangesInsideTheFile)
{
    ScratchDir dir;
    std::string content;
    for (int i = 0; i < 100; ++i) {
        content += static_cast<char>('A' + i % 26);
    }
    File file(dir.Write("data", content));
    struct Case {
        uint32_t offset, length;
        size_t expected;  // bytes read; 0 for a rejected range
    } const cases[] = {
        {0, 0, 100}, {10, 0, 90}, {99, 1, 1},           {100, 0, 0},
        {0, 101, 0}, {50, 51, 0}, {10, 0xFFFFFFFFu, 0},  // offset + length wraps in 32 bits
    };
    for (Case const& c : cases) {
        File::Range const range{c.offset, c.length};
        try {
            auto bytes = file.ReadBytes(range);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes->GetBytesPointer()), bytes->GetByteSize()),
                      content.substr(c.offset, c.expected));
        } catch (Exception const& e) {
            EXPECT_EQ(c.expected, 0u) << range.GetDescription();
            EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
            EXPECT_EQ(e.GetMessage(), "Specified invalid range. - fileSize: 100, range: " + range.GetDescription());
        }
    }
    EXPECT_EQ((File::Range{10, 0}.GetDescription()), "{ offset: 10, length: 0 }");
    EXPECT_EQ(&File::Range::ToEOF, &File::Range::Whole);
    EXPECT_THROW(File(dir.Write("empty", "")).ReadBytes(File::Range::Whole), Exception);
}

TEST(File, WritesAppendAndMissingFilesThrow)
{
    ScratchDir dir;
    File file(dir / "log");
    file.WriteText("first");
    file.WriteBytes(std::make_unique<BytesMemory>(2u, static_cast<unsigned char>('z')));
    EXPECT_EQ(file.ReadText(), "first\nzz");
    EXPECT_EQ(file.GetSize(), 8u);
    EXPECT_TRUE(file.Remove());
    EXPECT_FALSE(file.Remove());
    try {
        file.ReadText();
        FAIL();
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetMessage(), "This file is NOT exist: " + dir / "log");
        EXPECT_EQ(e.GetVSRSLT(), 0xA070200Cu);
    }
    EXPECT_THROW(File(dir / "no/folder").WriteText("x"), Exception);
}

TEST(File, FullDiskIsAnErrorNotSilence)
{
    // The device takes the open and the buffered write and refuses the bytes
    // when they are flushed.
    unsigned char const page[4096] = {};
    try {
        File("/dev/full").WriteBinary(sizeof page, page);
        FAIL() << "a full disk must be reported";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetMessage(), "failed to write file: /dev/full");
    }
}

}  // namespace
