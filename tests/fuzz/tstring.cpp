// Number conversion and token splitting of the toolbox string on arbitrary
// bytes: conversions must agree with strtol where both apply, number texts
// must convert back, and token walks must move forward and stay inside.
#include "vdtcl/TTString.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using Str = vdtcl::TTString<char>;

namespace {

void Check(bool ok)
{
    if (!ok) {
        abort();
    }
}

size_t Digits(const Str& s, bool hex)
{
    size_t n = 0;
    for (size_t i = 0; i < s.Length(); ++i) {
        n += hex ? Str::IsXDigitChr(s.C_str()[i]) : Str::IsDigitChr(s.C_str()[i]);
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6) {
        return 0;
    }
    // Header: 4 bytes number/width, 1 byte base selector, 1 byte delimiter count.
    uint32_t word;
    memcpy(&word, data, sizeof word);
    const int bases[] = {8, 10, 16, static_cast<int>(data[4])};
    int base = bases[data[4] % 4];
    size_t delimCount = data[5] % 4 + 1;
    data += 6;
    size -= 6;
    if (delimCount > size) {
        delimCount = size;
    }
    Str delims(reinterpret_cast<const char*>(data), delimCount);
    Str text(reinterpret_cast<const char*>(data + delimCount), size - delimCount);
    Check(text.Length() <= size - delimCount && strlen(text.C_str()) == text.Length());

    bool negative = false;
    int value = text.ToInteger();
    unsigned int magnitude = text.ConvertStringToNumber<unsigned int>(negative);
    Check(static_cast<unsigned int>(negative ? -static_cast<long long>(magnitude) : magnitude) ==
          static_cast<unsigned int>(value));
    bool decimal = text.IsDecimal();
    bool hex = text.IsHexadecimal();
    Check(!(decimal && hex));
    if (decimal && Digits(text, false) <= 9) {
        Check(value == strtol(text.C_str(), nullptr, 10));
    }
    // Up to seven digits behind "0x" (whose 0 counts too) fit strtol exactly.
    if (hex && text.Find('$') == Str::npos && Digits(text, true) <= 8) {
        Check(value == strtol(text.C_str(), nullptr, 16));
    }

    // Number to text and back.
    Str number;
    number.ToString(static_cast<unsigned int>(word), base);
    Check(static_cast<uint32_t>(number.ToInteger()) == word);
    number.ToString(static_cast<int>(word), 10);
    Check(number.ToInteger() == static_cast<int>(word) && number.IsDecimal());
    number.ConvertNumberToString<int>(static_cast<int>(word), static_cast<int>(word) < 0, base, static_cast<int>(word));
    Check(number.Length() <= Str::kMaxLength && strlen(number.C_str()) == number.Length());

    // Token walk: positions strictly increase, tokens are never longer than the text.
    size_t pos = 0;
    size_t last = 0;
    bool first = true;
    while (pos != Str::npos) {
        Str token = text.GetToken(delims.C_str(), pos, (word & 1) != 0);
        Check(token.Length() <= text.Length());
        Check(pos == Str::npos || first || pos > last);
        Check(pos == Str::npos || pos < text.Length());
        last = pos;
        first = false;
    }
    return 0;
}
