// Reads generation-2 command frames back into plain scan settings, key by
// key from the device's keyword tables.
#include "tests/support/gen2_param_reader/Gen2ParamCore.h"

#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <type_traits>

namespace gen2_param_reader {

namespace {

struct Word {
    const char* text;
    uint32_t code;
};

const Word kOsWords[] = {{"WIN", 0}, {"MAC", 2}, {"IOS", 3}, {"ADR", 4}, {"LNX", 5}, {"WPH", 6}};
const Word kSourceWords[] = {{"AUTO", 0}, {"ADF", 1}, {"FB", 2}};
const Word kColorWords[] = {{"TEXT", 0}, {"ERRDIF", 1}, {"GRAY256", 2}, {"C256", 3}, {"C24BIT", 4}, {"AUTO", 5}};
const Word kAreaWords[] = {{"NORMAL", 0}, {"FULL", 1}, {"OVER", 2}, {"AUTO", 3}, {"ATDSKW", 4}};
const Word kCompressionWords[] = {{"NONE", 1}, {"RLENGTH", 2}, {"JPEG", 3}};
const Word kSamplingWords[] = {{"444", 0}, {"422", 1}, {"411", 2}, {"420", 3}, {"400", 4}};
const Word kProcessingWords[] = {{"NORMAL", 0}, {"COPY", 1}, {"OCR", 2}, {"PHOTO", 3}, {"TXTGR", 4}};
const Word kPaperWords[] = {{"NORMAL", 0}, {"THIN", 1}, {"THOCK", 2}, {"PCARD", 3}};
const Word kModeWords[] = {{"NORMAL", 1}, {"EDGEPRE", 2}, {"ORIGINAL", 3}, {"ATC1PASS", 4}};
const Word kEjectionWords[] = {{"ALL", 1}, {"ONE", 2}, {"NO", 3}};
const Word kOnOffWords[] = {{"OFF", 0}, {"ON", 1}};

bool Fail(std::string* error, const std::string& text)
{
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

template <size_t N>
bool ReadWord(const std::string& value, const Word (&words)[N], uint32_t& code)
{
    for (const Word& word : words) {
        if (value == word.text) {
            code = word.code;
            return true;
        }
    }
    return false;
}

// Plain decimal: digits, no sign, no leading zero but for "0" itself.
bool ReadUnsigned(const std::string& text, uint64_t max, uint64_t& value)
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
        if (result > (max - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool ReadU32(const std::string& text, uint32_t& value)
{
    uint64_t wide = 0;
    if (!ReadUnsigned(text, std::numeric_limits<uint32_t>::max(), wide)) {
        return false;
    }
    value = static_cast<uint32_t>(wide);
    return true;
}

// Plain decimal with an optional "-" (never "-0"), within min..max.
bool ReadSigned(const std::string& text, int64_t min, int64_t max, int64_t& value)
{
    bool const negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    uint64_t const limit = negative ? static_cast<uint64_t>(-(min + 1)) + 1 : static_cast<uint64_t>(max);
    if (!ReadUnsigned(negative ? text.substr(1) : text, limit, magnitude) || (negative && magnitude == 0)) {
        return false;
    }
    value = negative ? -static_cast<int64_t>(magnitude - 1) - 1 : static_cast<int64_t>(magnitude);
    return value >= min && value <= max;
}

bool ReadI32(const std::string& text, int32_t& value)
{
    int64_t wide = 0;
    if (!ReadSigned(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), wide)) {
        return false;
    }
    value = static_cast<int32_t>(wide);
    return true;
}

// Comma-separated parts.
std::vector<std::string> SplitList(const std::string& text)
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

bool ReadOnOff(const std::string& value, bool& flag)
{
    uint32_t code = 0;
    if (!ReadWord(value, kOnOffWords, code)) {
        return false;
    }
    flag = code != 0;
    return true;
}

// OFF, ON, or the level the feature runs at.
template <typename Level>
bool ReadLevel(const std::string& value, bool& on, bool& levelGiven, Level& level)
{
    if (value == "OFF" || value == "ON") {
        on = value == "ON";
        levelGiven = false;
        level = 0;
        return true;
    }
    if constexpr (std::is_signed_v<Level>) {
        int32_t number = 0;
        if (!ReadI32(value, number)) {
            return false;
        }
        level = number;
    } else {
        uint32_t number = 0;
        if (!ReadU32(value, number)) {
            return false;
        }
        level = number;
    }
    on = true;
    levelGiven = true;
    return true;
}

// Brightness and contrast: the device's 0..100 scale around the engine's 0.
bool ReadCentred(const std::string& value, int32_t& field)
{
    int64_t number = 0;
    if (!ReadSigned(value, int64_t{std::numeric_limits<int32_t>::min()} + 50,
                    int64_t{std::numeric_limits<int32_t>::max()} + 50, number)) {
        return false;
    }
    field = static_cast<int32_t>(number - 50);
    return true;
}

using Handler = std::function<bool(const std::string& value, ScanSettings& p)>;

struct Key {
    const char* name;
    bool optional;  // may be left out of a full frame
    Handler read;
};

bool ReadResolution(const std::string& value, ScanSettings& p)
{
    if (value == "AUTO") {
        p.resolution = {0, 0, 1};
        return true;
    }
    std::vector<std::string> const parts = SplitList(value);
    if (parts.size() != 2 || !ReadU32(parts[0], p.resolution.x) || !ReadU32(parts[1], p.resolution.y)) {
        return false;
    }
    p.resolution.autoResolution = 0;
    return true;
}

// SSP takes the area's type only; XSC takes the corners of a normal area.
bool ReadArea(const std::string& value, ScanSettings& p, bool corners)
{
    uint32_t code = 0;
    if (ReadWord(value, kAreaWords, code)) {
        if (corners && code == 0) {
            return false;
        }
        p.scanArea.type = code;
        return true;
    }
    std::vector<std::string> const parts = SplitList(value);
    uint32_t v[4];
    if (!corners || parts.size() != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        if (!ReadU32(parts[i], v[i])) {
            return false;
        }
    }
    p.scanArea = {0, v[0], v[1], v[2] - v[0], v[3] - v[1]};
    return true;
}

bool ReadMargin(const std::string& value, ScanSettings& p)
{
    // Tenths of a millimetre, left, right, top, bottom.
    std::vector<std::string> const parts = SplitList(value);
    int64_t v[4];
    if (parts.size() != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        if (!ReadSigned(parts[i], std::numeric_limits<int32_t>::min() / 10, std::numeric_limits<int32_t>::max() / 10,
                        v[i])) {
            return false;
        }
    }
    p.margin.left = static_cast<int32_t>(v[0] * 10);
    p.margin.right = static_cast<int32_t>(v[1] * 10);
    p.margin.top = static_cast<int32_t>(v[2] * 10);
    p.margin.bottom = static_cast<int32_t>(v[3] * 10);
    return true;
}

bool ReadUser(const std::string& value, ScanSettings& p)
{
    if (value.size() >= sizeof p.userName) {
        return false;
    }
    for (char c : value) {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x80) {
            return false;
        }
    }
    std::memset(p.userName, 0, sizeof p.userName);
    std::memcpy(p.userName, value.data(), value.size());
    return true;
}

template <typename Field, size_t N>
Handler WordKey(const Word (&words)[N], Field ScanSettings::*field)
{
    return [&words, field](const std::string& value, ScanSettings& p) {
        uint32_t code = 0;
        if (!ReadWord(value, words, code)) {
            return false;
        }
        p.*field = static_cast<Field>(code);
        return true;
    };
}

Handler FlagKey(bool ScanSettings::*field)
{
    return [field](const std::string& value, ScanSettings& p) { return ReadOnOff(value, p.*field); };
}

// The SSP lines in the device's fixed order.
const std::vector<Key>& SspKeys()
{
    static const std::vector<Key> keys = {
        {"OS", false, WordKey(kOsWords, &ScanSettings::osInfo)},
        {"PSRC", false, WordKey(kSourceWords, &ScanSettings::paperSource)},
        {"RESO", false, ReadResolution},
        {"CLR", false, WordKey(kColorWords, &ScanSettings::colorType)},
        {"AREA", false, [](const std::string& v, ScanSettings& p) { return ReadArea(v, p, false); }},
        {"MRGN", false, ReadMargin},
        {"DPLX", false,
         [](const std::string& v, ScanSettings& p) {
             if (v != "OFF" && v != "ON" && v != "BACK") {
                 return false;
             }
             p.duplexScan = {v != "OFF", v == "BACK"};
             return true;
         }},
        {"BRIT", false, [](const std::string& v, ScanSettings& p) { return ReadCentred(v, p.brightness); }},
        {"CONT", false, [](const std::string& v, ScanSettings& p) { return ReadCentred(v, p.contrast); }},
        {"ATCL", true,
         [](const std::string& v, ScanSettings& p) {
             std::vector<std::string> const parts = SplitList(v);
             int32_t color = 0;
             int32_t gray = 0;
             if (parts.size() != 2 || !ReadI32(parts[0], color) || !ReadI32(parts[1], gray)) {
                 return false;
             }
             p.autoColorLevel = true;
             p.monoColorDetectLevel = static_cast<uint32_t>(color);
             p.monoGrayDetectLevel = static_cast<uint32_t>(gray);
             return true;
         }},
        {"THRS", true,
         [](const std::string& v, ScanSettings& p) {
             p.monoThreshold.autoThreshold = false;
             p.monoThreshold.manualThreshold = true;
             return ReadU32(v, p.monoThreshold.level);
         }},
        {"COMP", false, WordKey(kCompressionWords, &ScanSettings::compression)},
        // A rate of 0 is never sent.
        {"RATE", true, [](const std::string& v, ScanSettings& p) { return ReadU32(v, p.jpegRate) && p.jpegRate != 0; }},
        {"JSF", false, WordKey(kSamplingWords, &ScanSettings::jpegSamplingFactor)},
        {"IPRC", false, WordKey(kProcessingWords, &ScanSettings::imageProcessing)},
        {"PTYPE", false, WordKey(kPaperWords, &ScanSettings::paperType)},
        {"PAGE", false, [](const std::string& v, ScanSettings& p) { return ReadU32(v, p.scanPage); }},
        {"LONG", false, FlagKey(&ScanSettings::longPaper)},
        {"CARR", false,
         [](const std::string& v, ScanSettings& p) {
             if (v != "OFF" && v != "ON" && v != "AUTO") {
                 return false;
             }
             p.carrierSheet = {v != "OFF", v == "AUTO"};
             return true;
         }},
        {"RMGC", false,
         [](const std::string& v, ScanSettings& p) {
             auto& r = p.groundColorRemoval;
             return ReadLevel(v, r.on, r.levelGiven, r.level);
         }},
        {"DTDF", false,
         [](const std::string& v, ScanSettings& p) {
             auto& d = p.doubleFeedDetection;
             return ReadLevel(v, d.on, d.levelGiven, d.level);
         }},
        {"OPDF", true,
         [](const std::string& v, ScanSettings& p) {
             if (v != "CONT" && v != "STOP") {
                 return false;
             }
             p.feedMotion = {true, v == "STOP", v == "CONT"};
             return true;
         }},
        {"DT4V", false, FlagKey(&ScanSettings::cornerDetection)},
        {"DSKW", false, FlagKey(&ScanSettings::autoDeskew)},
        {"LSMD", false, FlagKey(&ScanSettings::landscapeMode)},
        {"RMBP", false,
         [](const std::string& v, ScanSettings& p) {
             auto& r = p.blankPageRemoval;
             return ReadLevel(v, r.on, r.levelGiven, r.level);
         }},
        {"RMMR", false, FlagKey(&ScanSettings::moireRemoval)},
        {"GMMA", false,
         [](const std::string& v, ScanSettings& p) {
             // On without a value: the device's own gamma.
             if (v == "OFF" || v.empty()) {
                 p.gammaAdjust = {v.empty() ? 1u : 0u, 0};
                 return true;
             }
             p.gammaAdjust.on = 1;
             return ReadU32(v, p.gammaAdjust.value) && p.gammaAdjust.value != 0;
         }},
        {"TONE", false, FlagKey(&ScanSettings::toneAdjust)},
        {"QTFD", false, FlagKey(&ScanSettings::quietScan)},
        {"ATCN", false,
         [](const std::string& v, ScanSettings& p) { return ReadOnOff(v, p.autoContinuousScan.execute); }},
        {"ATTO", true, [](const std::string& v, ScanSettings& p) { return ReadU32(v, p.autoContinuousScan.timeout); }},
        {"ATFD", true,
         [](const std::string& v, ScanSettings& p) { return ReadU32(v, p.autoContinuousScan.feedDelay); }},
        {"ATCRP", false, FlagKey(&ScanSettings::autoCrop)},
        {"USER", false, ReadUser},
    };
    return keys;
}

const std::vector<Key>& XscKeys()
{
    static const std::vector<Key> keys = {
        {"RESO", false, ReadResolution},
        {"AREA", false, [](const std::string& v, ScanSettings& p) { return ReadArea(v, p, true); }},
        {"MODE", false, WordKey(kModeWords, &ScanSettings::specialScanType)},
    };
    return keys;
}

// Checks the frame's lines against keys (known, each once, in order; every
// non-optional one present unless the frame holds just the first
// alwaysPresent lines) and applies them.
bool ApplyLines(const Gen2Frame& frame, const std::vector<Key>& keys, size_t alwaysPresent, ScanSettings& p,
                std::string* error)
{
    size_t position = 0;
    std::set<std::string> seen;
    for (const auto& [name, value] : frame.lines) {
        size_t index = position;
        while (index < keys.size() && name != keys[index].name) {
            ++index;
        }
        if (index == keys.size()) {
            return Fail(error, frame.command + ": unknown, repeated or misplaced key " + name);
        }
        if (!keys[index].read(value, p)) {
            return Fail(error, frame.command + ": bad value for " + name + ": \"" + value + "\"");
        }
        seen.insert(name);
        position = index + 1;
    }
    // A short frame (read-ahead) carries the always-present lines alone.
    if (frame.lines.size() > alwaysPresent) {
        for (const Key& key : keys) {
            if (!key.optional && seen.count(key.name) == 0) {
                return Fail(error, frame.command + ": missing key " + key.name);
            }
        }
    } else if (frame.lines.size() < alwaysPresent) {
        return Fail(error, frame.command + ": missing key " + keys[frame.lines.size()].name);
    }
    return true;
}

}  // namespace

bool SplitFrame(const uint8_t* data, size_t size, Gen2Frame& frame, std::string* error)
{
    frame = Gen2Frame{};
    if (data == nullptr || size < 6 || data[0] != 0x1B || data[4] != '\n' || data[size - 1] != 0x80) {
        return Fail(error, "not a frame of ESC, three letters, LF ... 0x80");
    }
    for (size_t i = 1; i < 4; ++i) {
        if (data[i] < 'A' || data[i] > 'Z') {
            return Fail(error, "command letters are not upper-case letters");
        }
    }
    frame.command.assign(reinterpret_cast<const char*>(data + 1), 3);
    size_t position = 5;
    size_t const end = size - 1;
    while (position < end) {
        size_t lineEnd = position;
        while (lineEnd < end && data[lineEnd] != '\n') {
            if (data[lineEnd] < 0x20 || data[lineEnd] >= 0x80) {
                return Fail(error, "byte outside the text range in a line");
            }
            ++lineEnd;
        }
        if (lineEnd == end) {
            return Fail(error, "last line not ended by LF");
        }
        std::string const line(reinterpret_cast<const char*>(data + position), lineEnd - position);
        size_t const equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            return Fail(error, "line without KEY=: \"" + line + "\"");
        }
        std::string const key = line.substr(0, equals);
        for (char c : key) {
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
                return Fail(error, "bad key \"" + key + "\"");
            }
        }
        frame.lines.emplace_back(key, line.substr(equals + 1));
        position = lineEnd + 1;
    }
    return true;
}

bool SplitFrame(const std::string& bytes, Gen2Frame& frame, std::string* error)
{
    return SplitFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), frame, error);
}

bool ReadScanSettings(const Gen2Frame& frame, ScanSettings& param, std::string* error)
{
    if (frame.command == "SSP") {
        if (frame.lines.size() > 1) {
            // Left-out optional lines mean the feature is off.
            param.autoColorLevel = false;
            param.monoColorDetectLevel = 0;
            param.monoGrayDetectLevel = 0;
            param.monoThreshold = {};
            param.jpegRate = 0;
            param.feedMotion = {};
            param.autoContinuousScan = {};
        }
        if (!ApplyLines(frame, SspKeys(), 1, param, error)) {
            return false;
        }
        size_t timeLines = 0;
        for (const auto& line : frame.lines) {
            timeLines += (line.first == "ATTO" || line.first == "ATFD") ? 1 : 0;
        }
        if (timeLines != (param.autoContinuousScan.execute && frame.lines.size() > 1 ? 2u : 0u)) {
            return Fail(error, "SSP: ATTO and ATFD come with ATCN=ON and only then");
        }
        return true;
    }
    if (frame.command == "XSC") {
        return ApplyLines(frame, XscKeys(), 0, param, error);
    }
    return Fail(error, "not an SSP or XSC frame: " + frame.command);
}

bool ReadCheckDocument(const Gen2Frame& frame, CheckDocumentRequest& request, std::string* error)
{
    request = CheckDocumentRequest{};
    if (frame.command != "CKD" || frame.lines.empty() || frame.lines.size() > 2 || frame.lines[0].first != "PSRC" ||
        !ReadWord(frame.lines[0].second, kSourceWords, request.paperSource)) {
        return Fail(error, "CKD: expected PSRC and an optional CSIT");
    }
    if (frame.lines.size() == 2) {
        if (frame.lines[1].first != "CSIT" || !ReadU32(frame.lines[1].second, request.bindTime)) {
            return Fail(error, "CKD: bad CSIT line");
        }
        request.useBindTime = true;
    }
    return true;
}

bool ReadAbort(const Gen2Frame& frame, AbortRequest& request, std::string* error)
{
    request = AbortRequest{};
    if (frame.command != "ABT") {
        return Fail(error, "not an ABT frame: " + frame.command);
    }
    size_t index = 0;
    if (index < frame.lines.size() && frame.lines[index].first == "EJCT") {
        if (!ReadWord(frame.lines[index].second, kEjectionWords, request.ejection)) {
            return Fail(error, "ABT: bad EJCT value");
        }
        ++index;
    }
    if (index < frame.lines.size() && frame.lines[index].first == "ATCN") {
        if (frame.lines[index].second != "OFF") {
            return Fail(error, "ABT: ATCN other than OFF");
        }
        request.finishAutoContinuousScan = true;
        ++index;
    }
    if (index != frame.lines.size()) {
        return Fail(error, "ABT: unexpected line " + frame.lines[index].first);
    }
    return true;
}

}  // namespace gen2_param_reader
