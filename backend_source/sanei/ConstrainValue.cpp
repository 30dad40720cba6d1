// Option-value check: ranges, word lists, string lists and booleans.
#include "backend_source/sanei/ConstrainValue.h"

#include <strings.h>

#include <cstdint>
#include <cstring>

namespace {

// Words of a word-valued option: its size counts bytes; at least one word.
size_t WordCount(const SANE_Option_Descriptor* opt)
{
    size_t count = opt->size > 0 ? static_cast<size_t>(opt->size) / sizeof(SANE_Word) : 0;
    return count == 0 ? 1 : count;
}

bool IsWordType(SANE_Value_Type type)
{
    return type == SANE_TYPE_BOOL || type == SANE_TYPE_INT || type == SANE_TYPE_FIXED;
}

// Clamps into [min, max], then rounds to min + k * quant for the nearest k;
// a step that would land above max goes one step down.
SANE_Word ConstrainToRange(SANE_Word v, const SANE_Range& range)
{
    int64_t value = v;
    if (value < range.min) {
        value = range.min;
    }
    if (value > range.max) {
        value = range.max;
    }
    if (range.quant > 0) {
        uint64_t quant = static_cast<uint64_t>(range.quant);
        uint64_t offset = static_cast<uint64_t>(value - range.min);
        uint64_t steps = (offset + quant / 2) / quant;
        int64_t rounded = range.min + static_cast<int64_t>(steps * quant);
        if (rounded > range.max) {
            rounded -= range.quant;
        }
        value = rounded;
    }
    return static_cast<SANE_Word>(value);
}

// The entry of a word list nearest to v, the first one on a tie.
SANE_Word NearestWord(SANE_Word v, const SANE_Word* list)
{
    SANE_Word best = list[1];
    uint64_t bestDistance = UINT64_MAX;
    for (SANE_Int i = 1; i <= list[0]; ++i) {
        int64_t diff = static_cast<int64_t>(list[i]) - v;
        uint64_t distance = static_cast<uint64_t>(diff < 0 ? -diff : diff);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = list[i];
        }
    }
    return best;
}

SANE_Status ConstrainString(const SANE_Option_Descriptor* opt, char* text, SANE_Word* info)
{
    const SANE_String_Const* list = opt->constraint.string_list;
    size_t room = opt->size > 0 ? static_cast<size_t>(opt->size) : 0;
    size_t length = strnlen(text, room);
    if (list == nullptr || length == room) {
        return SANE_STATUS_INVAL;  // no list, or no terminator inside the option's bytes
    }
    const char* match = nullptr;
    for (size_t i = 0; list[i] != nullptr && match == nullptr; ++i) {
        if (strcasecmp(list[i], text) == 0) {
            match = list[i];
        }
    }
    if (match == nullptr) {
        size_t prefixes = 0;
        for (size_t i = 0; list[i] != nullptr; ++i) {
            if (strncasecmp(list[i], text, length) == 0) {
                match = list[i];
                ++prefixes;
            }
        }
        if (prefixes != 1) {
            return SANE_STATUS_INVAL;
        }
    }
    if (std::strcmp(match, text) != 0) {
        size_t matchLength = std::strlen(match);
        if (matchLength >= room) {
            return SANE_STATUS_INVAL;
        }
        std::memcpy(text, match, matchLength + 1);
        if (info != nullptr) {
            *info |= SANE_INFO_INEXACT;
        }
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

SANE_Status sanei_constrain_value(const SANE_Option_Descriptor* opt, void* value, SANE_Word* info)
{
    if (opt == nullptr || value == nullptr) {
        return SANE_STATUS_INVAL;
    }
    if (opt->type == SANE_TYPE_STRING) {
        if (opt->constraint_type != SANE_CONSTRAINT_STRING_LIST) {
            return SANE_STATUS_GOOD;
        }
        return ConstrainString(opt, static_cast<char*>(value), info);
    }
    if (!IsWordType(opt->type)) {
        return SANE_STATUS_GOOD;
    }
    SANE_Word* words = static_cast<SANE_Word*>(value);
    size_t count = WordCount(opt);
    bool inexact = false;
    for (size_t i = 0; i < count; ++i) {
        if (opt->type == SANE_TYPE_BOOL && words[i] != SANE_FALSE && words[i] != SANE_TRUE) {
            return SANE_STATUS_INVAL;
        }
        SANE_Word adjusted = words[i];
        if (opt->constraint_type == SANE_CONSTRAINT_RANGE) {
            const SANE_Range* range = opt->constraint.range;
            if (range == nullptr || range->min > range->max) {
                return SANE_STATUS_INVAL;
            }
            adjusted = ConstrainToRange(words[i], *range);
        } else if (opt->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            const SANE_Word* list = opt->constraint.word_list;
            if (list == nullptr || list[0] <= 0) {
                return SANE_STATUS_INVAL;
            }
            adjusted = NearestWord(words[i], list);
        }
        if (adjusted != words[i]) {
            words[i] = adjusted;
            inexact = true;
        }
    }
    if (inexact && info != nullptr) {
        *info |= SANE_INFO_INEXACT;
    }
    return SANE_STATUS_GOOD;
}
