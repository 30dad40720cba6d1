// The TOML-like reader as its users see it: loads a file once into a data
// tree and answers queries by table and key.
#pragma once

#include <cstddef>

#include "vdtcl/CTTinyTomlDataTree.h"
#include "vdtcl/CTTinyTomlParser.h"
#include "vdtcl/TTString.h"

namespace vdtcl {

class CTTinyTomlDecoder {
public:
    CTTinyTomlDecoder();
    CTTinyTomlDecoder(const CTTinyTomlDecoder&) = delete;
    CTTinyTomlDecoder& operator=(const CTTinyTomlDecoder&) = delete;
    virtual ~CTTinyTomlDecoder();

    // Parses the file and fills the data tree (replacing earlier data). False
    // when the file cannot be read, holds no token, or the data tree refuses
    // an insertion; lines with grammar errors are dropped and the rest loads.
    bool LoadFileToDataTree(const char* path);
    // The same over a block of bytes.
    bool LoadMemoryToDataTree(const char* data, size_t size);

    // Forwarded to the data tree.
    bool SelectTable(const char* name, unsigned long index);
    bool QueryKeyValue(const char* key, TTString<char>& value, int index);
    bool QueryKeyValue(const char* key, int& value, int index);

    // The loaded data, for queries beyond the two above.
    const CTTinyTomlDataTree& GetDataTree() const { return m_tree; }
    // The parser, whose error queue tells which lines were dropped.
    CTTinyTomlParser& GetParser() { return m_parser; }

private:
    bool BuildDataTree();
    bool InsertPair();

    CTTinyTomlParser m_parser;
    CTTinyTomlDataTree m_tree;
};

}  // namespace vdtcl
