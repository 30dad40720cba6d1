// The sanei layer: the option-value check against the backend's own kinds of
// constraint, and the debug message facility.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "backend_source/sanei/ConstrainValue.h"
#include "backend_source/sanei/DebugMessage.h"

namespace {

const SANE_Range kPercent = {SANE_FIX(-50), SANE_FIX(50), SANE_FIX(1)};
const SANE_Range kMillimetres = {0, SANE_FIX(215), 6553};
const SANE_Word kResolutions[] = {3, 150, 300, 600};
const SANE_Word kNoWords[] = {0};
const SANE_String_Const kModes[] = {"24bit Color[Fast]", "True Gray", "Black & White", nullptr};
const SANE_String_Const kSources[] = {"FlatBed",
                                      "Automatic Document Feeder(left aligned)",
                                      "Automatic Document Feeder(center aligned)",
                                      "Card Slot",
                                      "Card Slot(Duplex)",
                                      nullptr};

SANE_Option_Descriptor Words(SANE_Value_Type type, SANE_Constraint_Type kind, const void* constraint)
{
    SANE_Option_Descriptor d{};
    d.type = type;
    d.size = sizeof(SANE_Word);
    d.constraint_type = kind;
    if (kind == SANE_CONSTRAINT_RANGE) {
        d.constraint.range = static_cast<const SANE_Range*>(constraint);
    } else if (kind == SANE_CONSTRAINT_WORD_LIST) {
        d.constraint.word_list = static_cast<const SANE_Word*>(constraint);
    }
    return d;
}

SANE_Option_Descriptor Strings(const SANE_String_Const* list, SANE_Int size)
{
    SANE_Option_Descriptor d{};
    d.type = SANE_TYPE_STRING;
    d.size = size;
    d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d.constraint.string_list = list;
    return d;
}

struct WordCase {
    const char* what;
    SANE_Option_Descriptor opt;
    SANE_Word in;
    SANE_Status status;
    SANE_Word out;
    bool inexact;
};

TEST(ConstrainValue, WordsClampRoundToStepsAndPickNearestEntries)
{
    const auto range = [](const SANE_Range* r) { return Words(SANE_TYPE_FIXED, SANE_CONSTRAINT_RANGE, r); };
    const auto list = [](const SANE_Word* l) { return Words(SANE_TYPE_INT, SANE_CONSTRAINT_WORD_LIST, l); };
    const SANE_Option_Descriptor boolean = Words(SANE_TYPE_BOOL, SANE_CONSTRAINT_NONE, nullptr);
    const SANE_Range unaligned = {0, 10, 4};  // steps 0, 4, 8: 10 is not one
    // clang-format off
    const WordCase cases[] = {
        {"brightness above the range", range(&kPercent), SANE_FIX(60), SANE_STATUS_GOOD, SANE_FIX(50), true},
        {"brightness below the range", range(&kPercent), SANE_FIX(-51), SANE_STATUS_GOOD, SANE_FIX(-50), true},
        {"brightness on a step", range(&kPercent), SANE_FIX(7), SANE_STATUS_GOOD, SANE_FIX(7), false},
        {"brightness between steps", range(&kPercent), SANE_FIX(7.4), SANE_STATUS_GOOD, SANE_FIX(7), true},
        {"tl-x just above a step", range(&kMillimetres), 6553 * 3 + 1000, SANE_STATUS_GOOD, 6553 * 3, true},
        {"tl-x just below a step", range(&kMillimetres), 6553 * 3 - 1000, SANE_STATUS_GOOD, 6553 * 3, true},
        {"tl-x at the maximum", range(&kMillimetres), SANE_FIX(215), SANE_STATUS_GOOD,
         SANE_FIX(215) / 6553 * 6553, true},
        {"the nearest step is above the maximum", range(&unaligned), 10, SANE_STATUS_GOOD, 8, true},
        {"resolution 250", list(kResolutions), 250, SANE_STATUS_GOOD, 300, true},
        {"resolution 225 is a tie", list(kResolutions), 225, SANE_STATUS_GOOD, 150, true},
        {"resolution 600", list(kResolutions), 600, SANE_STATUS_GOOD, 600, false},
        {"resolution far above", list(kResolutions), 0x7FFFFFFF, SANE_STATUS_GOOD, 600, true},
        {"resolution far below", list(kResolutions), -0x7FFFFFFF, SANE_STATUS_GOOD, 150, true},
        {"an empty word list", list(kNoWords), 300, SANE_STATUS_INVAL, 300, false},
        {"BOOL true", boolean, SANE_TRUE, SANE_STATUS_GOOD, SANE_TRUE, false},
        {"BOOL 2", boolean, 2, SANE_STATUS_INVAL, 2, false},
        {"BOOL -1", boolean, -1, SANE_STATUS_INVAL, -1, false},
    };
    // clang-format on
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.what);
        SANE_Word value = c.in;
        SANE_Word info = 0;
        EXPECT_EQ(c.status, sanei_constrain_value(&c.opt, &value, &info));
        EXPECT_EQ(c.out, value);
        EXPECT_EQ(c.inexact ? SANE_INFO_INEXACT : 0, info);
    }
}

struct TextCase {
    const char* in;
    SANE_Status status;
    const char* out;
    bool inexact;
};

TEST(ConstrainValue, TextsMatchCaseInsensitivelyOrByAUniquePrefix)
{
    // clang-format off
    const TextCase modes[] = {
        {"True Gray", SANE_STATUS_GOOD, "True Gray", false},
        {"true gray", SANE_STATUS_GOOD, "True Gray", true},
        {"black", SANE_STATUS_GOOD, "Black & White", true},
        {"24bit", SANE_STATUS_GOOD, "24bit Color[Fast]", true},
        {"Gray", SANE_STATUS_INVAL, "Gray", false},  // not a prefix of any entry
        {"", SANE_STATUS_INVAL, "", false},          // a prefix of all three
    };
    const TextCase sources[] = {
        {"card slot", SANE_STATUS_GOOD, "Card Slot", true},  // exact beats being a prefix of the duplex entry
        {"Card", SANE_STATUS_INVAL, "Card", false},
        {"Automatic", SANE_STATUS_INVAL, "Automatic", false},
        {"automatic document feeder(c", SANE_STATUS_GOOD, "Automatic Document Feeder(center aligned)", true},
        {"flat", SANE_STATUS_GOOD, "FlatBed", true},
    };
    // clang-format on
    const struct {
        const SANE_String_Const* list;
        const TextCase* cases;
        size_t count;
        SANE_Int size;
    } groups[] = {{kModes, modes, std::size(modes), 30}, {kSources, sources, std::size(sources), 64}};
    for (const auto& group : groups) {
        SANE_Option_Descriptor opt = Strings(group.list, group.size);
        for (size_t i = 0; i < group.count; ++i) {
            const TextCase& c = group.cases[i];
            SCOPED_TRACE(c.in);
            char value[64] = {};
            std::strcpy(value, c.in);
            SANE_Word info = 0;
            EXPECT_EQ(c.status, sanei_constrain_value(&opt, value, &info));
            EXPECT_STREQ(c.out, value);
            EXPECT_EQ(c.inexact ? SANE_INFO_INEXACT : 0, info);
        }
    }
}

TEST(ConstrainValue, TextsAreReadAndRewrittenOnlyWithinTheOptionSize)
{
    // No terminator within the option's 8 bytes: refused, nothing read past.
    SANE_Option_Descriptor opt = Strings(kModes, 8);
    char unterminated[8];
    std::memset(unterminated, 'T', sizeof unterminated);
    EXPECT_EQ(SANE_STATUS_INVAL, sanei_constrain_value(&opt, unterminated, nullptr));
    // "true" would expand to "True Gray", which needs 10 bytes.
    char shortBuffer[8] = "true";
    EXPECT_EQ(SANE_STATUS_INVAL, sanei_constrain_value(&opt, shortBuffer, nullptr));
    EXPECT_STREQ("true", shortBuffer);
}

TEST(DebugMessage, WritesPrefixedMessagesUpToTheVariablesLevel)
{
    const struct {
        const char* variable;  // null: unset
        int level;
        const char* expected;
    } cases[] = {
        {"2", 2, "[vordane5]  version: 1000001\n"},
        {"1", 2, ""},
        {nullptr, 0, "[vordane5]  version: 1000001\n"},
        {nullptr, 1, ""},
        {"junk", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable != nullptr ? c.variable : "unset");
        if (c.variable != nullptr) {
            setenv("SANE_DEBUG_VORDANE5", c.variable, 1);
        } else {
            unsetenv("SANE_DEBUG_VORDANE5");
        }
        DBG_INIT();
        testing::internal::CaptureStderr();
        DBG(c.level, " version: %lx\n", 0x1000001L);
        EXPECT_EQ(c.expected, testing::internal::GetCapturedStderr());
    }
    unsetenv("SANE_DEBUG_VORDANE5");
}

}  // namespace
