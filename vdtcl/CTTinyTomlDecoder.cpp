// Walks the TOML-like reader's syntax tree into its data tree.
#include "vdtcl/CTTinyTomlDecoder.h"

#include <new>

namespace vdtcl {

using namespace tinytoml;
using Str = TTString<char>;

CTTinyTomlDecoder::CTTinyTomlDecoder() = default;

CTTinyTomlDecoder::~CTTinyTomlDecoder() = default;

bool CTTinyTomlDecoder::LoadFileToDataTree(const char* path)
{
    m_tree.Clear();
    try {
        return m_parser.ParseFile(Str(path)) && BuildDataTree();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CTTinyTomlDecoder::LoadMemoryToDataTree(const char* data, size_t size)
{
    m_tree.Clear();
    try {
        return m_parser.ParseMemory(data, size) && BuildDataTree();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CTTinyTomlDecoder::SelectTable(const char* name, unsigned long index) { return m_tree.SelectTable(name, index); }

bool CTTinyTomlDecoder::QueryKeyValue(const char* key, Str& value, int index)
{
    return m_tree.QueryKeyValue(key, value, index);
}

bool CTTinyTomlDecoder::QueryKeyValue(const char* key, int& value, int index)
{
    return m_tree.QueryKeyValue(key, value, index);
}

// Root -> table or array-of-tables element -> key-value pairs and inline
// tables -> their pairs. The first refused insertion ends the load.
bool CTTinyTomlDecoder::BuildDataTree()
{
    bool ok = true;
    CTTinyTomlTokenData token;
    Str name;
    m_parser.BackToSyntaxTreeRoot();
    int table = 0;
    while (ok && m_parser.MoveToSyntaxTreeChild(table)) {
        m_parser.GetSyntaxTreeNodeData(token);
        token.GetName(name);
        syntax_node_type_t type = m_parser.GetSyntaxTreeNodeType();
        ok = type == SYNTAX_TABLE         ? m_tree.InsertTable(name)
             : type == SYNTAX_ARRAY_TABLE ? m_tree.InsertArrayTable(name)
                                          : false;
        int child = 0;
        while (ok && m_parser.MoveToSyntaxTreeChild(child)) {
            if (m_parser.GetSyntaxTreeNodeType() == SYNTAX_KEY_VALUE) {
                ok = InsertPair();
            } else if (m_parser.GetSyntaxTreeNodeType() == SYNTAX_INLINE_TABLE) {
                m_parser.GetSyntaxTreeNodeData(token);
                token.GetName(name);
                ok = m_tree.InsertInlineTable(name);
                int pair = 0;
                while (ok && m_parser.MoveToSyntaxTreeChild(pair)) {
                    ok = InsertPair();
                    m_parser.BackToSyntaxTreeParent();
                }
                ok = m_tree.LeaveInlineTable() && ok;
            }
            m_parser.BackToSyntaxTreeParent();
        }
        m_parser.BackToSyntaxTreeParent();
    }
    m_parser.BackToSyntaxTreeRoot();
    return ok;
}

// The cursor is on a key-value node: its key, then a value or an array
// whose values (not its nested arrays) become the key's elements.
bool CTTinyTomlDecoder::InsertPair()
{
    CTTinyTomlTokenData token;
    Str key;
    int child = 0;
    if (!m_parser.MoveToSyntaxTreeChild(child)) {
        return false;
    }
    m_parser.GetSyntaxTreeNodeData(token);
    token.GetName(key);
    m_parser.BackToSyntaxTreeParent();
    if (!m_parser.MoveToSyntaxTreeChild(child)) {
        return false;
    }
    bool ok = true;
    if (m_parser.GetSyntaxTreeNodeType() == SYNTAX_VALUE) {
        m_parser.GetSyntaxTreeNodeData(token);
        ok = m_tree.InsertKeyValue(key, token);
    } else if (m_parser.GetSyntaxTreeNodeType() == SYNTAX_ARRAY) {
        int element = 0;
        while (ok && m_parser.MoveToSyntaxTreeChild(element)) {
            if (m_parser.GetSyntaxTreeNodeType() == SYNTAX_VALUE) {
                m_parser.GetSyntaxTreeNodeData(token);
                ok = m_tree.InsertArrayValue(key, token);
            }
            m_parser.BackToSyntaxTreeParent();
        }
    }
    m_parser.BackToSyntaxTreeParent();
    return ok;
}

}  // namespace vdtcl
