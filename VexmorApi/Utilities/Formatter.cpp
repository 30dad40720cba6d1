// Text helpers of the engine.
#include "VexmorApi/Utilities/Formatter.h"

#include <cstdio>

std::string Formatter::ToString(bool value) { return value ? "true" : "false"; }

std::string Formatter::ToHexString(unsigned value, unsigned char digits)
{
    // "0x", up to 255 fill digits and the terminator: a wide fill never cuts
    // the value's own digits off the end.
    char text[2 + 255 + 1];
    std::snprintf(text, sizeof text, "0x%0*x", static_cast<int>(digits), value);
    return text;
}

std::string Formatter::ToCommaSeparatedNumber(long value, unsigned char groupSize)
{
    // The magnitude in unsigned arithmetic, so the most negative value works.
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    std::string digits = std::to_string(magnitude);

    std::string result;
    if (value < 0) {
        result += '-';
    }
    size_t const count = digits.size();
    for (size_t i = 0; i < count; ++i) {
        if (groupSize != 0 && i != 0 && (count - i) % groupSize == 0) {
            result += ',';
        }
        result += digits[i];
    }
    return result;
}
