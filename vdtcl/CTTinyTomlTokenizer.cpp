// Piece and delimiter classification of the TOML-like reader.
#include "vdtcl/CTTinyTomlTokenizer.h"

#include <cctype>
#include <cstdint>

namespace vdtcl {

using namespace tinytoml;
using Str = TTString<char>;

namespace {

// Magnitudes are collected only up to this bound, so a long digit run can
// neither wrap nor overflow; everything at or above it is out of range.
constexpr uint64_t kMagnitudeCap = 0x100000000ULL;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Value of a text that IsDecimal() accepted (optional blanks, optional sign,
// digits, optional blanks). False when its magnitude does not fit below
// kMagnitudeCap; the caller checks the exact range it needs.
bool DecimalValue(const Str& text, int64_t& value)
{
    size_t i = 0;
    size_t n = text.Length();
    while (i < n && Str::IsSpaceChr(static_cast<char>(text.At(i)))) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text.At(i) == '-' || text.At(i) == '+')) {
        negative = text.At(i) == '-';
        ++i;
    }
    uint64_t magnitude = 0;
    for (; i < n && IsDigit(text.At(i)); ++i) {
        magnitude = magnitude * 10 + (text.At(i) - '0');
        if (magnitude >= kMagnitudeCap) {
            return false;
        }
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Value of a text that IsHexadecimal() accepted with the "0x" prefix; false
// beyond 32 bits.
bool HexValue(const Str& text, uint32_t& value)
{
    size_t i = 0;
    size_t n = text.Length();
    while (i < n && Str::IsSpaceChr(static_cast<char>(text.At(i)))) {
        ++i;
    }
    i += 2;  // "0x" or "0X"
    uint64_t magnitude = 0;
    for (; i < n && std::isxdigit(text.At(i)); ++i) {
        unsigned char c = text.At(i);
        unsigned digit = IsDigit(c) ? c - '0' : (std::toupper(c) - 'A' + 10);
        magnitude = magnitude * 16 + digit;
        if (magnitude >= kMagnitudeCap) {
            return false;
        }
    }
    value = static_cast<uint32_t>(magnitude);
    return true;
}

bool StartsWithHexPrefix(const Str& piece)
{
    return piece.Length() >= 2 && piece.At(0) == '0' && (piece.At(1) == 'x' || piece.At(1) == 'X');
}

}  // namespace

CTTinyTomlTokenizer::CTTinyTomlTokenizer()
    : m_equalSigns(0), m_tableBrackets(0), m_arrayBrackets(0), m_braces(0), m_lastResult(TOKEN_SUCCESS)
{
}

CTTinyTomlTokenizer::~CTTinyTomlTokenizer() = default;

void CTTinyTomlTokenizer::ClearTokenizedInfo()
{
    m_equalSigns = 0;
    m_tableBrackets = 0;
    m_arrayBrackets = 0;
    m_braces = 0;
}

bool CTTinyTomlTokenizer::TokenizeString(const Str& piece, CTTinyTomlTokenData& token)
{
    token_result_t result;
    unsigned char first = piece.At(0);
    if (piece.IsEmpty()) {
        result = TOKEN_EMPTY_PIECE;
    } else if (std::isalpha(first) || first == '"') {
        result = ClassifyWord(piece, token);
    } else if (first == '+' || first == '-' || IsDigit(first)) {
        result = ClassifyNumber(piece, token);
    } else {
        result = TOKEN_BAD_FIRST_CHAR;
    }
    m_lastResult = result;
    return result == TOKEN_SUCCESS;
}

// A boolean, a string or a name.
token_result_t CTTinyTomlTokenizer::ClassifyWord(const Str& piece, CTTinyTomlTokenData& token)
{
    if (piece.CompareNoCase("true") == 0 || piece.CompareNoCase("false") == 0) {
        if (piece == "true" || piece == "false") {
            return token.SetBoolean(piece == "true") ? TOKEN_SUCCESS : TOKEN_CANNOT_STORE;
        }
        return TOKEN_BAD_BOOLEAN;
    }
    size_t length = piece.Length();
    if (piece.Find('"') != Str::npos) {
        if (piece.At(0) != '"' || piece.At(length - 1) != '"') {
            return TOKEN_BAD_STRING;
        }
        // The text between the quotes; no escapes. A lone quote is empty.
        Str text = length >= 2 ? piece.Mid(1, length - 2) : Str();
        return token.SetString(text) ? TOKEN_SUCCESS : TOKEN_CANNOT_STORE;
    }
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = piece.At(i);
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') {
            return TOKEN_BAD_NAME;
        }
    }
    return token.SetName(piece) ? TOKEN_SUCCESS : TOKEN_CANNOT_STORE;
}

// A decimal or "0x" hexadecimal integer, or a float. Values that do not fit
// in 32 bits are refused rather than wrapped.
token_result_t CTTinyTomlTokenizer::ClassifyNumber(const Str& piece, CTTinyTomlTokenData& token)
{
    bool hexPrefix = StartsWithHexPrefix(piece);
    if (!hexPrefix && piece.FindOneOf(".eE") != Str::npos) {
        return ClassifyFloat(piece, token);
    }
    int32_t value;
    if (piece.IsDecimal()) {
        int64_t v = 0;
        if (!DecimalValue(piece, v) || v < INT32_MIN || v > INT32_MAX) {
            return TOKEN_BAD_INTEGER;
        }
        value = static_cast<int32_t>(v);
    } else if (hexPrefix && piece.IsHexadecimal()) {
        uint32_t bits = 0;
        if (!HexValue(piece, bits)) {
            return TOKEN_BAD_INTEGER;
        }
        value = static_cast<int32_t>(bits);  // kept as the same bit pattern
    } else {
        return TOKEN_BAD_INTEGER;
    }
    return token.SetInteger(value) ? TOKEN_SUCCESS : TOKEN_CANNOT_STORE;
}

// Integer part "." fraction digits; the fraction keeps its digits without
// leading zeros. Exponents are not accepted.
token_result_t CTTinyTomlTokenizer::ClassifyFloat(const Str& piece, CTTinyTomlTokenData& token)
{
    size_t dot = piece.Find('.');
    if (dot == Str::npos || dot == 0) {
        return TOKEN_BAD_FLOAT;
    }
    Str before = piece.Left(dot);
    Str after = piece.RightFrom(dot + 1);
    if (!before.IsDecimal() || !IsDigit(after.At(0))) {
        return TOKEN_BAD_FLOAT;
    }
    size_t zeros = 0;
    while (zeros + 1 < after.Length() && after.At(zeros) == '0') {
        ++zeros;
    }
    after.Erase(0, zeros);
    if (!after.IsDecimal()) {
        return TOKEN_BAD_FLOAT;
    }
    int64_t integerPart = 0;
    int64_t fraction = 0;
    if (!DecimalValue(before, integerPart) || integerPart < INT32_MIN || integerPart > INT32_MAX ||
        !DecimalValue(after, fraction) || fraction < 0 || fraction > UINT32_MAX) {
        return TOKEN_BAD_FLOAT;
    }
    return token.SetFloat(static_cast<int32_t>(integerPart), static_cast<uint32_t>(fraction)) ? TOKEN_SUCCESS
                                                                                              : TOKEN_CANNOT_STORE;
}

bool CTTinyTomlTokenizer::TokenizeDelimiter(char c, CTTinyTomlTokenData& token)
{
    token_type_t type;
    switch (c) {
    case ',':
        type = TOKEN_COMMA;
        break;
    case '.':
        type = TOKEN_DOT;
        break;
    case '=':
        type = TOKEN_EQUAL;
        break;
    case '[':
        type = TOKEN_LEFT_BRACKET;
        break;
    case ']':
        type = TOKEN_RIGHT_BRACKET;
        break;
    case '{':
        type = TOKEN_LEFT_BRACE;
        break;
    case '}':
        type = TOKEN_RIGHT_BRACE;
        break;
    default:
        m_lastResult = TOKEN_BAD_DELIMITER;
        return false;
    }
    if (!token.SetTokenType(type)) {
        m_lastResult = TOKEN_CANNOT_STORE;
        return false;
    }
    if (c == '=') {
        ++m_equalSigns;
    } else if (c == '[' || c == ']') {
        // A bracket after an "=" belongs to an array, before one to a table.
        if (m_equalSigns > 0) {
            ++m_arrayBrackets;
        } else {
            ++m_tableBrackets;
        }
    } else if (c == '{' || c == '}') {
        ++m_braces;
    }
    m_lastResult = TOKEN_SUCCESS;
    return true;
}

}  // namespace vdtcl
