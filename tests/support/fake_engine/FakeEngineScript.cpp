// Reading the fake engine's script, and the named fields of the records it
// fills (capabilities, push-scan settings, bitmap information) or prints
// (selection, scan request).
#include "tests/support/fake_engine/FakeEngineScript.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace fakeengine {

namespace {

template <class E>
constexpr bool IsSigned()
{
    if constexpr (std::is_enum_v<E>) {
        return std::is_signed_v<std::underlying_type_t<E>>;
    } else {
        return std::is_signed_v<E>;
    }
}

template <class T>
FieldInfo Make(const char* name, size_t offset)
{
    if constexpr (std::is_array_v<T>) {
        using E = std::remove_extent_t<T>;
        if constexpr (std::is_same_v<E, char>) {
            return {name, offset, 1, std::extent_v<T>, FieldInfo::Text, true};
        } else {
            return {name, offset, sizeof(E), std::extent_v<T>, FieldInfo::Integer, IsSigned<E>()};
        }
    } else if constexpr (std::is_same_v<T, bool>) {
        return {name, offset, 1, 1, FieldInfo::Bool, false};
    } else {
        return {name, offset, sizeof(T), 1, FieldInfo::Integer, IsSigned<T>()};
    }
}

#define FE_FIELD(R, path) Make<decltype(std::declval<R&>().path)>(#path, offsetof(R, path))
#define FE_SIZES(R, group)                                                                      \
    FE_FIELD(R, group.flatbed.x), FE_FIELD(R, group.flatbed.y), FE_FIELD(R, group.simplex.x),   \
        FE_FIELD(R, group.simplex.y), FE_FIELD(R, group.duplex.x), FE_FIELD(R, group.duplex.y), \
        FE_FIELD(R, group.cardSlot.x), FE_FIELD(R, group.cardSlot.y), FE_FIELD(R, group.unit)
#define FE_LEVEL(R, group) FE_FIELD(R, group.cap), FE_FIELD(R, group.level)

const FieldInfo* FindField(const std::vector<FieldInfo>& fields, const std::string& name)
{
    for (const FieldInfo& field : fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

[[noreturn]] void Fail(size_t line, const std::string& reason)
{
    throw std::runtime_error(std::to_string(line) + ": " + reason);
}

bool ParseNumber(const std::string& word, int64_t* value)
{
    if (word.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(word.c_str(), &end, 0);
    if (*end != '\0' || errno != 0) {
        unsigned long long unsignedNumber = std::strtoull(word.c_str(), &end, 0);
        if (*end != '\0' || word[0] == '-') {
            return false;
        }
        number = static_cast<long long>(unsignedNumber);
    }
    *value = number;
    return true;
}

bool ParseBool(const std::string& word, bool* value)
{
    if (word == "true" || word == "1") {
        *value = true;
    } else if (word == "false" || word == "0") {
        *value = false;
    } else {
        return false;
    }
    return true;
}

int64_t Number(size_t line, const std::string& word)
{
    int64_t value = 0;
    if (!ParseNumber(word, &value)) {
        Fail(line, "not a number: " + word);
    }
    return value;
}

int StatusOf(size_t line, const std::string& word)
{
    static const char* const kNames[] = {"STANDBY",   "WAITINGNEXTPAGE",          "RECEIVING",
                                         "XFERREADY", "WAITINGDOCUMENTINSERTION", "ALLEND"};
    for (int i = 0; i < 6; ++i) {
        if (word == kNames[i]) {
            return i;
        }
    }
    return static_cast<int>(Number(line, word));
}

// Sets a field from the words after its name (rest: the text after it).
void SetField(void* record, const FieldInfo& field, const std::vector<std::string>& values, const std::string& rest,
              size_t line)
{
    unsigned char* bytes = static_cast<unsigned char*>(record) + field.offset;
    if (field.kind == FieldInfo::Text) {
        std::string text = rest;
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
            text = text.substr(1, text.size() - 2);
        }
        if (text.size() >= field.count) {
            Fail(line, "text longer than " + std::to_string(field.count - 1) + " bytes");
        }
        std::memset(bytes, 0, field.count);
        std::memcpy(bytes, text.data(), text.size());
        return;
    }
    if (values.empty() || values.size() > field.count) {
        Fail(line, field.name + " takes 1 to " + std::to_string(field.count) + " values");
    }
    for (size_t i = 0; i < values.size(); ++i) {
        int64_t value = 0;
        bool flag = false;
        if (field.kind == FieldInfo::Bool) {
            if (!ParseBool(values[i], &flag)) {
                Fail(line, "not true or false: " + values[i]);
            }
            value = flag;
        } else {
            value = Number(line, values[i]);
        }
        std::memcpy(bytes + i * field.elementSize, &value, field.elementSize);  // little-endian: the low bytes
    }
}

void AddPage(Step& step, const std::vector<std::string>& words, size_t line)
{
    if (words.size() < 5) {
        Fail(line, "page <width> <height> <bits> <pattern> [options]");
    }
    step.isPage = true;
    step.width = static_cast<uint32_t>(Number(line, words[1]));
    step.height = static_cast<uint32_t>(Number(line, words[2]));
    step.bits = static_cast<uint32_t>(Number(line, words[3]));
    step.pattern = words[4];
    if (step.bits != 1 && step.bits != 8 && step.bits != 24) {
        Fail(line, "bits must be 1, 8 or 24");
    }
    if (RowBytes(step.width, step.bits) * step.height > (uint64_t{512} << 20)) {
        Fail(line, "page larger than 512 MiB");
    }
    try {
        PatternByte(step.pattern, 0, 0);
    } catch (const std::runtime_error&) {
        Fail(line, "unknown pattern " + step.pattern);
    }
    for (size_t i = 5; i < words.size(); ++i) {
        if (words[i] == "blank") {
            step.blank = true;
        } else if (words[i] == "maxlength") {
            step.maxLength = true;
        } else if (words[i] == "source" && i + 1 < words.size()) {
            step.hasSource = true;
            step.source = static_cast<int>(Number(line, words[++i]));
        } else if (words[i] == "result" && i + 1 < words.size()) {
            step.result = Number(line, words[++i]);
        } else {
            Fail(line, "unknown page option " + words[i]);
        }
    }
}

const char* const kVsResultOps[] = {
    "Initialize",         "GetCommunityName",        "SetCommunityName",     "EnumerateDevice",        "SelectDevice",
    "GetSelectedDevInfo", "QueryDeviceCapabilities", "GetIccProfile",        "GetPushScanParameter",   "StartScanning",
    "GetBarcodeResult",   "GetPatchcodeResult",      "GetRemainingWaitTime", "GetCurrentReceivedLines"};
const char* const kBoolOps[] = {"AbortScanning", "FinishAutoContinuousScan"};

void SetResult(Script& script, const std::vector<std::string>& words, size_t line)
{
    if (words.size() != 3) {
        Fail(line, "result <operation> <value>");
    }
    for (const char* op : kBoolOps) {
        if (words[1] == op) {
            bool flag = false;
            if (!ParseBool(words[2], &flag)) {
                Fail(line, "not true or false: " + words[2]);
            }
            script.results[op] = flag;
            return;
        }
    }
    for (const char* op : kVsResultOps) {
        if (words[1] == op) {
            script.results[op] = Number(line, words[2]);
            return;
        }
    }
    Fail(line, "no scripted result for " + words[1]);
}

}  // namespace

uint64_t RowBytes(uint32_t width, uint32_t bits)
{
    return bits == 1 ? (uint64_t{width} + 7) / 8 : uint64_t{width} * (bits / 8);
}

uint8_t PatternByte(const std::string& pattern, uint32_t row, uint32_t index)
{
    if (pattern == "zero") {
        return 0;
    }
    if (pattern == "white") {
        return 0xFF;
    }
    if (pattern == "rows") {
        return static_cast<uint8_t>(row);
    }
    if (pattern == "gradient") {
        return static_cast<uint8_t>(3u * row + index);
    }
    if (pattern == "red") {
        return index % 3 == 0 ? 0xFF : 0x00;
    }
    int64_t value = 0;
    if (pattern.compare(0, 5, "fill:") == 0 && ParseNumber(pattern.substr(5), &value) && value >= 0 && value <= 255) {
        return static_cast<uint8_t>(value);
    }
    throw std::runtime_error("unknown pattern " + pattern);
}

Script ParseScript(const std::string& text)
{
    Script script;
    std::istringstream lines(text);
    std::string raw;
    size_t line = 0;
    while (std::getline(lines, raw)) {
        ++line;
        size_t hash = raw.find('#');
        std::string content = raw.substr(0, hash);
        std::istringstream in(content);
        std::vector<std::string> words;
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            continue;
        }
        const std::string& what = words[0];
        std::vector<std::string> values(words.size() > 2 ? words.begin() + 2 : words.end(), words.end());
        if (what == "result") {
            SetResult(script, words, line);
        } else if (what == "connection" || what == "adf") {
            if (words.size() < 2) {
                Fail(line, what + " needs a value");
            }
            std::vector<bool> flags;
            std::vector<int> numbers;
            for (size_t i = 1; i < words.size(); ++i) {
                bool flag = false;
                if (what == "connection" && !ParseBool(words[i], &flag)) {
                    Fail(line, "not true or false: " + words[i]);
                }
                flags.push_back(flag);
                numbers.push_back(what == "adf" ? static_cast<int>(Number(line, words[i])) : 0);
            }
            if (what == "connection") {
                script.connection = flags;
            } else {
                script.adf = numbers;
            }
        } else if (what == "cap" || what == "push" || what == "bitmap") {
            if (words.size() < 3) {
                Fail(line, what + " <field> <value>...");
            }
            std::vector<FieldInfo> fields = what == "cap"    ? CapabilityFields()
                                            : what == "push" ? PushFields()
                                                             : BitmapFields();
            void* record = what == "cap"    ? static_cast<void*>(&script.capability)
                           : what == "push" ? static_cast<void*>(&script.push)
                                            : static_cast<void*>(&script.bitmap);
            const FieldInfo* field = FindField(fields, words[1]);
            if (field == nullptr) {
                Fail(line, "no field " + words[1] + " for " + what);
            }
            size_t start = content.find(words[1]) + words[1].size();
            size_t first = content.find_first_not_of(" \t", start);
            size_t last = content.find_last_not_of(" \t\r");
            std::string rest = first == std::string::npos ? "" : content.substr(first, last - first + 1);
            SetField(record, *field, values, rest, line);
        } else if (what == "status-delay" && words.size() == 2) {
            script.statusDelayMs = static_cast<int>(Number(line, words[1]));
        } else if (what == "adf-until-abort" && words.size() == 1) {
            script.adfUntilAbort = true;
        } else if (what == "start-until-abort" && words.size() == 1) {
            script.startUntilAbort = true;
        } else if (what == "scan" && words.size() == 1) {
            script.timelines.emplace_back();
        } else if (what == "status" || what == "page" || (what == "hold" && words.size() == 1)) {
            if (script.timelines.empty()) {
                script.timelines.emplace_back();
            }
            Step step;
            if (what == "hold") {
                step.hold = true;
            } else if (what == "status") {
                if (words.size() != 3) {
                    Fail(line, "status <state> <ms>|until-abort");
                }
                step.status = StatusOf(line, words[1]);
                step.untilAbort = words[2] == "until-abort";
                step.ms = step.untilAbort ? 0 : static_cast<int>(Number(line, words[2]));
            } else {
                AddPage(step, words, line);
            }
            script.timelines.back().push_back(step);
        } else {
            Fail(line, "unknown statement " + what);
        }
    }
    return script;
}

std::string DescribeFields(const void* record, const std::vector<FieldInfo>& fields)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(record);
    std::string out;
    for (const FieldInfo& field : fields) {
        if (!out.empty()) {
            out += ' ';
        }
        out += field.name + '=';
        const unsigned char* at = bytes + field.offset;
        if (field.kind == FieldInfo::Text) {
            out += '"' +
                   std::string(reinterpret_cast<const char*>(at),
                               strnlen(reinterpret_cast<const char*>(at), field.count)) +
                   '"';
            continue;
        }
        for (size_t i = 0; i < field.count; ++i) {
            uint64_t raw = 0;
            std::memcpy(&raw, at + i * field.elementSize, field.elementSize);
            int64_t value = static_cast<int64_t>(raw);
            size_t bits = field.elementSize * 8;
            if (field.isSigned && bits < 64 && (raw >> (bits - 1)) & 1) {
                value = static_cast<int64_t>(raw | (~uint64_t{0} << bits));
            }
            out += (i > 0 ? "," : "") + std::to_string(value);
        }
    }
    return out;
}

std::vector<FieldInfo> CapabilityFields()
{
    using R = vscore::tagVS_SCANNER_CAPABILITY_VER1;
    return {
        FE_FIELD(R, commandVersion),
        FE_FIELD(R, updateVersion),
        FE_FIELD(R, modelName),
        FE_FIELD(R, deviceCategory),
        FE_FIELD(R, resolutionList),
        FE_FIELD(R, colorType.blackAndWhite),
        FE_FIELD(R, colorType.errorDiffusion),
        FE_FIELD(R, colorType.trueGray),
        FE_FIELD(R, colorType.color256),
        FE_FIELD(R, colorType.color24bit),
        FE_FIELD(R, colorType.color256table),
        FE_FIELD(R, colorType.autoColor),
        FE_SIZES(R, supportDocSizeMax),
        FE_SIZES(R, deviceScanSizeMin),
        FE_FIELD(R, paperTypeList),
        FE_FIELD(R, paperNum),
        FE_FIELD(R, longPaper.simplexMaxLength),
        FE_FIELD(R, longPaper.duplexMaxLength),
        FE_FIELD(R, longPaper.unit),
        FE_FIELD(R, longPaper.maxResolution),
        FE_FIELD(R, autoSizeMaxResolution),
        FE_FIELD(R, paperSourceSpec.supportPaperSource.flatbed),
        FE_FIELD(R, paperSourceSpec.supportPaperSource.adfSimplex),
        FE_FIELD(R, paperSourceSpec.supportPaperSource.adfDuplex),
        FE_FIELD(R, paperSourceSpec.supportPaperSource.cardslot),
        FE_FIELD(R, paperSourceSpec.duplexScanSystem),
        FE_FIELD(R, paperSourceSpec.adfStackCapacity),
        FE_FIELD(R, paperPosition.flatbedX),
        FE_FIELD(R, paperPosition.flatbedY),
        FE_FIELD(R, paperPosition.adfX),
        FE_FIELD(R, paperPosition.adfY),
        FE_FIELD(R, paperPosition.cardslotX),
        FE_FIELD(R, paperPosition.cardslotY),
        FE_FIELD(R, marginSize.left),
        FE_FIELD(R, marginSize.right),
        FE_FIELD(R, marginSize.top),
        FE_FIELD(R, marginSize.bottom),
        FE_FIELD(R, marginSize.unit),
        FE_FIELD(R, autoCrop),
        FE_FIELD(R, deskew.cap),
        FE_FIELD(R, deskew.maxResolution),
        FE_FIELD(R, detectEndOfPage),
        FE_FIELD(R, rotateImage),
        FE_LEVEL(R, backgroundRemoval.blackAndWhite),
        FE_LEVEL(R, backgroundRemoval.errorDiffusion),
        FE_LEVEL(R, backgroundRemoval.trueGray),
        FE_LEVEL(R, backgroundRemoval.color24bit),
        FE_FIELD(R, carrierSheet),
        FE_FIELD(R, plasticCard),
        FE_FIELD(R, blankRemoval.cap),
        FE_FIELD(R, blankRemoval.systemType),
        FE_FIELD(R, blankRemoval.blankLevel.cap),
        FE_FIELD(R, blankRemoval.blankLevel.levelMax),
        FE_FIELD(R, blankRemoval.blankLevel.levelMin),
        FE_FIELD(R, blankRemoval.blankLevel.levelDef),
        FE_FIELD(R, xferCount),
        FE_FIELD(R, multifeedDetect),
        FE_FIELD(R, quietMode),
        FE_FIELD(R, colorProfile),
    };
}

std::vector<FieldInfo> PushFields()
{
    using R = PushScanKeyInfo;
    return {
        FE_FIELD(R, scanEvent.isSet),       FE_FIELD(R, scanEvent.value),   FE_FIELD(R, scanStartTiming.isSet),
        FE_FIELD(R, scanStartTiming.value), FE_FIELD(R, duplex.isSet),      FE_FIELD(R, duplex.value),
        FE_FIELD(R, resolution.isSetX),     FE_FIELD(R, resolution.isSetY), FE_FIELD(R, resolution.x),
        FE_FIELD(R, resolution.y),          FE_FIELD(R, colorType.isSet),   FE_FIELD(R, colorType.value),
        FE_FIELD(R, paperType.isSet),       FE_FIELD(R, paperType.value),   FE_FIELD(R, brightness.isSet),
        FE_FIELD(R, brightness.value),      FE_FIELD(R, contrast.isSet),    FE_FIELD(R, contrast.value),
        FE_FIELD(R, autoCrop.isSet),        FE_FIELD(R, autoCrop.isOn),     FE_FIELD(R, blankPageRemoval.isSet),
        FE_FIELD(R, blankPageRemoval.isOn), FE_FIELD(R, deskew.isSet),      FE_FIELD(R, deskew.isOn),
    };
}

std::vector<FieldInfo> BitmapFields()
{
    using R = ScanBitmapImageInfo;
    return {
        FE_FIELD(R, bitsPerPixel),    FE_FIELD(R, resolutionX), FE_FIELD(R, resolutionY), FE_FIELD(R, pixelsPerMeterX),
        FE_FIELD(R, pixelsPerMeterY), FE_FIELD(R, width),       FE_FIELD(R, height),      FE_FIELD(R, bytesPerLine),
    };
}

std::vector<FieldInfo> SelectionFields()
{
    using R = vscore::_VS_SELECT_DEVICE_INFO;
    return {
        FE_FIELD(R, typeDeviceIf),   FE_FIELD(R, typeDeviceId),    FE_FIELD(R, nameDevice), FE_FIELD(R, addrNetwork),
        FE_FIELD(R, usbId.idVendor), FE_FIELD(R, usbId.idProduct), FE_FIELD(R, idLocation),
    };
}

std::vector<FieldInfo> ScanRequestFields()
{
    using R = vscore::VS_SCANNER_PARAMETERS;
    return {
        FE_FIELD(R, resolutionX),
        FE_FIELD(R, resolutionY),
        FE_FIELD(R, colortype),
        FE_FIELD(R, scanAreaInfo.papertype),
        FE_FIELD(R, scanAreaInfo.customPaperSize.size.x),
        FE_FIELD(R, scanAreaInfo.customPaperSize.size.y),
        FE_FIELD(R, scanAreaInfo.customPaperSize.unit),
        FE_FIELD(R, scanAreaInfo.areaSelected),
        FE_FIELD(R, scanAreaInfo.selectArea.offsetX),
        FE_FIELD(R, scanAreaInfo.selectArea.offsetY),
        FE_FIELD(R, scanAreaInfo.selectArea.width),
        FE_FIELD(R, scanAreaInfo.selectArea.height),
        FE_FIELD(R, scanAreaInfo.selectArea.unit),
        FE_FIELD(R, brightness),
        FE_FIELD(R, contrast),
        FE_FIELD(R, duplextype),
        FE_FIELD(R, paperSource),
        FE_FIELD(R, landscapeMode),
        FE_FIELD(R, enhanced.autocrop),
        FE_FIELD(R, enhanced.deskew),
        FE_FIELD(R, enhanced.multifeedDetect),
        FE_FIELD(R, enhanced.blankRemoval.remove),
        FE_FIELD(R, enhanced.blankRemoval.level),
    };
}

}  // namespace fakeengine
