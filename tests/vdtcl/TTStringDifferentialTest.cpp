// Randomised differential test: the toolbox string against a std::string
// model applying the same position rules and the 65519-character cut.
#include "vdtcl/TTString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>

namespace {

using Str = vdtcl::TTString<char>;
constexpr size_t npos = Str::npos;
constexpr size_t kMax = Str::kMaxLength;

// The model's reading of a position: npos = end, npos-1 = last, beyond = invalid.
size_t Resolve(const std::string& s, size_t p)
{
    if (p == npos)
        return s.size();
    if (p == npos - 1)
        return s.size() - 1;
    return p > s.size() ? npos : p;
}

bool Space(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

class Differential : public ::testing::Test {
protected:
    std::mt19937 rng{20240611};

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

    // Text from a small alphabet (so searches hit), with spaces and high bytes.
    std::string Text()
    {
        static const char kAlphabet[] = "ab ab\t/\"\xe9\xff,xyz\n";
        size_t len = Below(10) == 0 ? Below(3000) : Below(20);
        std::string t;
        for (size_t i = 0; i < len; ++i)
            t += kAlphabet[Below(sizeof kAlphabet - 1)];
        return t;
    }

    size_t Pos(const std::string& s)
    {
        switch (Below(8)) {
        case 0:
            return npos;
        case 1:
            return npos - 1;
        case 2:
            return s.size() + Below(3);
        default:
            return Below(s.size() + 1);
        }
    }

    size_t Count() { return Below(5) == 0 ? npos : Below(40); }
};

TEST_F(Differential, AgreesWithStdString)
{
    Str s;
    std::string ref;
    size_t longest = 0;
    for (int op = 0; op < 20000; ++op) {
        std::string t = Text();
        size_t p = Pos(ref);
        size_t n = Count();
        size_t rp = Resolve(ref, p);
        switch (Below(12)) {
        case 0:
            s = t.c_str();
            ref = t.substr(0, kMax);
            break;
        case 1:
        case 2:
            s += t.c_str();
            ref += t.substr(0, kMax - ref.size());
            break;
        case 3: {  // insert
            size_t m = Below(t.size() + 1);
            s.ReplaceString(p, 0, t.c_str(), m);
            if (!ref.empty() && rp != npos)
                ref = ref.insert(rp, t.substr(0, m)).substr(0, kMax);
            break;
        }
        case 4: {  // replace
            size_t m = Below(t.size() + 1);
            s.ReplaceString(p, n, t.c_str(), m);
            if (!ref.empty() && rp != npos) {
                ref = ref.replace(rp, n, t.substr(0, m)).substr(0, kMax);
            }
            break;
        }
        case 5:
            s.Erase(p, n);
            if (p == 0 && n == npos)
                ref.clear();
            else if (rp != npos && n != 0)
                ref.erase(rp, n);
            break;
        case 6: {
            std::string pat = t.substr(0, Below(4));
            size_t expect = pat.empty() || rp == npos ? npos : ref.find(pat, rp);
            ASSERT_EQ(s.Find(pat.c_str(), p), expect) << op;
            if (!pat.empty()) {
                ASSERT_EQ(s.Find(pat[0], p), rp < ref.size() ? ref.find(pat[0], rp) : npos) << op;
                size_t last = rp == npos || rp + 1 < pat.size() ? npos : ref.rfind(pat, rp + 1 - pat.size());
                ASSERT_EQ(s.RFind(pat.c_str(), p), last) << op;
                ASSERT_EQ(s.FindOneOf(pat.c_str(), p), rp < ref.size() ? ref.find_first_of(pat, rp) : npos) << op;
            }
            break;
        }
        case 7: {
            std::string mid = ref.empty() || rp == npos ? "" : ref.substr(rp, n);
            ASSERT_EQ(std::string(s.Mid(p, n).C_str()), mid) << op;
            ASSERT_EQ(std::string(s.Left(n).C_str()), ref.substr(0, n)) << op;
            std::string right = ref.empty() || rp == npos ? "" : ref.substr(rp);
            ASSERT_EQ(std::string(s.RightFrom(p).C_str()), right) << op;
            std::string left = ref.empty() || rp == npos ? "" : rp == ref.size() ? ref : ref.substr(0, rp + 1);
            ASSERT_EQ(std::string(s.LeftFrom(p).C_str()), left) << op;
            break;
        }
        case 8: {
            int kind = static_cast<int>(Below(3));  // both ends, start, end
            if (kind == 0)
                s.Trim();
            if (kind == 1)
                s.TrimLeft();
            if (kind == 2)
                s.TrimRight();
            if (kind != 1) {
                while (!ref.empty() && Space(ref.back()))
                    ref.pop_back();
            }
            if (kind != 2) {
                size_t b = 0;
                while (b < ref.size() && Space(ref[b]))
                    ++b;
                ref.erase(0, b);
            }
            break;
        }
        case 9: {
            Str copy(s);
            s = std::move(copy);
            break;
        }
        case 10:
            s += s;
            ref += ref.substr(0, kMax - ref.size());
            break;
        default:
            if (Below(4) == 0) {
                s.Clear();
                ref.clear();
            }
            break;
        }
        ASSERT_EQ(s.Length(), ref.size()) << op;
        ASSERT_EQ(std::string(s.C_str()), ref) << op;
        ASSERT_GE(s.Capacity(), s.Length());
        longest = std::max(longest, ref.size());
    }
    EXPECT_EQ(longest, kMax);  // the run reached the length limit
}

}  // namespace
