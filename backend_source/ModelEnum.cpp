// Model files of the driver package: their lines, the supported-model list
// with its end mark, the support rule and the family blacklist.
#include "backend_source/ModelEnum.h"

#include <dirent.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/ModelLineDecode.h"

namespace {

constexpr char kSource[] = "modelenum";
constexpr int kIndent = 3;
constexpr char kEndMark[4] = {'L', 'A', 'S', 'T'};
constexpr int kGrowth = 2;
constexpr size_t kModelChars = 31;
constexpr size_t kFieldChars = 127;
constexpr int kFields = 6;
// The first line of a model file is read up to this many characters; later
// lines up to the longest line the descrambling takes.
constexpr size_t kFirstLineChars = 239;
constexpr size_t kLineChars = kModelLineMax;
constexpr char kSectionHeader[] = "[Support Model]";
constexpr char kMakerPrefix[] = "vordane ";

// Family prefixes of model names that are never admitted as possibly
// supported. The maker's own product data names the real families; these
// stand in for them until it is supplied.
const char* const kBuiltInBlacklist[4] = {"QZX-", "QZY-", "QZW-", "QZV-"};
const char* g_blacklist[4] = {kBuiltInBlacklist[0], kBuiltInBlacklist[1], kBuiltInBlacklist[2], kBuiltInBlacklist[3]};

size_t Bytes(int max) { return sizeof(SupportDevicesList) + static_cast<size_t>(max) * sizeof(SupportDevice); }

SupportDevice* Entries(SupportDevicesList* list)
{
    return reinterpret_cast<SupportDevice*>(reinterpret_cast<char*>(list) + sizeof(SupportDevicesList));
}

void WriteEndMark(SupportDevicesList* list)
{
    list->size = static_cast<int>(Bytes(list->max));
    std::memcpy(reinterpret_cast<char*>(list) + list->size, kEndMark, sizeof kEndMark);
}

const char* SkipBlanks(const char* text)
{
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    return text;
}

// Copies text without trailing blanks into out (at most limit characters).
void CopyTrimmed(const char* text, size_t length, char* out, size_t limit)
{
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) {
        --length;
    }
    if (length > limit) {
        length = limit;
    }
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// Reads a line of at most limit characters into line (limit + 2 bytes),
// without its line end, and skips the rest of a longer line. False at the
// end of the file.
bool ReadLine(FILE* file, char* line, size_t limit)
{
    if (std::fgets(line, static_cast<int>(limit + 1), file) == nullptr) {
        return false;
    }
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] != '\n' && length == limit) {
        int c;
        while ((c = std::fgetc(file)) != EOF && c != '\n') {
        }
    }
    return true;
}

bool EndsWith(const char* name, const char* suffix)
{
    size_t n = std::strlen(name);
    size_t m = std::strlen(suffix);
    return n >= m && std::strcmp(name + n - m, suffix) == 0;
}

SupportDevicesList* ReadModelFile(const std::string& path, SupportDevicesList* list)
{
    FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr) {
        return list;
    }
    char line[kLineChars + 2];
    if (!ReadLine(file, line, kFirstLineChars)) {
        std::fclose(file);
        return list;
    }
    decode(line);
    writelog(kSource, __LINE__, kIndent, "inifile=%s  : %s\n", path.c_str(), line);
    if (std::strncmp(line, kSectionHeader, sizeof kSectionHeader - 1) != 0) {
        std::fclose(file);
        return list;
    }
    while (list != nullptr && ReadLine(file, line, kLineChars)) {
        decode(line);
        writelog(kSource, __LINE__, kIndent, "inifile=%s  : %s\n", path.c_str(), line);
        if (line[0] == '#' || line[0] == '\n' || line[0] == '\r') {
            continue;
        }
        line[std::strcspn(line, "\n")] = '\0';
        line[std::strcspn(line, "\r")] = '\0';
        int id = -1;
        char name[kModelChars + 1];
        if (parse_model_line(line, &id, name)) {
            SupportDevicesList* grown = add_support_device(list, name, static_cast<uint16_t>(id));
            if (grown == nullptr) {
                break;  // the list stays as it was
            }
            list = grown;
        }
    }
    std::fclose(file);
    return list;
}

}  // namespace

SupportDevicesList* new_support_devices_list()
{
    auto* list =
        static_cast<SupportDevicesList*>(bugchk_calloc(1, Bytes(kGrowth) + sizeof kEndMark, __LINE__, kSource));
    if (list != nullptr) {
        list->num = 0;
        list->max = kGrowth;
        WriteEndMark(list);
    }
    return list;
}

void free_support_devices_list(SupportDevicesList* list)
{
    if (list != nullptr) {
        check_support_devices_list(list);
        bugchk_free(list, __LINE__, kSource);
    }
}

const SupportDevice* support_devices(const SupportDevicesList* list)
{
    return Entries(const_cast<SupportDevicesList*>(list));
}

void check_support_devices_list(const SupportDevicesList* list)
{
    char mark[sizeof kEndMark];
    bool ok = list->size >= 0 && static_cast<size_t>(list->size) == Bytes(list->max) && list->num >= 0 &&
              list->num <= list->max;
    if (ok) {
        std::memcpy(mark, reinterpret_cast<const char*>(list) + list->size, sizeof mark);
        ok = std::memcmp(mark, kEndMark, sizeof mark) == 0;
    }
    if (!ok) {
        std::fprintf(stderr, "%s: %s: Assertion `%s' failed.\n", kSource, "check_support_devices_list",
                     "*(int *)((char *)sd_list + sd_list->size) == (*((int *)\"LAST\"))");
        std::fflush(stderr);
        std::abort();
    }
}

SupportDevicesList* add_support_device(SupportDevicesList* list, const char* model, uint16_t productId)
{
    check_support_devices_list(list);
    if (list->num >= list->max) {
        int max = list->max + kGrowth;
        auto* grown =
            static_cast<SupportDevicesList*>(bugchk_calloc(1, Bytes(max) + sizeof kEndMark, __LINE__, kSource));
        if (grown == nullptr) {
            return nullptr;
        }
        std::memcpy(grown, list, Bytes(list->max));
        grown->max = max;
        WriteEndMark(grown);
        bugchk_free(list, __LINE__, kSource);
        list = grown;
    }
    SupportDevice& entry = Entries(list)[list->num++];
    std::snprintf(entry.model, sizeof entry.model, "%.31s", model);
    entry.productId = productId;
    check_support_devices_list(list);
    return list;
}

bool parse_model_line(const char* line, int* productId, char* name)
{
    *productId = -1;
    name[0] = '\0';
    char fields[kFields][kFieldChars + 1] = {};
    const char* p = line;
    for (int i = 0; i < kFields; ++i) {
        size_t length = std::strcspn(p, ",");
        const char* start = SkipBlanks(p);  // blanks never pass a comma or the end
        CopyTrimmed(start, length - static_cast<size_t>(start - p), fields[i], kFieldChars);
        if (p[length] != ',') {
            break;
        }
        p += length + 1;
    }
    if (fields[0][0] != '\0') {
        char* end = nullptr;
        errno = 0;
        long id = std::strtol(fields[0], &end, 16);
        if (end != fields[0] && *end == '\0' && errno == 0 && fields[0][0] != '-' && fields[0][0] != '+') {
            *productId = id >= 0 && id <= 0xFFFF ? static_cast<int>(id) : -1;
        }
    }
    const char* field = fields[3];
    if (field[0] == '"') {
        ++field;
        CopyTrimmed(field, std::strcspn(field, "\""), name, kModelChars);
    } else {
        CopyTrimmed(field, std::strlen(field), name, kModelChars);
    }
    writelog(kSource, __LINE__, kIndent, "parsed %x %s %s %s\n", static_cast<unsigned>(*productId), fields[0],
             fields[1], name);
    return *productId >= 0 && name[0] != '\0';
}

SupportDevicesList* read_model_files(const char* dir)
{
    SupportDevicesList* list = new_support_devices_list();
    if (list == nullptr) {
        return nullptr;
    }
    DIR* folder = opendir(dir);
    if (folder == nullptr) {
        writelog(kSource, __LINE__, kIndent, "no model folder %s\n", dir);
        return list;
    }
    while (dirent* entry = readdir(folder)) {
        const char* name = entry->d_name;
        if (std::strlen(name) <= 3 || name[0] == '.' || !EndsWith(name, ".ini")) {
            continue;
        }
        list = ReadModelFile(std::string(dir) + "/" + name, list);
    }
    closedir(folder);
    return list;
}

int is_supported_scanner(const char* model, const SupportDevicesList* list, long id)
{
    if (model == nullptr || list == nullptr) {
        return kNotSupported;
    }
    const char* text = support_rule_text(model);
    bool wildcard = false;
    bool otherProduct = false;
    const SupportDevice* entries = support_devices(list);
    for (int i = 0; i < list->num; ++i) {
        const char* entryName = entries[i].model;
        size_t length = strnlen(entryName, sizeof entries[i].model);
        if (length == 1 && entryName[0] == '*') {
            wildcard = true;
            continue;
        }
        if (!names_listed_model(text, entryName, length)) {
            continue;
        }
        if (id == -1) {
            return kSupported;
        }
        if (id >= 0 && id <= 0xFFFF && id == entries[i].productId) {
            return kSupported;
        }
        // A model may be listed once per product ID: look on.
        otherProduct = true;
    }
    if (otherProduct) {
        return kOtherProduct;
    }
    return wildcard && !is_in_blacklist(model) ? kPossiblySupported : kNotSupported;
}

bool is_in_blacklist(const char* model) { return begins_with_any(model, g_blacklist, 4); }

const char* support_rule_text(const char* model)
{
    return strncasecmp(model, kMakerPrefix, sizeof kMakerPrefix - 1) == 0 ? model + sizeof kMakerPrefix - 1 : model;
}

bool names_listed_model(const char* text, const char* name, size_t length)
{
    if (length == 0 || std::strncmp(text, name, length) != 0) {
        return false;
    }
    char next = text[length];
    return next == '\0' || next == ' ' || next == '\t';
}

bool begins_with_any(const char* model, const char* const* entries, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const char* entry = entries[i];
        if (entry != nullptr && entry[0] != '\0' && strncasecmp(model, entry, std::strlen(entry)) == 0) {
            return true;
        }
    }
    return false;
}

void set_blacklist_prefixes(const char* const* prefixes)
{
    for (int i = 0; i < 4; ++i) {
        g_blacklist[i] = prefixes != nullptr ? prefixes[i] : kBuiltInBlacklist[i];
    }
}
