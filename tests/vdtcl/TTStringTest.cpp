// Stated behaviour of the toolbox string: storage sizes, positions, searches,
// edits, tokens and number conversion; safe handling of long, unterminated
// and self-referencing input.
#include "vdtcl/TTString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace {

using Str = vdtcl::TTString<char>;
constexpr size_t npos = Str::npos;

std::string S(const Str& s) { return std::string(s.C_str(), s.Length()); }

TEST(TTString, CapacityFollowsSixteenByteBlocks)
{
    const struct {
        size_t length;
        size_t capacity;
    } cases[] = {{0, 7}, {7, 7}, {8, 15}, {15, 15}, {16, 31}, {17, 31}, {65519, 65519}};
    for (const auto& c : cases) {
        Str s(std::string(c.length, 'a').c_str());
        EXPECT_EQ(s.Length(), c.length);
        EXPECT_EQ(s.Capacity(), c.capacity) << c.length;
    }
    Str s(std::string(40, 'a').c_str());
    s.Clear();
    EXPECT_EQ(s.Capacity(), 47u);  // the block stays for reuse
    EXPECT_STREQ(s.C_str(), "");
    s += std::string(60, 'b').c_str();
    EXPECT_EQ(S(s), std::string(60, 'b'));
    s = 'x';
    EXPECT_EQ(S(s), "x");
    EXPECT_EQ(s.Capacity(), 63u);
}

TEST(TTString, MovedFromIsEmptyAndUsable)
{
    for (const char* text : {"short", "a text on the heap"}) {
        Str a(text);
        Str b(std::move(a));
        EXPECT_EQ(S(b), text);
        EXPECT_TRUE(a.IsEmpty());
        a += "again";
        EXPECT_EQ(S(a), "again");
        Str c;
        c = std::move(b);
        EXPECT_EQ(S(c), text);
        EXPECT_STREQ(b.C_str(), "");
    }
}

TEST(TTString, PositionRules)
{
    Str abc("abc");
    EXPECT_EQ(S(abc.LeftFrom(npos)), "abc");
    EXPECT_EQ(S(abc.LeftFrom(1)), "ab");
    EXPECT_EQ(S(abc.RightFrom(3)), "");
    EXPECT_EQ(S(abc.RightFrom(Str::lastpos)), "c");
    EXPECT_EQ(S(abc.Mid(1, 100)), "bc");
    EXPECT_EQ(abc.At(Str::lastpos), 'c');
    EXPECT_EQ(abc.At(3), 0);
    EXPECT_STREQ(abc.GetPointerToString(npos), "");
    EXPECT_EQ(abc.GetPointerToString(4), nullptr);
    EXPECT_EQ(Str().At(Str::lastpos), 0);
}

TEST(TTString, SearchAndCompare)
{
    Str abcb("abcb");
    EXPECT_EQ(abcb.Find(""), npos);
    EXPECT_EQ(abcb.Find('\0'), npos);
    EXPECT_EQ(abcb.RFind("b", npos), 3u);
    EXPECT_EQ(abcb.FindNoCase("BC"), 1u);
    EXPECT_EQ(abcb.RFindOneOf("ab", 2), 1u);
    EXPECT_TRUE(abcb.IsDelimiter("b", 3));
    EXPECT_FALSE(abcb.IsDelimiter("b", 4));
    EXPECT_EQ(Str("/usr/lib/x").RFindPathDelimiter(), 8u);
    EXPECT_EQ(Str().Compare(""), 0);
    EXPECT_EQ(Str("abc").Compare(""), 3);
    EXPECT_EQ(Str("abc").Compare(nullptr), 3);
    EXPECT_EQ(Str().Compare("abc"), -3);
    EXPECT_LT(Str("abc").Compare("abd"), 0);
    EXPECT_GT(Str("\xe9").Compare("a"), 0);  // bytes compare unsigned
    EXPECT_EQ(Str("MiXed").CompareNoCase("mixED"), 0);
    EXPECT_TRUE(Str("x") == "x");
    EXPECT_TRUE(Str("x") != "y");
}

TEST(TTString, Editing)
{
    Str s("abc");
    s.Erase(1, 1);
    EXPECT_EQ(S(s), "ac");
    s.Erase(0, npos);
    EXPECT_TRUE(s.IsEmpty());
    Str heap("0123456789ab");
    heap.Erase(2, 6);  // six left: back to the inline buffer
    EXPECT_EQ(S(heap), "0189ab");
    EXPECT_EQ(heap.Capacity(), 7u);
    // Bytes of 0x80 and above are not spaces.
    EXPECT_EQ(S(Str(" \t\xa0x\xa0\n").Trim()), "\xa0x\xa0");
    EXPECT_EQ(S(Str("  a ").TrimLeft()), "a ");
    EXPECT_EQ(S(Str("  a ").TrimRight()), "  a");
    EXPECT_EQ(S(Str("a\xe9z").ToUpper()), "A\xe9Z");
    EXPECT_EQ(S(Str("0x1A").ReplaceString(0, 2, nullptr, 0)), "1A");
    EXPECT_EQ(S(Str("/tmp").AddDirectoryPath(Str("a"))), "/tmp/a");
    EXPECT_EQ(S(Str("/tmp/").AddDirectoryPath(Str("a"))), "/tmp//a");
    EXPECT_EQ(S(Str("/tmp").AddPathDelimiter()), "/tmp/");
}

TEST(TTString, GetToken)
{
    Str s("a = b");
    size_t pos = 0;
    EXPECT_EQ(S(s.GetToken("=", pos, true)), "a");
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(S(s.GetToken("=", pos, true)), "b");
    EXPECT_EQ(pos, npos);
    EXPECT_EQ(S(s.GetToken("=", pos, true)), "");
    EXPECT_EQ(pos, npos);

    Str quoted("x,\"a,b\",y");
    pos = 0;
    EXPECT_EQ(S(quoted.GetToken(",", pos, false)), "x");
    EXPECT_EQ(S(quoted.GetToken(",", pos, false)), "\"a,b\"");
    EXPECT_EQ(S(quoted.GetToken(",", pos, false)), "y");
    EXPECT_EQ(pos, npos);
    Str open("x,\"a,b\"");
    pos = 0;
    open.GetToken(",", pos, false);
    EXPECT_EQ(S(open.GetToken(",", pos, false)), "\"a,b\"");
    EXPECT_EQ(pos, npos);
}

TEST(TTString, NumberToText)
{
    EXPECT_EQ(S(Str().ToString(255, 16)), "0xFF");
    EXPECT_EQ(S(Str().ToString(8, 8)), "010");
    EXPECT_EQ(S(Str().ToString(-42, 10)), "-42");
    EXPECT_EQ(S(Str().ToString(-1, 16)), "0xFFFFFFFF");
    EXPECT_EQ(S(Str().ToString(0, 8)), "00");
    EXPECT_EQ(S(Str().ToString(0, 16)), "0x0");
    EXPECT_EQ(S(Str().ToString(77, 3)), "77");
    EXPECT_EQ(S(Str().ToString(INT_MIN, 10)), "-2147483648");
    EXPECT_EQ(S(Str().ToString(~0ULL, 16)), "0xFFFFFFFFFFFFFFFF");
    EXPECT_EQ(S(Str().ConvertNumberToString<int>(5, false, 10, 3)), "005");
    EXPECT_EQ(S(Str().ConvertNumberToString<int>(5, false, 10, -3)), "  5");
    EXPECT_EQ(S(Str().ConvertNumberToString<unsigned int>(255, false, 16, 4)), "0x00FF");
    EXPECT_EQ(S(Str().ConvertNumberToString<int>(-5, true, 10, 3)), "-005");
    EXPECT_EQ(S(Str().ConvertNumberToString<int>(INT_MIN, true, 8, 0)), "-020000000000");
    for (int width : {INT_MIN, INT_MAX}) {
        Str s;
        s.ConvertNumberToString<int>(INT_MIN, true, 10, width);
        EXPECT_EQ(s.Length(), Str::kMaxLength);
        EXPECT_EQ(strlen(s.C_str()), Str::kMaxLength);
    }
    Str appended("n=");
    appended += -7;
    EXPECT_EQ(S(appended), "n=-7");
}

TEST(TTString, TextToNumber)
{
    const struct {
        const char* text;
        int value;
        bool decimal;
        bool hex;
    } cases[] = {
        {" -12", -12, true, false},
        {"0x1f", 31, false, true},
        {"017", 15, false, false},
        {"0", 0, true, false},
        {"08", 0, false, false},
        {"12abc", 12, false, false},
        {"abc", 0, false, false},
        {"$1F", 0, false, true},
        {"012", 10, false, false},
        {" 12 ", 12, true, false},
        {"+7", 7, true, false},
        {"-012", -12, true, false},
        {"0 ", 0, false, false},
        {"", 0, false, false},
        {" 0X1aF\t", 431, false, true},
        {"0x", 0, false, false},
        {"-", 0, false, false},
        {"\xb2", 0, false, false},
        {"-2147483648", INT_MIN, true, false},
        {"4294967295", -1, true, false},
        {"99999999999", 1215752191, true, false},  // wraps modulo 2^32
    };
    for (const auto& c : cases) {
        Str s(c.text);
        EXPECT_EQ(s.ToInteger(), c.value) << c.text;
        EXPECT_EQ(s.IsDecimal(), c.decimal) << c.text;
        EXPECT_EQ(s.IsHexadecimal(), c.hex) << c.text;
    }
    bool negative = false;
    EXPECT_EQ(Str("-0x10").ConvertStringToNumber<unsigned int>(negative), 0u);
    EXPECT_EQ(Str(" -4000000000").ConvertStringToNumber<unsigned int>(negative), 4000000000u);
    EXPECT_TRUE(negative);
}

TEST(TTString, Format)
{
    const char* empty = "";
    EXPECT_TRUE(Str("old").Format(empty, 1).IsEmpty());
    EXPECT_TRUE(Str("old").Format(nullptr).IsEmpty());
    EXPECT_EQ(S(Str().Format("%s-%04d", "ab", 7)), "ab-0007");
    Str wide;
    wide.Format("%70000d", 1);
    EXPECT_EQ(wide.Length(), Str::kMaxLength);
    EXPECT_EQ(strlen(wide.C_str()), Str::kMaxLength);
}

// C texts are read up to their NUL or n bytes, never beyond; the length
// never exceeds what is stored.
TEST(TTString, BoundedInput)
{
    EXPECT_EQ(S(Str("ab\0cd", 5)), "ab");
    EXPECT_TRUE(Str(nullptr, 4).IsEmpty());
    std::unique_ptr<char[]> raw(new char[20]);
    memset(raw.get(), 'r', 20);  // no terminator anywhere
    EXPECT_EQ(S(Str(raw.get(), 20)), std::string(20, 'r'));
    Str s;
    s.AssignString(raw.get(), 5);
    s.AppendString(raw.get(), 20);
    s.ReplaceString(0, 1, raw.get(), 20);
    EXPECT_EQ(S(s), std::string(44, 'r'));
    s.AppendString("x\0yz", 4);
    EXPECT_EQ(s.Length(), 45u);
    std::string huge(70000, 'h');
    for (size_t start : {size_t(0), size_t(100), size_t(65518)}) {
        Str t(huge.substr(0, start).c_str());
        t += huge.c_str();
        EXPECT_EQ(t.Length(), Str::kMaxLength);
        EXPECT_EQ(strlen(t.C_str()), Str::kMaxLength);
        t.ReplaceString(0, 0, "abc", 3);
        EXPECT_EQ(t.Length(), Str::kMaxLength);
        EXPECT_TRUE(t.Left(4) == "abch");  // the end is cut, not the insert
    }
    EXPECT_EQ(Str(huge.c_str()).Length(), Str::kMaxLength);
    Str reserved("abc");
    EXPECT_TRUE(reserved.Reserve(100000));
    EXPECT_EQ(reserved.Capacity(), Str::kMaxLength);
    EXPECT_EQ(S(reserved), "abc");
}

// Every way of feeding a string its own text, at the storage boundaries.
TEST(TTString, AliasingIsSafe)
{
    for (size_t len : {size_t(7), size_t(8), size_t(15), size_t(16), size_t(17), size_t(65518), size_t(65519)}) {
        std::string ref;
        for (size_t i = 0; i < len; ++i) {
            ref += static_cast<char>('a' + i % 26);
        }
        auto cut = [](std::string t) { return t.substr(0, Str::kMaxLength); };
        Str s(ref.c_str());
        Str& same = s;
        s = same;
        EXPECT_TRUE(S(s) == ref) << len;
        s = std::move(same);
        EXPECT_TRUE(S(s) == ref) << len;
        s += same;
        EXPECT_TRUE(S(s) == cut(ref + ref)) << len;
        s = ref.c_str();
        s = s.C_str() + 1;
        EXPECT_TRUE(S(s) == ref.substr(1)) << len;
        s = ref.c_str();
        s.AssignString(s.C_str() + 2, 5);
        EXPECT_TRUE(S(s) == ref.substr(2, 5)) << len;
        s = ref.c_str();
        s.AppendString(s.C_str() + 1, npos);
        EXPECT_TRUE(S(s) == cut(ref + ref.substr(1))) << len;
        s = ref.c_str();
        s.ReplaceString(1, 0, s.C_str(), npos);
        EXPECT_TRUE(S(s) == cut(ref.substr(0, 1) + ref + ref.substr(1))) << len;
        s = ref.c_str();
        s.Format("%s|%s", s.C_str(), s.C_str());
        EXPECT_TRUE(S(s) == cut(ref + "|" + ref)) << len;
        s = ref.c_str();
        s.AddDirectoryPath(same);
        EXPECT_TRUE(S(s) == cut(ref + "/" + ref)) << len;
    }
}

}  // namespace
