// Second stage of the TOML-like reader: checks the scanner's lines against
// the grammar (table lines, array-of-tables lines and the key lines below
// them) and builds the syntax tree. Faulty lines are dropped with an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "vdtcl/CTTinyTomlScanner.h"
#include "vdtcl/CTTinyTomlSyntaxNode.h"
#include "vdtcl/CTTinyTomlTokenData.h"
#include "vdtcl/TTString.h"

namespace vdtcl {
namespace tinytoml {

enum parse_result_t : int32_t {
    PARSE_SUCCESS = 0,
    // 1 to 5: the scanner's file-level error of the same number.
    PARSE_EMPTY_PATH = 1,
    PARSE_NO_FILE = 2,
    PARSE_CANNOT_READ = 3,
    PARSE_NO_TOKENS = 4,
    PARSE_CANNOT_STORE = 5,
    PARSE_NO_LINE = 6,  // also an empty piece of text on a line
    PARSE_NO_LINE_START = 7,
    PARSE_LINE_START_IN_SKIP = 8,
    PARSE_LEXICAL = 20,
    PARSE_BAD_TABLE_LINE = 21,
    PARSE_BAD_ARRAY_TABLE_LINE = 22,
    PARSE_BAD_TABLE_NAME = 23,
    PARSE_BAD_INLINE_TABLE = 24,
    PARSE_BAD_KEY_LINE = 25,
    PARSE_BAD_KEY_NAME = 26,
    PARSE_BAD_VALUE = 27,
    PARSE_BAD_INTEGER = 28,
    PARSE_BAD_FLOAT = 29,
    PARSE_BAD_BOOLEAN = 30,
    PARSE_BAD_ARRAY = 31,
    PARSE_NO_TABLE_NAME = 101,
    PARSE_TABLE_TWICE = 102,
    PARSE_NO_KEY_NAME = 103,
    PARSE_KEY_TWICE = 104,
    PARSE_NO_EQUAL_SIGN = 105,
    PARSE_NO_VALUE = 106,
    PARSE_MIXED_ARRAY = 107,
    PARSE_OTHER_SCANNER_ERROR = 999,
};

}  // namespace tinytoml

class CTTinyTomlParser {
public:
    // Arrays nest at most this deep; deeper ones are malformed (31).
    static constexpr unsigned kMaxArrayDepth = 16;

    CTTinyTomlParser();
    CTTinyTomlParser(const CTTinyTomlParser&) = delete;
    CTTinyTomlParser& operator=(const CTTinyTomlParser&) = delete;
    virtual ~CTTinyTomlParser();

    // Scans and parses the file into a new syntax tree. False only when the
    // scanner failed (its error is queued); grammar errors are queued and
    // drop their line.
    bool ParseFile(const TTString<char>& path);
    // The same over a block of bytes.
    bool ParseMemory(const char* data, size_t size);

    // Syntax-tree cursor. MoveToSyntaxTreeChild moves to child index and
    // advances index; false (cursor unchanged) when there is no such child.
    void BackToSyntaxTreeRoot();
    bool MoveToSyntaxTreeChild(int& index);
    bool BackToSyntaxTreeParent();
    int GetNumberOfSyntaxTreeChilds() const;
    tinytoml::syntax_node_type_t GetSyntaxTreeNodeType() const;
    bool GetSyntaxTreeNodeData(CTTinyTomlTokenData& token) const;

    // Removes the first queued error; false when there is none.
    bool ExtractErrorInfo(unsigned& line, tinytoml::parse_result_t& code);

private:
    using Node = CTTinyTomlSyntaxNode;
    using NodePtr = std::unique_ptr<CTTinyTomlSyntaxNode>;

    void Reset();
    template <class Scan>
    bool Parse(Scan scan);
    bool TakeScannerResult(bool scanned);
    void ParseTokens();
    bool ParseTableLine(tinytoml::line_type_t lineType);
    bool ParseKeyLines(CTTinyTomlTokenData& token);
    void ParseKeyLine(tinytoml::line_type_t lineType);
    bool ParseKeyName(std::set<std::string>& keys, CTTinyTomlTokenData& key, std::string& name);
    NodePtr ParseValue();
    NodePtr ParseValueOrArray();
    NodePtr ParseArray();
    NodePtr ParseInlineTable(const CTTinyTomlTokenData& key);
    bool ExpectLineEnd(tinytoml::parse_result_t code);

    bool NextInLine(CTTinyTomlTokenData& token);
    tinytoml::token_type_t PeekType() const;
    void Fail(tinytoml::parse_result_t code, const CTTinyTomlTokenData& offending);
    void FailLexical(const CTTinyTomlTokenData& errorToken, bool tableLine);
    void SkipRestOfLine();
    void QueueError(tinytoml::parse_result_t code);

    CTTinyTomlScanner m_scanner;
    NodePtr m_root;
    Node* m_cursor;                                             // never null
    Node* m_table;                                              // table node the key lines go to
    std::map<std::string, tinytoml::line_type_t> m_tableNames;  // how each name was declared
    std::set<std::string> m_tableKeys;                          // keys of the current table
    std::deque<std::pair<unsigned, tinytoml::parse_result_t>> m_errors;
    uint32_t m_line;  // line being parsed
};

}  // namespace vdtcl
