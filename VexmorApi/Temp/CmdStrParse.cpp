// Key and field cutting for the generation-1 text answers.
#include "VexmorApi/Temp/CmdStrParse.h"

namespace vscore {

std::string CCmdStrParse::GetStrPart(const std::string& text, const std::string& key, const std::string& end) const
{
    if (key.empty()) {
        return std::string();
    }
    size_t const found = text.find(key);
    if (found == std::string::npos) {
        return std::string();
    }
    size_t const start = found + key.size();
    size_t const stop = end.empty() ? std::string::npos : text.find(end, start);
    return text.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
}

std::string CCmdStrParse::GetStrPart(const std::string& text, const std::string& separator, int index) const
{
    if (index < 1 || separator.empty()) {
        return std::string();
    }
    size_t start = 0;
    for (int field = 1; field < index; ++field) {
        size_t const found = text.find(separator, start);
        if (found == std::string::npos) {
            return std::string();
        }
        start = found + separator.size();
    }
    size_t const stop = text.find(separator, start);
    return text.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
}

int CCmdStrParse::GetTokenCount(const std::string& text, const std::string& separator) const
{
    if (separator.empty()) {
        return 0;
    }
    int count = 0;
    for (size_t found = text.find(separator); found != std::string::npos;
         found = text.find(separator, found + separator.size())) {
        ++count;
    }
    return count;
}

}  // namespace vscore
