// Grouped decimals and zero-filled hexadecimal.
#include "VexmorApi/Utilities/Formatter.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(Formatter, GroupsDigitsAndFillsHex)
{
    struct Case {
        long value;
        char const* text;
    } const cases[] = {{1234567, "1,234,567"}, {-1000, "-1,000"}, {999, "999"}, {0, "0"}, {100000, "100,000"},
                       {LONG_MIN, "-9,223,372,036,854,775,808"}};
    for (Case const& c : cases) {
        EXPECT_EQ(Formatter::ToCommaSeparatedNumber(c.value, 3), c.text);
    }
    EXPECT_EQ(Formatter::ToCommaSeparatedNumber(1234567, 0), "1234567");
    EXPECT_EQ(Formatter::ToHexString(255, 4), "0x00ff");
    EXPECT_EQ(Formatter::ToHexString(74565, 2), "0x12345");  // never cut
    EXPECT_EQ(Formatter::ToString(false), "false");
}

}  // namespace
