// A node of the TOML-like reader's syntax tree: its type, a copy of its
// token and its children in order. The parser bounds the tree's depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "vdtcl/CTTinyTomlTokenData.h"

namespace vdtcl {
namespace tinytoml {

enum syntax_node_type_t : int32_t {
    SYNTAX_NONE = 0,
    SYNTAX_ROOT = 1,          // children: table nodes
    SYNTAX_TABLE = 2,         // token: its name; children: key-value and inline-table nodes
    SYNTAX_ARRAY_TABLE = 3,   // an array-of-tables element, as SYNTAX_TABLE
    SYNTAX_KEY_VALUE = 4,     // children: a key node, then a value or an array node
    SYNTAX_INLINE_TABLE = 5,  // token: the key name; children: key-value nodes
    SYNTAX_KEY = 6,           // token: the key name
    SYNTAX_VALUE = 7,         // token: the value
    SYNTAX_ARRAY = 8,         // children: value nodes and nested array nodes
};

}  // namespace tinytoml

class CTTinyTomlSyntaxNode {
public:
    explicit CTTinyTomlSyntaxNode(tinytoml::syntax_node_type_t type,
                                  const CTTinyTomlTokenData& token = CTTinyTomlTokenData())
        : m_parent(nullptr), m_type(type), m_token(token)
    {
    }
    CTTinyTomlSyntaxNode(const CTTinyTomlSyntaxNode&) = delete;
    CTTinyTomlSyntaxNode& operator=(const CTTinyTomlSyntaxNode&) = delete;
    virtual ~CTTinyTomlSyntaxNode() = default;

    // Appends child (taking it over) and returns it; the caller keeps no
    // other owner. Allocation failure propagates as std::bad_alloc.
    CTTinyTomlSyntaxNode* AddChild(std::unique_ptr<CTTinyTomlSyntaxNode> child)
    {
        child->m_parent = this;
        m_children.push_back(std::move(child));
        return m_children.back().get();
    }

    CTTinyTomlSyntaxNode* GetParent() const { return m_parent; }
    tinytoml::syntax_node_type_t GetNodeType() const { return m_type; }
    const CTTinyTomlTokenData& GetTokenData() const { return m_token; }
    size_t GetNumberOfChilds() const { return m_children.size(); }
    // Null when i is not a child index.
    CTTinyTomlSyntaxNode* GetChild(size_t i) const { return i < m_children.size() ? m_children[i].get() : nullptr; }

private:
    CTTinyTomlSyntaxNode* m_parent;  // not owned; null for the root
    tinytoml::syntax_node_type_t m_type;
    CTTinyTomlTokenData m_token;
    std::vector<std::unique_ptr<CTTinyTomlSyntaxNode>> m_children;
};

}  // namespace vdtcl
