// Command line, filter, log start and the terminal's choice line of the
// setup tools.
#include "netsetup/FrontEnd.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "backend_source/DebugLog.h"
#include "netsetup/EnumDev.h"
#include "netsetup/IniFile.h"

namespace netsetup {

namespace {

constexpr char kSource[] = "netsetup";

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

int ReadMaximum(const char* text)
{
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || value < 1) {
        return kDefaultMaxDevices;
    }
    return errno == ERANGE || value > kMaxNetDevices ? kMaxNetDevices : static_cast<int>(value);
}

bool EitherContains(const char* a, const char* b) { return strcasestr(a, b) != nullptr || strcasestr(b, a) != nullptr; }

}  // namespace

void read_arguments(int argc, char** argv, bool terminal, RunSettings& settings)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--debuglog=stderr") == 0) {
            settings.logMode = 1;
        } else if (std::strcmp(arg, "--debuglog=file") == 0) {
            settings.logMode = 2;
        } else if (StartsWith(arg, "--max=")) {
            settings.maximum = ReadMaximum(arg + 6);
        } else if (terminal && StartsWith(arg, "--query-network-scanner")) {
            settings.queryOnly = true;
        } else {
            std::snprintf(settings.filter, sizeof settings.filter, "%.127s", arg);
            strip_hyphens(settings.filterWithoutHyphens, settings.filter, sizeof settings.filterWithoutHyphens);
        }
    }
}

void strip_hyphens(char* destination, const char* source, size_t size)
{
    if (size == 0) {
        return;
    }
    size_t out = 0;
    for (const char* p = source; *p != '\0' && out + 1 < size; ++p) {
        if (*p != '-') {
            destination[out++] = *p;
        }
    }
    destination[out] = '\0';
}

bool passes_filter(const char* model, const RunSettings& settings)
{
    if (settings.filter[0] == '\0') {
        return true;
    }
    char bare[sizeof NetDevice::model];
    strip_hyphens(bare, model, sizeof bare);
    return EitherContains(model, settings.filter) || EitherContains(bare, settings.filterWithoutHyphens);
}

void start_tool_log(int mode) { loging_start_as(mode == 1 ? 1 : mode == 2 ? 3 : 0, NETSETUP_LOG_PATH, false); }

bool prepare_run(const RunSettings& settings)
{
    start_tool_log(settings.logMode);
    locate_companion_files();
    const CompanionFiles& files = companion_files();
    if (files.program[0] == '\0') {
        std::fprintf(stderr, "no companion program (tolmexconfig) in %s\n", files.folder);
        return false;
    }
    writelog(kSource, __LINE__, 0, "maximum %d, filter \"%s\"\n", settings.maximum, settings.filter);
    enumerate_network_scanners(settings.maximum);
    return true;
}

bool read_choice_line(FILE* file, char (&line)[kChoiceChars + 1])
{
    size_t length = 0;
    bool any = false;
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (length < kChoiceChars) {
            line[length++] = static_cast<char>(c);
        }
    }
    line[length] = '\0';
    return any;
}

bool parse_choice(const char* line, int count, int* row, int* action)
{
    const char* p = line;
    int chosen = kAdd;
    if (*p == 'r' || *p == 'd' || *p == 'R' || *p == 'D') {
        chosen = kRemove;
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return false;
    }
    long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) {
            return false;
        }
    }
    if (value >= count) {
        return false;
    }
    *row = static_cast<int>(value);
    *action = chosen;
    return true;
}

}  // namespace netsetup
