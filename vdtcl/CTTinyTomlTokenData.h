// One token of the TOML-like reader and the enumerations of its first stage:
// token types, line types and the scanner's result codes.
#pragma once

#include <cstdint>

#include "vdtcl/TTString.h"

namespace vdtcl {
namespace tinytoml {

enum token_type_t : int32_t {
    TOKEN_NONE = 0,
    TOKEN_LINE_START = 1,  // value: line number and line type
    TOKEN_NAME = 2,
    TOKEN_STRING = 10,
    TOKEN_INTEGER = 11,
    TOKEN_FLOAT = 12,  // value: integer part and fraction digits
    TOKEN_BOOLEAN = 13,
    TOKEN_EQUAL = 20,
    TOKEN_DOT = 21,
    TOKEN_COMMA = 22,
    TOKEN_LEFT_BRACKET = 23,
    TOKEN_RIGHT_BRACKET = 24,
    TOKEN_LEFT_BRACE = 25,
    TOKEN_RIGHT_BRACE = 26,
    TOKEN_ERROR = 40,  // value: token_result_t
    TOKEN_LINE_END = 50,
};

enum line_type_t : int32_t {
    LINE_OTHER = 0,
    LINE_TABLE = 1,         // one or two table brackets
    LINE_ARRAY_TABLE = 2,   // more than two table brackets
    LINE_INLINE_TABLE = 3,  // a "{" or "}"
    LINE_KEY_VALUE = 4,     // an "="
    LINE_KEY_ARRAY = 5,     // an array bracket
};

enum token_result_t : int32_t {
    TOKEN_SUCCESS = 0,
    TOKEN_EMPTY_PATH = 1,
    TOKEN_NO_FILE = 2,
    TOKEN_CANNOT_READ = 3,  // cannot be opened, or a read failed part-way
    TOKEN_NO_TOKENS = 4,
    TOKEN_CANNOT_STORE = 5,
    TOKEN_EMPTY_PIECE = 10,
    TOKEN_BAD_FIRST_CHAR = 11,
    TOKEN_BAD_DELIMITER = 12,
    TOKEN_BAD_NAME = 20,
    TOKEN_BAD_STRING = 21,
    TOKEN_BAD_INTEGER = 22,  // also a value that does not fit in 32 bits
    TOKEN_BAD_FLOAT = 23,
    TOKEN_BAD_BOOLEAN = 24,
};

}  // namespace tinytoml

// A token: its type, settable once, and an owned value whose kind follows
// the type. Getters answer true only for the matching type with a value set.
class CTTinyTomlTokenData {
public:
    CTTinyTomlTokenData();
    CTTinyTomlTokenData(const CTTinyTomlTokenData& other);
    CTTinyTomlTokenData(CTTinyTomlTokenData&& other) noexcept;  // other is left empty
    CTTinyTomlTokenData& operator=(const CTTinyTomlTokenData& other);
    CTTinyTomlTokenData& operator=(CTTinyTomlTokenData&& other) noexcept;
    virtual ~CTTinyTomlTokenData();

    // Fails when a type is already set or type is 0 or below.
    bool SetTokenType(tinytoml::token_type_t type);
    // Each setter sets its type when none is set yet and fails on a token of
    // another type.
    bool SetName(const TTString<char>& name);
    bool SetString(const TTString<char>& text);
    bool SetInteger(int32_t value);
    bool SetFloat(int32_t integerPart, uint32_t fraction);
    bool SetBoolean(bool value);
    bool SetLineNumber(uint32_t line);
    bool SetLineType(tinytoml::line_type_t type);  // only after SetLineNumber
    bool SetErrorCode(tinytoml::token_result_t code);

    bool GetTokenType(tinytoml::token_type_t& type) const;
    tinytoml::token_type_t GetTokenType() const { return m_type; }
    bool GetName(TTString<char>& name) const;
    bool GetString(TTString<char>& text) const;
    bool GetInteger(int32_t& value) const;
    bool GetFloat(int32_t& integerPart, uint32_t& fraction) const;
    bool GetBoolean(bool& value) const;
    bool GetLineInfo(uint32_t& line, tinytoml::line_type_t& type) const;
    bool GetErrorCode(tinytoml::token_result_t& code) const;

    // Empties the token: no type, no value.
    void Reset();

private:
    bool Claim(tinytoml::token_type_t type);

    tinytoml::token_type_t m_type;
    bool m_hasValue;
    TTString<char> m_text;  // name and string
    int32_t m_integer;      // integer, float integer part, line type, error code
    uint32_t m_unsigned;    // float fraction, line number
    bool m_boolean;
};

}  // namespace vdtcl
