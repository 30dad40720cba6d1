// Small text helpers of the engine: booleans, hexadecimal and grouped decimal
// numbers, and the locale question behind the default units.
#pragma once

#include <string>

class Formatter {
public:
    // "true" or "false".
    static std::string ToString(bool value);
    // "0x" and the value in lower-case hexadecimal, zero-filled to at least
    // `digits` digits; a longer value is never cut.
    static std::string ToHexString(unsigned value, unsigned char digits);
    // The decimal text with "," between groups of `groupSize` digits counted
    // from the right ("-1,000"); a group size of 0 writes no separators.
    static std::string ToCommaSeparatedNumber(long value, unsigned char groupSize);
};

class LocaleInfo {
public:
    // Units default to metric everywhere.
    static bool IsMetricCountry() { return true; }
};
