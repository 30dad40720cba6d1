// JSON lines of the transcript.
#include "tools/scanner_sim/Transcript.h"

#include <cerrno>
#include <cstring>

namespace scanner_sim {

std::string JsonQuote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void JsonLine::Key(const char* key)
{
    if (!body_.empty()) {
        body_ += ",";
    }
    body_ += JsonQuote(key) + ":";
}

JsonLine& JsonLine::Add(const char* key, const std::string& text)
{
    Key(key);
    body_ += JsonQuote(text);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, uint64_t number)
{
    Key(key);
    body_ += std::to_string(number);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, int64_t number)
{
    Key(key);
    body_ += std::to_string(number);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, double number)
{
    Key(key);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6f", number);
    body_ += buffer;
    return *this;
}

JsonLine& JsonLine::Add(const char* key, bool flag)
{
    Key(key);
    body_ += flag ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::AddHex(const char* key, const uint8_t* data, size_t size, size_t limit)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    size_t const shown = size < limit ? size : limit;
    hex.reserve(2 * shown);
    for (size_t i = 0; i < shown; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 15];
    }
    Add(key, hex);
    if (shown < size) {
        Add((std::string(key) + "Length").c_str(), static_cast<uint64_t>(size));
    }
    return *this;
}

JsonLine& JsonLine::AddObject(const char* key, const std::vector<std::pair<std::string, std::string>>& items)
{
    Key(key);
    body_ += "{";
    for (size_t i = 0; i < items.size(); ++i) {
        body_ += (i > 0 ? "," : "") + JsonQuote(items[i].first) + ":" + JsonQuote(items[i].second);
    }
    body_ += "}";
    return *this;
}

Transcript::~Transcript()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool Transcript::OpenFile(const std::string& path, std::string& error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    file_ = file;
    for (const std::string& line : lines_) {
        std::fprintf(file_, "%s\n", line.c_str());
    }
    std::fflush(file_);
    return true;
}

void Transcript::Add(const JsonLine& line)
{
    std::string text = line.Text();
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ != nullptr) {
        std::fprintf(file_, "%s\n", text.c_str());
        std::fflush(file_);
    }
    lines_.push_back(std::move(text));
}

std::vector<std::string> Transcript::Lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

}  // namespace scanner_sim
