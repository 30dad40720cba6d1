// Model-line descrambling against a scrambler built from the character step
// alone (each variant's inverse found by search), and the line limits.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "backend_source/ModelLineDecode.h"
#include "tests/support/model_lines/ScrambleModelLine.h"

namespace {

std::string Decode(std::string line)
{
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    EXPECT_EQ(0, decode(buffer.data()));
    return buffer.data();
}

TEST(ModelLineDecode, EveryVariantsStepIsInjectiveOverThePrintableRange)
{
    for (int k1 : {-128, -1, 1, 35, 127}) {
        for (int k2 = 1; k2 <= 8; ++k2) {
            int variant = (k1 + k2) & 7;
            bool seen[256] = {};
            for (int c = 32; c <= 123; ++c) {
                int out = scramble_step(variant, k1, k2, c);
                ASSERT_GE(out, 32);
                ASSERT_LE(out, 124);
                ASSERT_FALSE(seen[out]) << "variant " << variant << " k1 " << k1 << " c " << c;
                seen[out] = true;
            }
        }
    }
}

TEST(ModelLineDecode, RandomLinesRoundTripThroughAllEightVariants)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> length(0, 492);
    int perVariant[8] = {};
    for (int n = 0; n < 10000; ++n) {
        char k1 = static_cast<char>(byte(random));
        char k2 = static_cast<char>(byte(random));
        int variant = (static_cast<signed char>(k1) + static_cast<signed char>(k2)) & 7;
        // Plain text from the variant's image plus bytes that pass unchanged.
        std::string plain;
        int size = length(random);
        while (static_cast<int>(plain.size()) < size) {
            int pick = byte(random);
            if (pick >= 124 || pick < 32) {
                plain += static_cast<char>(pick);
            } else {
                plain += static_cast<char>(
                    scramble_step(variant, static_cast<signed char>(k1), static_cast<signed char>(k2), pick));
            }
        }
        std::string scrambled;
        ASSERT_TRUE(Scramble(plain, k1, k2, &scrambled));
        ASSERT_EQ(plain, Decode(scrambled)) << "variant " << variant;
        ++perVariant[variant];
    }
    for (int count : perVariant) {
        EXPECT_GT(count, 1000);
    }
}

TEST(ModelLineDecode, LinesOutsideTheScrambledFormAndTheLengthLimit)
{
    const struct {
        std::string in;
        int result;
        std::string out;
    } cases[] = {
        {"[Support Model]", 0, "[Support Model]"},
        {"?#ab", 0, ""},  // only the header
        {"?#", 0, "?#"},  // shorter than the header
        {"?#a", 0, "?#a"},
        {"", 0, ""},
        {"?#" + std::string(495, 'x'), -1, "?#" + std::string(495, 'x')},  // 497 characters
        {"[" + std::string(496, 'x'), -1, "[" + std::string(496, 'x')},
        {"#?" + std::string(494, 'x'), 0, "#?" + std::string(494, 'x')},  // 496: plain, kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.substr(0, 20) + " length " + std::to_string(c.in.size()));
        std::vector<char> buffer(c.in.begin(), c.in.end());
        buffer.push_back('\0');
        EXPECT_EQ(c.result, decode(buffer.data()));
        EXPECT_EQ(c.out, buffer.data());
    }
    // 496 characters are the longest line that is descrambled.
    std::string longest;
    ASSERT_TRUE(Scramble(std::string(492, '|'), 'a', 'b', &longest));
    ASSERT_EQ(496u, longest.size());
    EXPECT_EQ(std::string(492, '|'), Decode(longest));
}

TEST(ModelLineDecode, CharacterSteps)
{
    EXPECT_EQ(84, scramble_add(100, -200));
    EXPECT_EQ(124, scramble_add(124, 0));
    EXPECT_EQ(33, scramble_add(125, 0));
    EXPECT_EQ(-24, scramble_add(-300, 0));  // at most three steps up
    EXPECT_EQ(156 - 40, scramble_rev(40));
    const struct {
        int (*swap)(int);
        int c[4];
        int expected[4];
    } swaps[] = {
        {scramble_swap1, {64, 65, 66, 67}, {65, 64, 67, 66}}, {scramble_swap2, {64, 65, 66, 67}, {64, 66, 65, 67}},
        {scramble_swap3, {64, 65, 66, 67}, {67, 65, 66, 64}}, {scramble_swap4, {64, 65, 66, 67}, {66, 67, 64, 65}},
        {scramble_swap5, {64, 65, 66, 67}, {66, 65, 64, 67}}, {scramble_swap6, {64, 65, 66, 67}, {64, 67, 66, 65}},
    };
    for (const auto& s : swaps) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(s.expected[i], s.swap(s.c[i])) << s.c[i];
        }
        EXPECT_EQ(124, s.swap(124));  // above 123: unchanged
    }
    EXPECT_EQ(28, scramble_swap2(28));  // below 32: unchanged by swap2 and swap3
    EXPECT_EQ(28, scramble_swap3(28));
}

}  // namespace
