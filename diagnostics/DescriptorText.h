// Pieces shared by the log texts of the engine's records: value texts, the
// one-line "{ label: value, ... }" form, the multi-line section form and
// name lookups for enumerations. Internal to diagnostics/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace vscore {
namespace descriptor {

// Every function is stateless (any thread) and returns a new string; the
// texts and tables passed in stay the caller's.

// One labelled value of a record text; the label carries its ": " and any
// blanks that align the values of its group.
struct Item {
    const char* label;
    std::string value;
};

// "{ " then label and value of each item joined by ", ", then " }".
std::string InlineRecord(std::initializer_list<Item> items);

// Label and value of each item joined by ", ", without braces.
std::string JoinItems(std::initializer_list<Item> items);

// Label and value of each item, one line each, every line ended by "\n".
std::string Lines(std::initializer_list<Item> items);

// A header line, then Lines(items): one section of a multi-line record text.
std::string Section(const char* header, std::initializer_list<Item> items);

// "true" or "false".
std::string Flag(bool value);

// Decimal text; one-byte and two-byte fields print as numbers.
template <class Integer>
std::string Number(Integer value)
{
    return std::to_string(+value);
}

// The text right-aligned in a field of `width` characters; a longer text is
// kept whole.
std::string RightAligned(const std::string& text, std::size_t width);

// A fixed-width text field up to its first NUL, never past its width.
std::string FixedText(const char* text, std::size_t width);

template <std::size_t Width>
std::string FixedText(const char (&text)[Width])
{
    return FixedText(text, Width);
}

// Name of a value of an enumeration whose values run from 0 without gaps.
std::string DenseName(int32_t value, const char* const* names, std::size_t count, const char* fallback);

template <std::size_t Count>
std::string DenseName(int32_t value, const char* const (&names)[Count], const char* fallback)
{
    return DenseName(value, names, Count, fallback);
}

struct ValueName {
    int32_t value;
    const char* name;
};

// Name of a value of an enumeration with gaps.
std::string SparseName(int32_t value, const ValueName* names, std::size_t count, const char* fallback);

template <std::size_t Count>
std::string SparseName(int32_t value, const ValueName (&names)[Count], const char* fallback)
{
    return SparseName(value, names, Count, fallback);
}

}  // namespace descriptor
}  // namespace vscore
