// Reading the registration file of network scanners: its lines, bounded, and
// the device each one registers.
#include "backend_source/RegistrationFile.h"

#include <cstdio>
#include <cstring>

namespace {

// Widening three commas to " , " adds six characters.
constexpr size_t kWideLineSize = kRegistrationLineChars + 6 + 1;

// Drops a leading double quote and everything from the next one on.
void StripQuotes(char* text)
{
    if (text[0] != '"') {
        return;
    }
    std::memmove(text, text + 1, std::strlen(text));
    text[std::strcspn(text, "\"")] = '\0';
}

// Reads the line with the format; all four texts empty first.
int Scan(const char* line, const char* key, bool withFlag, RegistrationEntry* out, char* address)
{
    char format[128];
    std::snprintf(format, sizeof format, "DEVICE=%%283s , %%283s , %%283s , %s=%%283s %s", key,
                  withFlag ? ", FLAG=%283s" : "");
    out->name[0] = out->model[0] = out->third[0] = address[0] = '\0';
    char flag[284];
    return std::sscanf(line, format, out->name, out->model, out->third, address, flag);
}

}  // namespace

bool parse_registration_line(const char* line, RegistrationEntry* out)
{
    std::memset(out, 0, sizeof *out);
    char wide[kWideLineSize] = {};
    size_t w = 0;
    int commas = 0;
    for (size_t i = 0; i < kRegistrationLineChars && line[i] != '\0'; ++i) {
        if (line[i] == ',' && commas < 3) {
            ++commas;
            std::memcpy(wide + w, " , ", 3);
            w += 3;
        } else {
            wide[w++] = line[i];
        }
    }
    wide[w] = '\0';
    if (wide[0] == '\0' || wide[0] == '\n' || wide[0] == '\r' || wide[0] == '#' || wide[0] == '[') {
        return false;
    }
    if (std::strchr(wide, '=') == nullptr || std::strncmp(wide, "DEVICE=", 7) != 0) {
        return false;
    }
    const char* key = nullptr;
    if (std::strstr(wide, "IP-ADDRESS=") != nullptr) {
        key = "IP-ADDRESS";
    } else if (std::strstr(wide, "NODENAME=") != nullptr) {
        key = "NODENAME";
    } else {
        return false;
    }
    char address[284];
    Scan(wide, key, false, out, address);
    if (out->name[0] == '\0' || out->model[0] == '\0' || out->third[0] == '\0' || address[0] == '\0') {
        Scan(wide, key, true, out, address);
    }
    std::snprintf(out->address, sizeof out->address, "%.32s", address);
    StripQuotes(out->name);
    StripQuotes(out->model);
    StripQuotes(out->address);
    return out->name[0] != '\0';
}

bool read_registration_file(const char* path, const std::function<void(RegistrationEntry&)>& visit)
{
    FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        return false;
    }
    char line[kRegistrationLineChars + 2];
    while (std::fgets(line, static_cast<int>(kRegistrationLineChars + 1), file) != nullptr) {
        size_t length = std::strlen(line);
        if (length == kRegistrationLineChars && line[length - 1] != '\n') {
            int c;
            while ((c = std::fgetc(file)) != EOF && c != '\n') {
            }
        }
        RegistrationEntry entry;
        if (parse_registration_line(line, &entry)) {
            visit(entry);
        }
    }
    std::fclose(file);
    return true;
}
