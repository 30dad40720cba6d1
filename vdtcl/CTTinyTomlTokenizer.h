// Classifies one piece of a line of the TOML-like reader as a token, and
// counts the delimiters of the current line that decide its line type.
#pragma once

#include "vdtcl/CTTinyTomlTokenData.h"
#include "vdtcl/TTString.h"

namespace vdtcl {

class CTTinyTomlTokenizer {
public:
    CTTinyTomlTokenizer();
    virtual ~CTTinyTomlTokenizer();

    // Turns a trimmed piece of text (no delimiter in it) into a name, string,
    // integer, float or boolean token in an empty token. False with the
    // reason in GetLastResultCode(). Integers must fit in 32 bits: decimal
    // ones as signed values, hexadecimal ones as bit patterns up to 0xFFFFFFFF.
    bool TokenizeString(const TTString<char>& piece, CTTinyTomlTokenData& token);
    // The token of one delimiter character; counts it for the line type.
    bool TokenizeDelimiter(char c, CTTinyTomlTokenData& token);

    // Starts a new line: zeroes the four counters.
    void ClearTokenizedInfo();
    unsigned GetCountEqualSign() const { return m_equalSigns; }
    unsigned GetCountTableBracket() const { return m_tableBrackets; }
    unsigned GetCountArrayBracket() const { return m_arrayBrackets; }
    unsigned GetCountCurlybraces() const { return m_braces; }
    tinytoml::token_result_t GetLastResultCode() const { return m_lastResult; }

private:
    tinytoml::token_result_t ClassifyWord(const TTString<char>& piece, CTTinyTomlTokenData& token);
    tinytoml::token_result_t ClassifyNumber(const TTString<char>& piece, CTTinyTomlTokenData& token);
    tinytoml::token_result_t ClassifyFloat(const TTString<char>& piece, CTTinyTomlTokenData& token);

    unsigned m_equalSigns;
    unsigned m_tableBrackets;
    unsigned m_arrayBrackets;
    unsigned m_braces;
    tinytoml::token_result_t m_lastResult;
};

}  // namespace vdtcl
