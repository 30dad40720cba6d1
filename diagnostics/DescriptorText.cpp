// Pieces shared by the log texts of the engine's records.
#include "diagnostics/DescriptorText.h"

#include <cstring>

#include "VexmorApi/Utilities/Formatter.h"

namespace vscore {
namespace descriptor {

std::string JoinItems(std::initializer_list<Item> items)
{
    std::string text;
    bool first = true;
    for (const Item& item : items) {
        if (!first) {
            text += ", ";
        }
        first = false;
        text += item.label;
        text += item.value;
    }
    return text;
}

std::string InlineRecord(std::initializer_list<Item> items) { return "{ " + JoinItems(items) + " }"; }

std::string Lines(std::initializer_list<Item> items)
{
    std::string text;
    for (const Item& item : items) {
        text += item.label;
        text += item.value;
        text += "\n";
    }
    return text;
}

std::string Section(const char* header, std::initializer_list<Item> items)
{
    return std::string(header) + "\n" + Lines(items);
}

std::string Flag(bool value) { return Formatter::ToString(value); }

std::string RightAligned(const std::string& text, std::size_t width)
{
    if (text.size() >= width) {
        return text;
    }
    return std::string(width - text.size(), ' ') + text;
}

std::string FixedText(const char* text, std::size_t width)
{
    // The field may be filled to its last byte without a terminator.
    return std::string(text, strnlen(text, width));
}

std::string DenseName(int32_t value, const char* const* names, std::size_t count, const char* fallback)
{
    if (value < 0 || static_cast<std::size_t>(value) >= count) {
        return fallback;
    }
    return names[value];
}

std::string SparseName(int32_t value, const ValueName* names, std::size_t count, const char* fallback)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (names[i].value == value) {
            return names[i].name;
        }
    }
    return fallback;
}

}  // namespace descriptor
}  // namespace vscore
