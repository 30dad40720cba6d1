// Handle-style allocation and the system folder name.
#include "VexmorApi/Bytes/GlobalMemory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemory, HandlesFreeBlockAndCellAndNamesNeverOverrun)
{
    void** handle = GlobalAllocFunc(4096);
    ASSERT_NE(handle, nullptr);
    std::memset(GlobalLock(handle), 0x11, 4096);
    EXPECT_EQ(GlobalUnlock(handle), 1);
    EXPECT_EQ(GlobalFree(handle), 0);  // the leak check of the sanitizer build sees both go
    EXPECT_EQ(GlobalFree(nullptr), 0);
    EXPECT_EQ(GlobalAllocFunc(-1), nullptr);

    for (int size : {7, 32, 6, 0}) {
        char buffer[40];
        std::memset(buffer, '#', sizeof buffer);
        bool const fits = size >= 7;
        EXPECT_EQ(GetSystemDirectory(buffer, size), fits ? 6 : 0) << size;
        EXPECT_EQ(std::string(buffer, 8), fits ? std::string("system\0#", 8) : std::string(8, '#')) << size;
    }
}

}  // namespace
