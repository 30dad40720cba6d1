// Tables, keys and queries of the TOML-like reader's loaded data.
#include "vdtcl/CTTinyTomlDataTree.h"

#include <new>

namespace vdtcl {

using namespace tinytoml;

namespace {

bool IsEmptyName(const char* name) { return name == nullptr || name[0] == '\0'; }

std::string Numbered(const std::string& name, unsigned long n) { return name + ":" + std::to_string(n); }

data_node_type_t DataTypeOf(const CTTinyTomlTokenData& token)
{
    switch (token.GetTokenType()) {
    case TOKEN_STRING:
        return DATA_STRING;
    case TOKEN_INTEGER:
        return DATA_INTEGER;
    case TOKEN_FLOAT:
        return DATA_FLOAT;
    case TOKEN_BOOLEAN:
        return DATA_BOOLEAN;
    default:
        return DATA_NONE;
    }
}

}  // namespace

CTTinyTomlDataTree::CTTinyTomlDataTree() = default;

CTTinyTomlDataTree::~CTTinyTomlDataTree() = default;

void CTTinyTomlDataTree::Clear()
{
    m_tables.clear();
    m_arrayTableCounts.clear();
    m_current.clear();
    m_saved.clear();
}

bool CTTinyTomlDataTree::InsertTable(const char* name)
{
    m_saved.clear();
    if (IsEmptyName(name) || m_tables.count(name) != 0) {
        m_current.clear();  // keys that follow must not land in another table
        return false;
    }
    m_tables.emplace(name, BLOCKDATA());
    m_current = name;
    return true;
}

bool CTTinyTomlDataTree::InsertArrayTable(const char* name)
{
    m_saved.clear();
    m_current.clear();
    if (IsEmptyName(name) || m_tables.count(name) != 0) {
        return false;
    }
    unsigned long count = CountOfArrayTables(name) + 1;
    std::string element = Numbered(name, count);
    if (count == 0 || m_tables.count(element) != 0) {
        return false;
    }
    m_tables.emplace(element, BLOCKDATA());
    m_arrayTableCounts[name] = count;
    m_current = element;
    return true;
}

bool CTTinyTomlDataTree::InsertInlineTable(const char* name)
{
    if (m_current.empty() || !m_saved.empty() || IsEmptyName(name)) {
        return false;
    }
    std::string table = m_current + "." + name;
    if (m_tables.count(table) != 0) {
        return false;
    }
    m_tables.emplace(table, BLOCKDATA());
    m_saved = m_current;
    m_current = table;
    return true;
}

bool CTTinyTomlDataTree::LeaveInlineTable()
{
    if (m_saved.empty()) {
        return false;
    }
    m_current = m_saved;
    m_saved.clear();
    return true;
}

bool CTTinyTomlDataTree::InsertKeyValue(const char* key, const CTTinyTomlTokenData& token)
{
    BLOCKDATA* block = CurrentBlock();
    data_node_type_t type = DataTypeOf(token);
    if (block == nullptr || IsEmptyName(key) || type == DATA_NONE || block->count(key) != 0) {
        return false;
    }
    block->emplace(key, NODEDATA{type, token});
    return true;
}

// Checks everything before changing anything, so a refused element leaves
// the array as it was.
bool CTTinyTomlDataTree::InsertArrayValue(const char* key, const CTTinyTomlTokenData& token)
{
    BLOCKDATA* block = CurrentBlock();
    if (block == nullptr || IsEmptyName(key) || DataTypeOf(token) == DATA_NONE) {
        return false;
    }
    int32_t count = 0;
    auto found = block->find(key);
    if (found != block->end()) {
        if (found->second.type != DATA_ARRAY || !found->second.token.GetInteger(count) || count < 1 ||
            count == INT32_MAX) {
            return false;
        }
    }
    std::string element = Numbered(key, static_cast<unsigned long>(count) + 1);
    if (block->count(element) != 0) {
        return false;
    }
    CTTinyTomlTokenData counter;
    counter.SetInteger(count + 1);
    block->emplace(element, NODEDATA{DataTypeOf(token), token});
    if (found != block->end()) {
        found->second.token = counter;
    } else {
        block->emplace(key, NODEDATA{DATA_ARRAY, counter});
    }
    return true;
}

bool CTTinyTomlDataTree::SelectTable(const char* name, unsigned long index)
{
    m_current.clear();
    m_saved.clear();
    if (IsEmptyName(name)) {
        return false;
    }
    std::string wanted = index != 0 ? Numbered(name, index) : std::string(name);
    if (m_tables.count(wanted) == 0) {
        return false;
    }
    m_current = wanted;
    return true;
}

bool CTTinyTomlDataTree::SelectInlineTable(const char* name)
{
    if (IsEmptyName(name)) {
        m_current.clear();
        m_saved.clear();
        return false;
    }
    if (m_current.empty() || !m_saved.empty()) {
        return false;
    }
    std::string table = m_current + "." + name;
    if (m_tables.count(table) == 0) {
        return false;
    }
    m_saved = m_current;
    m_current = table;
    return true;
}

bool CTTinyTomlDataTree::IsSelectedTable() const { return !m_current.empty(); }

CTTinyTomlDataTree::BLOCKDATA* CTTinyTomlDataTree::CurrentBlock()
{
    return const_cast<BLOCKDATA*>(static_cast<const CTTinyTomlDataTree*>(this)->CurrentBlock());
}

const CTTinyTomlDataTree::BLOCKDATA* CTTinyTomlDataTree::CurrentBlock() const
{
    if (m_current.empty()) {
        return nullptr;
    }
    auto found = m_tables.find(m_current);
    return found != m_tables.end() ? &found->second : nullptr;
}

const CTTinyTomlDataTree::NODEDATA* CTTinyTomlDataTree::FindNode(const char* key, int index) const
{
    const BLOCKDATA* block = CurrentBlock();
    if (block == nullptr || IsEmptyName(key)) {
        return nullptr;
    }
    auto found = block->find(index > 0 ? Numbered(key, static_cast<unsigned long>(index)) : std::string(key));
    return found != block->end() ? &found->second : nullptr;
}

bool CTTinyTomlDataTree::QueryKeyValue(const char* key, TTString<char>& value, int index) const
{
    const NODEDATA* node = FindNode(key, index);
    TTString<char> text;
    if (node == nullptr || node->type != DATA_STRING || !node->token.GetString(text)) {
        return false;
    }
    value = text;
    return true;
}

bool CTTinyTomlDataTree::QueryKeyValue(const char* key, int& value, int index) const
{
    const NODEDATA* node = FindNode(key, index);
    int32_t v = 0;
    if (node == nullptr || node->type != DATA_INTEGER || !node->token.GetInteger(v)) {
        return false;
    }
    value = v;
    return true;
}

bool CTTinyTomlDataTree::QueryKeyValue(const char* key, int& integerPart, unsigned int& fraction, int index) const
{
    const NODEDATA* node = FindNode(key, index);
    int32_t i = 0;
    uint32_t f = 0;
    if (node == nullptr || node->type != DATA_FLOAT || !node->token.GetFloat(i, f)) {
        return false;
    }
    integerPart = i;
    fraction = f;
    return true;
}

bool CTTinyTomlDataTree::QueryKeyValue(const char* key, bool& value, int index) const
{
    const NODEDATA* node = FindNode(key, index);
    bool b = false;
    if (node == nullptr || node->type != DATA_BOOLEAN || !node->token.GetBoolean(b)) {
        return false;
    }
    value = b;
    return true;
}

bool CTTinyTomlDataTree::QueryKeyValueType(const char* key, data_node_type_t& type) const
{
    const NODEDATA* node = FindNode(key, 0);
    if (node == nullptr) {
        return false;
    }
    type = node->type;
    return true;
}

bool CTTinyTomlDataTree::QueryArrayValueType(const char* key, data_node_type_t& type, unsigned long& count) const
{
    const NODEDATA* node = FindNode(key, 0);
    const NODEDATA* first = FindNode(key, 1);
    int32_t n = 0;
    if (node == nullptr || node->type != DATA_ARRAY || !node->token.GetInteger(n) || first == nullptr) {
        return false;
    }
    type = first->type;
    count = static_cast<unsigned long>(n);
    return true;
}

bool CTTinyTomlDataTree::IsExistsKeyValue(const char* key) const { return FindNode(key, 0) != nullptr; }

unsigned long CTTinyTomlDataTree::CountOfKeyValues() const
{
    const BLOCKDATA* block = CurrentBlock();
    return block != nullptr ? block->size() : 0;
}

unsigned long CTTinyTomlDataTree::CountOfArrayValues(const char* key) const
{
    const NODEDATA* node = FindNode(key, 0);
    int32_t n = 0;
    if (node == nullptr || node->type != DATA_ARRAY || !node->token.GetInteger(n) || n < 0) {
        return 0;
    }
    return static_cast<unsigned long>(n);
}

unsigned long CTTinyTomlDataTree::CountOfArrayTables(const char* name) const
{
    if (IsEmptyName(name)) {
        return 0;
    }
    auto found = m_arrayTableCounts.find(name);
    return found != m_arrayTableCounts.end() ? found->second : 0;
}

}  // namespace vdtcl
