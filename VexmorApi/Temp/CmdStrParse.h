// Cuts keys and fields out of the text answers of generation-1 commands
// (lines of KEY=VALUE, or one comma-separated line). Stateless; made on the
// stack wherever a text answer is read.
#pragma once

#include <string>

namespace vscore {

class CCmdStrParse {
public:
    // The text after the first occurrence of key, up to (not including) the
    // first occurrence of end after it, or to the end of the text; empty
    // when key does not occur.
    std::string GetStrPart(const std::string& text, const std::string& key, const std::string& end) const;
    // Field index (counting from 1) of text split at separator; the last
    // field runs to the end of the text. Empty when there are fewer fields.
    std::string GetStrPart(const std::string& text, const std::string& separator, int index) const;
    // How often separator occurs in text.
    int GetTokenCount(const std::string& text, const std::string& separator) const;
};

}  // namespace vscore
