// Grouped decimals and zero-filled hexadecimal.
#include "VexmorApi/Utilities/Formatter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

TEST(Formatter, GroupsDigitsAndFillsHex)
{
    struct Case {
        long value;
        char const* text;
    } const cases[] = {{1234567, "1,234,567"}, {-1000, "-1,000"},
                       {999, "999"},           {0, "0"},
                       {100000, "100,000"},    {LONG_MIN, "-9,223,372,036,854,775,808"}};
    for (Case const& c : cases) {
        EXPECT_EQ(Formatter::ToCommaSeparatedNumber(c.value, 3), c.text);
    }
    EXPECT_EQ(Formatter::ToCommaSeparatedNumber(1234567, 0), "1234567");
    EXPECT_EQ(Formatter::ToHexString(255, 4), "0x00ff");
    EXPECT_EQ(Formatter::ToHexString(74565, 2), "0x12345");  // never cut
    EXPECT_EQ(Formatter::ToString(false), "false");
}

TEST(Formatter, WideHexFillKeepsTheValueDigits)
{
    struct Case {
        unsigned value;
        unsigned char digits;
    } const cases[] = {{0xabc, 40}, {0xdeadbeef, 100}, {1, 255}};
    for (Case const& c : cases) {
        std::string const text = Formatter::ToHexString(c.value, c.digits);
        char digitsOnly[16];
        std::snprintf(digitsOnly, sizeof digitsOnly, "%x", c.value);
        std::string const tail(digitsOnly);
        EXPECT_EQ(text.size(), 2u + c.digits) << static_cast<int>(c.digits);
        EXPECT_EQ(text.substr(0, 2), "0x");
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        EXPECT_EQ(text.find_first_not_of('0', 2), text.size() - tail.size());
    }
}

}  // namespace
