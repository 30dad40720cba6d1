// Companion-file search beside the program and the tools' reading of the
// supported-model names.
#include "netsetup/IniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "backend_source/DebugLog.h"
#include "netsetup/Scramble.h"

namespace netsetup {

namespace {

constexpr char kSource[] = "inifile";
constexpr char kSupportModel[] = "[Support Model]";
constexpr size_t kNameGrowth = 10;

CompanionFiles g_files;

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool EndsWith(const char* text, const char* suffix)
{
    size_t length = std::strlen(text);
    size_t tail = std::strlen(suffix);
    return length >= tail && std::strcmp(text + length - tail, suffix) == 0;
}

bool IsModelList(const char* name)
{
    return EndsWith(name, ".ini") &&
           (StartsWith(name, "Tolmex") || StartsWith(name, "tolmex") || StartsWith(name, "kavrun"));
}

bool IsCompanionProgram(const char* name)
{
    return std::strpbrk(name, "._-") == nullptr &&
           (StartsWith(name, "tolmexconfig") || StartsWith(name, "kavrunconfig"));
}

bool IsRegistrationFile(const char* name)
{
    return EndsWith(name, ".cfg") && strncasecmp(name, "tolmexnetdevice", 15) == 0;
}

bool IsModelDirName(const char* name) { return StartsWith(name, "models") || StartsWith(name, "Models"); }

// Whether the entry is a directory itself (a link to one does not count).
bool IsDirectory(const char* folder, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN) {
        return entry->d_type == DT_DIR;
    }
    char path[kCompanionPathSize];
    struct stat info;
    return std::snprintf(path, sizeof path, "%s%s", folder, entry->d_name) < static_cast<int>(sizeof path) &&
           lstat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Sets slot to folder + name when slot is still empty and the path fits.
void Take(char (&slot)[kCompanionPathSize], const char* folder, const char* name)
{
    if (slot[0] != '\0') {
        return;
    }
    int length = std::snprintf(slot, sizeof slot, "%s%s", folder, name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof slot) {
        slot[0] = '\0';  // never a path cut short
    }
}

// Model-file names: more than 3 characters, no leading '.', ending ".ini".
bool IsModelFileName(const char* name) { return std::strlen(name) > 3 && name[0] != '.' && EndsWith(name, ".ini"); }

// Cuts line at its first '\n' and its first '\r'.
void CutLineEnd(char* line) { line[std::strcspn(line, "\r\n")] = '\0'; }

// Opens a regular file for reading (never blocking on a pipe or device).
FILE* OpenRegular(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info;
    FILE* file = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        file = fdopen(fd, "r");
    }
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

// Reads one file of names. descramble: the driver's model files, whose lines
// may be scrambled and whose '#' lines are comments.
void ReadNames(const char* path, bool descramble, ModelNameList& names)
{
    FILE* file = OpenRegular(path);
    if (file == nullptr) {
        writelog(kSource, __LINE__, 0, "cannot read %s\n", path);
        return;
    }
    char line[kModelFileLineSize];
    if (read_model_file_line(file, line, sizeof line, descramble) && StartsWith(line, kSupportModel)) {
        while (read_model_file_line(file, line, sizeof line, descramble)) {
            if (descramble && line[0] == '#') {
                continue;
            }
            if (line[0] == '[') {
                break;
            }
            CutLineEnd(line);
            char name[kModelNameChars + 1];
            if (model_name_of_line(line, name, sizeof name)) {
                names.Add(name);
            }
        }
    }
    std::fclose(file);
}

}  // namespace

bool locate_companion_files()
{
    char self[kCompanionPathSize];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof self) {
        std::memset(&g_files, 0, sizeof g_files);
        writelog(kSource, __LINE__, 0, "cannot read the program's path\n");
        return false;
    }
    self[length] = '\0';
    char* slash = std::strrchr(self, '/');
    if (slash == nullptr) {
        std::memset(&g_files, 0, sizeof g_files);
        return false;
    }
    slash[1] = '\0';
    return locate_companion_files_in(self);
}

bool locate_companion_files_in(const char* folder)
{
    std::memset(&g_files, 0, sizeof g_files);
    size_t length = std::strlen(folder);
    bool slash = length > 0 && folder[length - 1] == '/';
    if (length + (slash ? 0 : 1) >= sizeof g_files.folder) {
        return false;
    }
    std::snprintf(g_files.folder, sizeof g_files.folder, "%s%s", folder, slash ? "" : "/");
    DIR* dir = opendir(g_files.folder);
    if (dir != nullptr) {
        while (const dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (IsModelList(name)) {
                Take(g_files.modelList, g_files.folder, name);
            }
            if (IsCompanionProgram(name)) {
                Take(g_files.program, g_files.folder, name);
            }
            if (IsRegistrationFile(name)) {
                Take(g_files.registration, g_files.folder, name);
            }
            if (IsModelDirName(name) && g_files.modelDir[0] == '\0' && IsDirectory(g_files.folder, entry)) {
                Take(g_files.modelDir, g_files.folder, name);
            }
        }
        closedir(dir);
    }
    if (g_files.program[0] == '\0') {
        g_files.modelList[0] = g_files.registration[0] = g_files.modelDir[0] = '\0';
    }
    writelog(kSource, __LINE__, 0, "%s\n", g_files.modelDir);
    writelog(kSource, __LINE__, 0, "%s\n", g_files.modelList);
    writelog(kSource, __LINE__, 0, "%s\n", g_files.registration);
    writelog(kSource, __LINE__, 0, "%s\n", g_files.program);
    return g_files.modelDir[0] != '\0' && g_files.modelList[0] != '\0' && g_files.registration[0] != '\0';
}

const CompanionFiles& companion_files() { return g_files; }

void ModelNameList::Add(const char* name)
{
    if (names_.size() == names_.capacity()) {
        names_.reserve(names_.size() + kNameGrowth);
    }
    names_.emplace_back(name, strnlen(name, kModelNameChars));
}

bool model_name_of_line(const char* line, char* name, size_t size)
{
    if (size == 0) {
        return false;
    }
    name[0] = '\0';
    size_t length = std::strcspn(line, "\r\n");
    if (length == 0) {
        return false;
    }
    const char* start = line;
    const char* end = line + length;
    if (std::memchr(line, ',', length) != nullptr) {
        for (int commas = 0; commas < 3; ++commas) {
            const void* comma = std::memchr(start, ',', static_cast<size_t>(end - start));
            if (comma == nullptr) {
                return false;
            }
            start = static_cast<const char*>(comma) + 1;
        }
        if (start < end && *start == '"') {
            ++start;
        }
        const char* stop = start;
        while (stop < end && *stop != '"' && *stop != ',') {
            ++stop;
        }
        end = stop;
    }
    size_t keep = static_cast<size_t>(end - start);
    if (keep > kModelNameChars) {
        keep = kModelNameChars;
    }
    if (keep > size - 1) {
        keep = size - 1;
    }
    std::memcpy(name, start, keep);
    name[keep] = '\0';
    return keep > 0;
}

void read_support_model_files_from(const char* modelDir, const char* modelList, ModelNameList& names)
{
    if (modelDir != nullptr && modelDir[0] != '\0') {
        DIR* dir = opendir(modelDir);
        if (dir != nullptr) {
            while (const dirent* entry = readdir(dir)) {
                if (!IsModelFileName(entry->d_name)) {
                    continue;
                }
                char path[2 * kCompanionPathSize];
                int length = std::snprintf(path, sizeof path, "%s/%s", modelDir, entry->d_name);
                if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
                    continue;
                }
                writelog(kSource, __LINE__, 0, "  check %s\n", path);
                ReadNames(path, true, names);
            }
            closedir(dir);
        }
    }
    if (modelList != nullptr && modelList[0] != '\0') {
        ReadNames(modelList, false, names);
    }
}

void read_support_model_files(ModelNameList& names)
{
    read_support_model_files_from(g_files.modelDir, g_files.modelList, names);
}

}  // namespace netsetup
