// The data loaded by the TOML-like reader: tables by name, each an ordered
// map of keys to values, with a current table that the queries read.
// Element n of an array of tables N is the table "N:n"; element n of an
// array under key K is the key "K:n", and K itself holds the element count;
// an inline table under key K of table T is the table "T.K".
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "vdtcl/CTTinyTomlTokenData.h"
#include "vdtcl/TTString.h"

namespace vdtcl {
namespace tinytoml {

enum data_node_type_t : int32_t {
    DATA_NONE = 0,
    DATA_ARRAY = 2,
    DATA_STRING = 3,
    DATA_INTEGER = 4,
    DATA_FLOAT = 5,
    DATA_BOOLEAN = 6,
};

}  // namespace tinytoml

class CTTinyTomlDataTree {
public:
    struct NODEDATA {
        tinytoml::data_node_type_t type;
        CTTinyTomlTokenData token;  // the value; for an array, the element count as an integer
    };
    using BLOCKDATA = std::map<std::string, NODEDATA>;

    CTTinyTomlDataTree();
    virtual ~CTTinyTomlDataTree();

    // Building. Each answers false, changing nothing, when the name is null or
    // empty or already taken. InsertTable and InsertArrayTable make the new
    // table current; InsertInlineTable enters "current.name" until
    // LeaveInlineTable. Keys go to the current table.
    bool InsertTable(const char* name);
    bool InsertArrayTable(const char* name);
    bool InsertInlineTable(const char* name);
    bool LeaveInlineTable();
    bool InsertKeyValue(const char* key, const CTTinyTomlTokenData& token);
    // Appends an element to the array under key, creating it when absent;
    // false when key holds something other than an array.
    bool InsertArrayValue(const char* key, const CTTinyTomlTokenData& token);

    // Selecting: "name", or "name:index" for an index above 0. A table that
    // does not exist leaves none selected.
    bool SelectTable(const char* name, unsigned long index);
    bool SelectInlineTable(const char* name);
    bool IsSelectedTable() const;

    // Queries in the current table: "key", or "key:index" for an index above
    // 0. True only when the key exists with the asked type; a failed query
    // leaves the output unchanged.
    bool QueryKeyValue(const char* key, TTString<char>& value, int index = 0) const;
    bool QueryKeyValue(const char* key, int& value, int index = 0) const;
    bool QueryKeyValue(const char* key, int& integerPart, unsigned int& fraction, int index = 0) const;
    bool QueryKeyValue(const char* key, bool& value, int index = 0) const;
    bool QueryKeyValueType(const char* key, tinytoml::data_node_type_t& type) const;
    // For an array: its element count and the type of its first element.
    bool QueryArrayValueType(const char* key, tinytoml::data_node_type_t& type, unsigned long& count) const;
    bool IsExistsKeyValue(const char* key) const;
    unsigned long CountOfKeyValues() const;  // array elements included
    unsigned long CountOfArrayValues(const char* key) const;
    unsigned long CountOfArrayTables(const char* name) const;

    // Drops all data; no table selected.
    void Clear();

private:
    BLOCKDATA* CurrentBlock();
    const BLOCKDATA* CurrentBlock() const;
    const NODEDATA* FindNode(const char* key, int index) const;

    std::map<std::string, BLOCKDATA> m_tables;
    std::map<std::string, unsigned long> m_arrayTableCounts;
    std::string m_current;  // empty: no table selected
    std::string m_saved;    // the outer table while an inline table is current
};

}  // namespace vdtcl
