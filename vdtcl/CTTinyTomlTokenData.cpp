// One token of the TOML-like reader: type and owned value.
#include "vdtcl/CTTinyTomlTokenData.h"

#include <utility>

namespace vdtcl {

using namespace tinytoml;

CTTinyTomlTokenData::CTTinyTomlTokenData()
    : m_type(TOKEN_NONE), m_hasValue(false), m_integer(0), m_unsigned(0), m_boolean(false)
{
}

CTTinyTomlTokenData::CTTinyTomlTokenData(const CTTinyTomlTokenData& other)
    : m_type(other.m_type),
      m_hasValue(other.m_hasValue),
      m_text(other.m_text),
      m_integer(other.m_integer),
      m_unsigned(other.m_unsigned),
      m_boolean(other.m_boolean)
{
}

CTTinyTomlTokenData::CTTinyTomlTokenData(CTTinyTomlTokenData&& other) noexcept
    : m_type(other.m_type),
      m_hasValue(other.m_hasValue),
      m_text(std::move(other.m_text)),
      m_integer(other.m_integer),
      m_unsigned(other.m_unsigned),
      m_boolean(other.m_boolean)
{
    other.Reset();
}

CTTinyTomlTokenData& CTTinyTomlTokenData::operator=(const CTTinyTomlTokenData& other)
{
    if (this != &other) {
        m_type = other.m_type;
        m_hasValue = other.m_hasValue;
        m_text = other.m_text;
        m_integer = other.m_integer;
        m_unsigned = other.m_unsigned;
        m_boolean = other.m_boolean;
    }
    return *this;
}

CTTinyTomlTokenData& CTTinyTomlTokenData::operator=(CTTinyTomlTokenData&& other) noexcept
{
    if (this != &other) {
        m_type = other.m_type;
        m_hasValue = other.m_hasValue;
        m_text = std::move(other.m_text);
        m_integer = other.m_integer;
        m_unsigned = other.m_unsigned;
        m_boolean = other.m_boolean;
        other.Reset();
    }
    return *this;
}

CTTinyTomlTokenData::~CTTinyTomlTokenData() = default;

void CTTinyTomlTokenData::Reset()
{
    m_type = TOKEN_NONE;
    m_hasValue = false;
    m_text.Clear();
    m_integer = 0;
    m_unsigned = 0;
    m_boolean = false;
}

bool CTTinyTomlTokenData::SetTokenType(token_type_t type)
{
    if (m_type != TOKEN_NONE || type <= TOKEN_NONE) {
        return false;
    }
    m_type = type;
    return true;
}

// A value setter may give an untyped token its type; a typed token accepts
// only values of its own kind.
bool CTTinyTomlTokenData::Claim(token_type_t type)
{
    if (m_type == TOKEN_NONE) {
        m_type = type;
    }
    return m_type == type;
}

bool CTTinyTomlTokenData::SetName(const TTString<char>& name)
{
    if (!Claim(TOKEN_NAME)) {
        return false;
    }
    m_text = name;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetString(const TTString<char>& text)
{
    if (!Claim(TOKEN_STRING)) {
        return false;
    }
    m_text = text;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetInteger(int32_t value)
{
    if (!Claim(TOKEN_INTEGER)) {
        return false;
    }
    m_integer = value;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetFloat(int32_t integerPart, uint32_t fraction)
{
    if (!Claim(TOKEN_FLOAT)) {
        return false;
    }
    m_integer = integerPart;
    m_unsigned = fraction;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetBoolean(bool value)
{
    if (!Claim(TOKEN_BOOLEAN)) {
        return false;
    }
    m_boolean = value;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetLineNumber(uint32_t line)
{
    if (!Claim(TOKEN_LINE_START)) {
        return false;
    }
    if (!m_hasValue) {
        m_integer = LINE_OTHER;
    }
    m_unsigned = line;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::SetLineType(line_type_t type)
{
    if (m_type != TOKEN_LINE_START || !m_hasValue) {
        return false;
    }
    m_integer = type;
    return true;
}

bool CTTinyTomlTokenData::SetErrorCode(token_result_t code)
{
    if (!Claim(TOKEN_ERROR)) {
        return false;
    }
    m_integer = code;
    m_hasValue = true;
    return true;
}

bool CTTinyTomlTokenData::GetTokenType(token_type_t& type) const
{
    type = m_type;
    return m_type != TOKEN_NONE;
}

bool CTTinyTomlTokenData::GetName(TTString<char>& name) const
{
    name.Clear();
    if (m_type != TOKEN_NAME || !m_hasValue) {
        return false;
    }
    name = m_text;
    return true;
}

bool CTTinyTomlTokenData::GetString(TTString<char>& text) const
{
    text.Clear();
    if (m_type != TOKEN_STRING || !m_hasValue) {
        return false;
    }
    text = m_text;
    return true;
}

bool CTTinyTomlTokenData::GetInteger(int32_t& value) const
{
    value = 0;
    if (m_type != TOKEN_INTEGER || !m_hasValue) {
        return false;
    }
    value = m_integer;
    return true;
}

bool CTTinyTomlTokenData::GetFloat(int32_t& integerPart, uint32_t& fraction) const
{
    integerPart = 0;
    fraction = 0;
    if (m_type != TOKEN_FLOAT || !m_hasValue) {
        return false;
    }
    integerPart = m_integer;
    fraction = m_unsigned;
    return true;
}

bool CTTinyTomlTokenData::GetBoolean(bool& value) const
{
    value = false;
    if (m_type != TOKEN_BOOLEAN || !m_hasValue) {
        return false;
    }
    value = m_boolean;
    return true;
}

bool CTTinyTomlTokenData::GetLineInfo(uint32_t& line, line_type_t& type) const
{
    line = 0;
    type = LINE_OTHER;
    if (m_type != TOKEN_LINE_START || !m_hasValue) {
        return false;
    }
    line = m_unsigned;
    type = static_cast<line_type_t>(m_integer);
    return true;
}

bool CTTinyTomlTokenData::GetErrorCode(token_result_t& code) const
{
    code = TOKEN_SUCCESS;
    if (m_type != TOKEN_ERROR || !m_hasValue) {
        return false;
    }
    code = static_cast<token_result_t>(m_integer);
    return true;
}

}  // namespace vdtcl
