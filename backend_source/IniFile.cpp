// Reading keys of the driver settings file.
#include "backend_source/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "backend_source/DebugLog.h"

namespace {

constexpr char kSource[] = "ini";
// Only the first 126 characters of a line are read.
constexpr size_t kLineChars = 126;
// Texts of numbers are read into 16 bytes.
constexpr size_t kNumberSize = 16;

// Reads the next line's first 126 characters into line (with its '\n' when
// that fits) and skips the rest of it. False at the end of the file.
bool ReadLine(FILE* file, char (&line)[kLineChars + 1])
{
    if (std::fgets(line, sizeof line, file) == nullptr) {
        return false;
    }
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] != '\n') {
        int c;
        while ((c = std::fgetc(file)) != EOF && c != '\n') {
        }
    }
    return true;
}

void CopyText(char* out, const char* text) { std::memcpy(out, text, std::strlen(text) + 1); }

}  // namespace

char* get_inifile_string(const char* key, char* out, size_t size, const char* def)
{
    return get_inifile_string_at(VORDANE5_INI_PATH, key, out, size, def);
}

char* get_inifile_string_at(const char* path, const char* key, char* out, size_t size, const char* def)
{
    if (out == nullptr || size == 0) {
        error_detect(kSource, __LINE__);
        return nullptr;
    }
    const char* fallback = def != nullptr ? def : "";
    if (std::strlen(fallback) >= size) {
        out[0] = '\0';
        error_detect(kSource, __LINE__);
        return nullptr;
    }
    CopyText(out, fallback);
    if (path == nullptr || key == nullptr || key[0] == '\0') {
        return out;
    }
    FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        return out;
    }
    size_t keyLength = std::strlen(key);
    char line[kLineChars + 1];
    while (ReadLine(file, line)) {
        if (line[0] == '#' || std::strncmp(line, key, keyLength) != 0 || line[keyLength] != '=') {
            continue;
        }
        char* value = line + keyLength + 1;
        size_t length = std::strlen(value);
        if (length > 0 && (value[length - 1] == '\n' || value[length - 1] == '\r')) {
            value[--length] = '\0';
        }
        if (length < size) {
            CopyText(out, value);
        }
        break;
    }
    std::fclose(file);
    return out;
}

int get_inifile_int(const char* key, int def) { return get_inifile_int_at(VORDANE5_INI_PATH, key, def); }

int get_inifile_int_at(const char* path, const char* key, int def)
{
    char fallback[kNumberSize];
    std::snprintf(fallback, sizeof fallback, "%d", def);
    char text[kNumberSize];
    if (get_inifile_string_at(path, key, text, sizeof text, fallback) == nullptr) {
        return def;
    }
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}
