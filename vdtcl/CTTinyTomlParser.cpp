// Grammar check and syntax-tree building of the TOML-like reader.
#include "vdtcl/CTTinyTomlParser.h"

#include <climits>
#include <new>
#include <vector>

namespace vdtcl {

using namespace tinytoml;
using Str = TTString<char>;

namespace {

bool IsValueType(token_type_t type)
{
    return type == TOKEN_STRING || type == TOKEN_INTEGER || type == TOKEN_FLOAT || type == TOKEN_BOOLEAN;
}

std::string NameOf(const CTTinyTomlTokenData& token)
{
    Str name;
    token.GetName(name);
    return std::string(name.C_str(), name.Length());
}

bool IsTableLine(line_type_t type) { return type == LINE_TABLE || type == LINE_ARRAY_TABLE; }

}  // namespace

CTTinyTomlParser::CTTinyTomlParser()
    : m_root(new Node(SYNTAX_ROOT)), m_cursor(m_root.get()), m_table(nullptr), m_line(0)
{
}

CTTinyTomlParser::~CTTinyTomlParser() = default;

void CTTinyTomlParser::Reset()
{
    m_scanner.ReleaseTokenQueue();
    m_root.reset(new Node(SYNTAX_ROOT));
    m_cursor = m_root.get();
    m_table = nullptr;
    m_tableNames.clear();
    m_tableKeys.clear();
    m_errors.clear();
    m_line = 0;
}

bool CTTinyTomlParser::ParseFile(const Str& path)
{
    return Parse([&] { return m_scanner.LexicalizeFile(path); });
}

bool CTTinyTomlParser::ParseMemory(const char* data, size_t size)
{
    return Parse([&] { return m_scanner.LexicalizeMemory(data, size); });
}

// Starts a new tree, lets scan fill the token queue and parses it; false when
// the scan failed or memory ran out. The token queue is empty afterwards.
template <class Scan>
bool CTTinyTomlParser::Parse(Scan scan)
{
    bool ok = false;
    try {
        Reset();
        ok = TakeScannerResult(scan());
        if (ok) {
            ParseTokens();
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    m_scanner.ReleaseTokenQueue();
    return ok;
}

// On a failed scan, queues the error that ended the reading (the scanner's
// last one; earlier ones belong to pieces of lines read before).
bool CTTinyTomlParser::TakeScannerResult(bool scanned)
{
    if (scanned) {
        return true;
    }
    unsigned line = 0;
    token_result_t code = TOKEN_SUCCESS;
    unsigned l;
    token_result_t c;
    while (m_scanner.ExtractErrorInfo(l, c)) {
        line = l;
        code = c;
    }
    parse_result_t result = code >= TOKEN_EMPTY_PATH && code <= TOKEN_CANNOT_STORE ? static_cast<parse_result_t>(code)
                                                                                   : PARSE_OTHER_SCANNER_ERROR;
    m_errors.emplace_back(line, result);
    m_scanner.ReleaseTokenQueue();
    return false;
}

// Looks for table lines; each good one gets a node under the root and the
// key lines that follow it. Other lines outside a table are passed over.
void CTTinyTomlParser::ParseTokens()
{
    CTTinyTomlTokenData token;
    bool have = m_scanner.ExtractTokenData(token);
    if (!have) {
        QueueError(PARSE_NO_LINE);
        return;
    }
    while (have) {
        token_type_t type = token.GetTokenType();
        if (type != TOKEN_LINE_START) {
            QueueError(PARSE_NO_LINE_START);
            if (type != TOKEN_LINE_END) {
                SkipRestOfLine();
            }
            have = m_scanner.ExtractTokenData(token);
            continue;
        }
        line_type_t lineType;
        token.GetLineInfo(m_line, lineType);
        if (IsTableLine(lineType)) {
            if (ParseTableLine(lineType)) {
                have = ParseKeyLines(token);  // token: the line that ended the table
                BackToSyntaxTreeRoot();
                m_table = nullptr;
                continue;
            }
        } else {
            SkipRestOfLine();
        }
        have = m_scanner.ExtractTokenData(token);
    }
}

// "[" name "]" or "[" "[" name "]" "]", then the end of the line. A name may
// be declared once by a table line; an array-of-tables name may come again
// only in array-of-tables lines, each adding an element.
bool CTTinyTomlParser::ParseTableLine(line_type_t lineType)
{
    bool array = lineType == LINE_ARRAY_TABLE;
    parse_result_t malformed = array ? PARSE_BAD_ARRAY_TABLE_LINE : PARSE_BAD_TABLE_LINE;
    int brackets = array ? 2 : 1;
    CTTinyTomlTokenData token;
    for (int i = 0; i < brackets; ++i) {
        NextInLine(token);
        if (token.GetTokenType() != TOKEN_LEFT_BRACKET) {
            Fail(malformed, token);
            return false;
        }
    }
    CTTinyTomlTokenData nameToken;
    NextInLine(nameToken);
    token_type_t type = nameToken.GetTokenType();
    if (type != TOKEN_NAME) {
        if (type == TOKEN_ERROR) {
            FailLexical(nameToken, true);
        } else if (IsValueType(type)) {
            Fail(PARSE_BAD_TABLE_NAME, nameToken);
        } else if (type == TOKEN_RIGHT_BRACKET) {
            Fail(PARSE_NO_TABLE_NAME, nameToken);
        } else {
            Fail(malformed, nameToken);
        }
        return false;
    }
    for (int i = 0; i < brackets; ++i) {
        NextInLine(token);
        if (token.GetTokenType() != TOKEN_RIGHT_BRACKET) {
            Fail(malformed, token);
            return false;
        }
    }
    if (!ExpectLineEnd(malformed)) {
        return false;
    }
    // The whole line has been read: a refused name drops this line only.
    std::string name = NameOf(nameToken);
    auto found = m_tableNames.find(name);
    if (found != m_tableNames.end() && (!array || found->second != LINE_ARRAY_TABLE)) {
        QueueError(PARSE_TABLE_TWICE);
        return false;
    }
    m_tableNames.emplace(name, lineType);
    m_table = m_root->AddChild(NodePtr(new Node(array ? SYNTAX_ARRAY_TABLE : SYNTAX_TABLE, nameToken)));
    m_cursor = m_table;
    m_tableKeys.clear();
    return true;
}

// Key lines of the current table, up to the next table line; false when the
// queue ran out, else token holds the first token after the table.
bool CTTinyTomlParser::ParseKeyLines(CTTinyTomlTokenData& token)
{
    for (;;) {
        if (!m_scanner.ExtractTokenData(token)) {
            return false;
        }
        if (token.GetTokenType() != TOKEN_LINE_START) {
            return true;
        }
        line_type_t lineType;
        token.GetLineInfo(m_line, lineType);
        if (IsTableLine(lineType)) {
            return true;
        }
        ParseKeyLine(lineType);
    }
}

// One key line; a good one is added to the current table.
void CTTinyTomlParser::ParseKeyLine(line_type_t lineType)
{
    if (lineType != LINE_INLINE_TABLE && lineType != LINE_KEY_VALUE && lineType != LINE_KEY_ARRAY) {
        QueueError(PARSE_NO_EQUAL_SIGN);
        SkipRestOfLine();
        return;
    }
    CTTinyTomlTokenData key;
    std::string name;
    if (!ParseKeyName(m_tableKeys, key, name)) {
        return;
    }
    NodePtr content;
    if (lineType == LINE_KEY_VALUE) {
        content = ParseValue();
        if (content == nullptr || !ExpectLineEnd(PARSE_BAD_KEY_LINE)) {
            return;
        }
    } else if (lineType == LINE_KEY_ARRAY) {
        content = ParseArray();
        if (content == nullptr || !ExpectLineEnd(PARSE_BAD_ARRAY)) {
            return;
        }
    } else {
        content = ParseInlineTable(key);
        if (content == nullptr || !ExpectLineEnd(PARSE_BAD_INLINE_TABLE)) {
            return;
        }
        m_table->AddChild(std::move(content));
        m_tableKeys.insert(name);
        return;
    }
    NodePtr pair(new Node(SYNTAX_KEY_VALUE));
    pair->AddChild(NodePtr(new Node(SYNTAX_KEY, key)));
    pair->AddChild(std::move(content));
    m_table->AddChild(std::move(pair));
    m_tableKeys.insert(name);
}

// name "=", the name not yet in keys.
bool CTTinyTomlParser::ParseKeyName(std::set<std::string>& keys, CTTinyTomlTokenData& key, std::string& name)
{
    NextInLine(key);
    token_type_t type = key.GetTokenType();
    if (type != TOKEN_NAME) {
        if (type == TOKEN_ERROR) {
            FailLexical(key, false);
        } else if (IsValueType(type)) {
            Fail(PARSE_BAD_KEY_NAME, key);
        } else {
            Fail(PARSE_NO_KEY_NAME, key);
        }
        return false;
    }
    name = NameOf(key);
    CTTinyTomlTokenData equal;
    NextInLine(equal);
    if (equal.GetTokenType() != TOKEN_EQUAL) {
        Fail(PARSE_NO_EQUAL_SIGN, equal);
        return false;
    }
    if (keys.count(name) != 0) {
        Fail(PARSE_KEY_TWICE, equal);
        return false;
    }
    return true;
}

CTTinyTomlParser::NodePtr CTTinyTomlParser::ParseValue()
{
    CTTinyTomlTokenData token;
    NextInLine(token);
    token_type_t type = token.GetTokenType();
    if (IsValueType(type)) {
        return NodePtr(new Node(SYNTAX_VALUE, token));
    }
    if (type == TOKEN_ERROR) {
        FailLexical(token, false);
    } else if (type == TOKEN_NAME) {
        Fail(PARSE_BAD_VALUE, token);
    } else {
        Fail(PARSE_NO_VALUE, token);
    }
    return nullptr;
}

CTTinyTomlParser::NodePtr CTTinyTomlParser::ParseValueOrArray()
{
    return PeekType() == TOKEN_LEFT_BRACKET ? ParseArray() : ParseValue();
}

// "[" element { "," element } "]", an element being a value or an array.
// Nesting is followed with an explicit stack of at most kMaxArrayDepth
// levels. The first value of each array fixes the type of its values.
CTTinyTomlParser::NodePtr CTTinyTomlParser::ParseArray()
{
    CTTinyTomlTokenData token;
    NextInLine(token);
    if (token.GetTokenType() != TOKEN_LEFT_BRACKET) {
        Fail(PARSE_BAD_ARRAY, token);
        return nullptr;
    }
    struct Level {
        Node* node;
        token_type_t valueType;
        bool expectElement;
    };
    NodePtr array(new Node(SYNTAX_ARRAY));
    std::vector<Level> levels;
    levels.push_back({array.get(), TOKEN_NONE, true});
    while (!levels.empty()) {
        NextInLine(token);
        token_type_t type = token.GetTokenType();
        Level& level = levels.back();
        if (!level.expectElement) {
            if (type == TOKEN_COMMA) {
                level.expectElement = true;
            } else if (type == TOKEN_RIGHT_BRACKET) {
                levels.pop_back();
            } else {
                Fail(PARSE_BAD_ARRAY, token);
                return nullptr;
            }
            continue;
        }
        if (type == TOKEN_LEFT_BRACKET) {
            if (levels.size() >= kMaxArrayDepth) {
                Fail(PARSE_BAD_ARRAY, token);
                return nullptr;
            }
            level.expectElement = false;
            Node* nested = level.node->AddChild(NodePtr(new Node(SYNTAX_ARRAY)));
            levels.push_back({nested, TOKEN_NONE, true});  // level is not used after this
            continue;
        }
        if (IsValueType(type)) {
            if (level.valueType == TOKEN_NONE) {
                level.valueType = type;
            } else if (level.valueType != type) {
                Fail(PARSE_MIXED_ARRAY, token);
                return nullptr;
            }
            level.node->AddChild(NodePtr(new Node(SYNTAX_VALUE, token)));
            level.expectElement = false;
            continue;
        }
        if (type == TOKEN_ERROR) {
            FailLexical(token, false);
        } else if (type == TOKEN_NAME) {
            Fail(PARSE_BAD_VALUE, token);
        } else if (type == TOKEN_RIGHT_BRACKET) {
            Fail(PARSE_BAD_ARRAY, token);  // an empty array, or "," before "]"
        } else {
            Fail(PARSE_NO_VALUE, token);
        }
        return nullptr;
    }
    return array;
}

// "{" name "=" value-or-array { "," name "=" value-or-array } "}"; no nesting.
CTTinyTomlParser::NodePtr CTTinyTomlParser::ParseInlineTable(const CTTinyTomlTokenData& key)
{
    CTTinyTomlTokenData token;
    NextInLine(token);
    if (token.GetTokenType() != TOKEN_LEFT_BRACE) {
        Fail(PARSE_BAD_INLINE_TABLE, token);
        return nullptr;
    }
    NodePtr table(new Node(SYNTAX_INLINE_TABLE, key));
    std::set<std::string> keys;
    for (;;) {
        CTTinyTomlTokenData name;
        std::string text;
        if (!ParseKeyName(keys, name, text)) {
            return nullptr;
        }
        NodePtr content = ParseValueOrArray();
        if (content == nullptr) {
            return nullptr;
        }
        NodePtr pair(new Node(SYNTAX_KEY_VALUE));
        pair->AddChild(NodePtr(new Node(SYNTAX_KEY, name)));
        pair->AddChild(std::move(content));
        table->AddChild(std::move(pair));
        keys.insert(text);
        NextInLine(token);
        if (token.GetTokenType() == TOKEN_RIGHT_BRACE) {
            return table;
        }
        if (token.GetTokenType() != TOKEN_COMMA) {
            Fail(PARSE_BAD_INLINE_TABLE, token);
            return nullptr;
        }
    }
}

bool CTTinyTomlParser::ExpectLineEnd(parse_result_t code)
{
    CTTinyTomlTokenData token;
    NextInLine(token);
    if (token.GetTokenType() == TOKEN_LINE_END) {
        return true;
    }
    Fail(code, token);
    return false;
}

// The next token of the current line (its end-of-line token included);
// false, with token empty, at the next line's start or the queue's end.
bool CTTinyTomlParser::NextInLine(CTTinyTomlTokenData& token)
{
    token.Reset();
    token_type_t type;
    if (!m_scanner.AccessNextTokenType(type) || type == TOKEN_LINE_START) {
        return false;
    }
    return m_scanner.ExtractTokenData(token);
}

token_type_t CTTinyTomlParser::PeekType() const
{
    token_type_t type;
    m_scanner.AccessNextTokenType(type);
    return type;
}

// Queues code and drops the rest of the line, unless the offending token
// already was its end.
void CTTinyTomlParser::Fail(parse_result_t code, const CTTinyTomlTokenData& offending)
{
    QueueError(code);
    token_type_t type = offending.GetTokenType();
    if (type != TOKEN_LINE_END && type != TOKEN_NONE) {
        SkipRestOfLine();
    }
}

void CTTinyTomlParser::FailLexical(const CTTinyTomlTokenData& errorToken, bool tableLine)
{
    token_result_t code;
    errorToken.GetErrorCode(code);
    parse_result_t result = PARSE_LEXICAL;
    if (code == TOKEN_EMPTY_PIECE) {
        result = PARSE_NO_LINE;
    } else if (tableLine) {
        if (code == TOKEN_BAD_NAME || code == TOKEN_BAD_STRING) {
            result = PARSE_BAD_TABLE_NAME;
        }
    } else {
        switch (code) {
        case TOKEN_BAD_NAME:
            result = PARSE_BAD_KEY_NAME;
            break;
        case TOKEN_BAD_STRING:
            result = PARSE_BAD_VALUE;
            break;
        case TOKEN_BAD_INTEGER:
            result = PARSE_BAD_INTEGER;
            break;
        case TOKEN_BAD_FLOAT:
            result = PARSE_BAD_FLOAT;
            break;
        case TOKEN_BAD_BOOLEAN:
            result = PARSE_BAD_BOOLEAN;
            break;
        default:
            break;
        }
    }
    Fail(result, errorToken);
}

// Reads up to and including the line's end-of-line token. A line that lacks
// one is ended by the next start-of-line token, which stays queued.
void CTTinyTomlParser::SkipRestOfLine()
{
    CTTinyTomlTokenData token;
    while (NextInLine(token)) {
        if (token.GetTokenType() == TOKEN_LINE_END) {
            return;
        }
    }
    if (PeekType() == TOKEN_LINE_START) {
        QueueError(PARSE_LINE_START_IN_SKIP);
    }
}

void CTTinyTomlParser::QueueError(parse_result_t code) { m_errors.emplace_back(m_line, code); }

void CTTinyTomlParser::BackToSyntaxTreeRoot() { m_cursor = m_root.get(); }

bool CTTinyTomlParser::MoveToSyntaxTreeChild(int& index)
{
    if (index < 0 || index == INT_MAX) {
        return false;
    }
    Node* child = m_cursor->GetChild(static_cast<size_t>(index));
    if (child == nullptr) {
        return false;
    }
    m_cursor = child;
    ++index;
    return true;
}

bool CTTinyTomlParser::BackToSyntaxTreeParent()
{
    Node* parent = m_cursor->GetParent();
    if (parent == nullptr) {
        return false;
    }
    m_cursor = parent;
    return true;
}

int CTTinyTomlParser::GetNumberOfSyntaxTreeChilds() const
{
    size_t count = m_cursor->GetNumberOfChilds();
    return count > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

syntax_node_type_t CTTinyTomlParser::GetSyntaxTreeNodeType() const { return m_cursor->GetNodeType(); }

bool CTTinyTomlParser::GetSyntaxTreeNodeData(CTTinyTomlTokenData& token) const
{
    token = m_cursor->GetTokenData();
    return token.GetTokenType() != TOKEN_NONE;
}

bool CTTinyTomlParser::ExtractErrorInfo(unsigned& line, parse_result_t& code)
{
    if (m_errors.empty()) {
        return false;
    }
    line = m_errors.front().first;
    code = m_errors.front().second;
    m_errors.pop_front();
    return true;
}

}  // namespace vdtcl
