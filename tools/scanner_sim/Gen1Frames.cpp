// Generation-1 command frames, read key by key.
#include "tools/scanner_sim/Gen1Frames.h"

#include <limits>

namespace scanner_sim {

namespace {

bool Unsigned(const std::string& text, uint64_t max, uint64_t& value)
{
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        uint64_t const digit = static_cast<uint64_t>(c - '0');
        if (digit > max || result > (max - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool U32(const std::string& text, uint32_t& value)
{
    uint64_t wide = 0;
    if (!Unsigned(text, std::numeric_limits<uint32_t>::max(), wide)) {
        return false;
    }
    value = static_cast<uint32_t>(wide);
    return true;
}

bool I32(const std::string& text, int32_t& value)
{
    bool const negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    uint64_t const limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (!Unsigned(negative ? text.substr(1) : text, limit, magnitude) || (negative && magnitude == 0)) {
        return false;
    }
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
    return true;
}

std::vector<std::string> Fields(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t const comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

template <size_t N>
bool Word(const std::string& value, const char* const (&words)[N], uint32_t& code)
{
    for (size_t i = 0; i < N; ++i) {
        if (value == words[i]) {
            code = static_cast<uint32_t>(i);
            return true;
        }
    }
    return false;
}

const char* const kSources[] = {"AUTO", "ADF", "FB"};
const char* const kColors[] = {"TEXT", "ERRDIF", "GRAY256", "C256", "CGRAY"};
const char* const kCompressions[] = {"", "NONE", "RLENGTH", "JPEG"};
const char* const kScanTypes[] = {"NORMAL_SCAN",    "SKEW_ADJUST", "CORNER_SCAN",
                                  "AUTO_SIZE_SCAN", "EDGE_SCAN",   "ORIGINAL_SCAN"};

// One key: checks the value and stores it.
bool ApplyKey(char key, const std::string& value, Gen1Request& r)
{
    switch (key) {
    case 'R': {
        std::vector<std::string> const f = Fields(value);
        return f.size() == 2 && U32(f[0], r.resX) && U32(f[1], r.resY);
    }
    case 'M':
        return Word(value, kColors, r.color);
    case 'C':
        return Word(value, kCompressions, r.compression) && r.compression != 0;
    case 'J':
        if (value != "MID" && value != "MIN") {
            return false;
        }
        r.jpegMin = value == "MIN";
        return true;
    case 'B':
        return I32(value, r.brightness);
    case 'N':
        return I32(value, r.contrast);
    case 'A': {
        std::vector<std::string> const f = Fields(value);
        if (f.size() != 4) {
            return false;
        }
        for (size_t i = 0; i < 4; ++i) {
            if (!U32(f[i], r.area[i])) {
                return false;
            }
        }
        return true;
    }
    case 'D':
        if (value != "SIN" && value != "DUP") {
            return false;
        }
        r.duplex = value == "DUP";
        return true;
    case 'S':
        return Word(value, kScanTypes, r.scanType);
    case 'P':
        return (value == "0" || value == "1") && U32(value, r.singlePage);
    case 'E':
        return U32(value, r.extra) && r.extra <= 3;
    case 'G':
        return (value == "0" || value == "1") && U32(value, r.ground);
    case 'L':
        return I32(value, r.groundLevel);
    default:
        return false;
    }
}

}  // namespace

bool SplitGen1Frame(const uint8_t* data, size_t size, Gen1Frame& frame, std::string& error)
{
    frame = Gen1Frame{};
    if (data == nullptr || size < 4 || data[0] != 0x1B || data[1] < 'A' || data[1] > 'Z' || data[2] != '\n' ||
        data[size - 1] != 0x80) {
        error = "not a frame of ESC, a letter, LF ... 0x80";
        return false;
    }
    frame.command = static_cast<char>(data[1]);
    size_t position = 3;
    size_t const end = size - 1;
    while (position < end) {
        size_t lineEnd = position;
        while (lineEnd < end && data[lineEnd] != '\n') {
            if (data[lineEnd] < 0x20 || data[lineEnd] >= 0x7F) {
                error = "byte outside the text range in a line";
                return false;
            }
            ++lineEnd;
        }
        if (lineEnd == end) {
            error = "last line not ended by LF";
            return false;
        }
        frame.lines.emplace_back(reinterpret_cast<const char*>(data + position), lineEnd - position);
        position = lineEnd + 1;
    }
    return true;
}

bool ReadGen1Request(const Gen1Frame& frame, Gen1Request& request, std::string& error)
{
    const char* order = nullptr;
    switch (frame.command) {
    case 'D':
    case 'S':
        if (frame.lines.size() != 1 || !Word(frame.lines[0], kSources, request.source)) {
            error = std::string(1, frame.command) + ": expected the source word ADF, FB or AUTO alone";
            return false;
        }
        return true;
    case 'I':
        order = "RMDS";
        break;
    case 'E':
        order = "RM";
        break;
    case 'X':
        order = "RMCJBNADSPEGL";
        break;
    default:
        if (!frame.lines.empty()) {
            error = std::string(1, frame.command) + " carries no lines";
            return false;
        }
        return true;
    }
    std::string const keys(order);
    if (frame.lines.size() != keys.size()) {
        error = std::string(1, frame.command) + ": expected the keys " + keys + " in this order";
        return false;
    }
    Gen1Request r = request;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& line = frame.lines[i];
        if (line.size() < 2 || line[0] != keys[i] || line[1] != '=') {
            error = std::string(1, frame.command) + ": expected " + keys[i] + "= in line " + std::to_string(i + 1);
            return false;
        }
        if (!ApplyKey(keys[i], line.substr(2), r)) {
            error = std::string(1, frame.command) + ": bad value in \"" + line + "\"";
            return false;
        }
    }
    request = r;
    return true;
}

}  // namespace scanner_sim
