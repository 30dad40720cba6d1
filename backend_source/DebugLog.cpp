// Debug log: mode selection, line formatting and the append-only log file.
// The file is opened per line without following links and only when it is a
// regular file, since front ends may run as root and /tmp is shared.
#include "backend_source/DebugLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backend_source/BugChk.h"
#include "backend_source/IniFile.h"

namespace {

constexpr char kSource[] = "debuglog";
constexpr int kMaxMode = 4;
constexpr size_t kMessageSize = 1024;  // at most 1023 characters of message
constexpr int kMaxIndent = 64;

std::atomic<int> g_mode{0};
std::atomic<bool> g_lineEnd{true};
// Set by loging_start before any other thread runs; read-only afterwards.
char g_logPath[4096] = VORDANE5_LOG_PATH;

// Appends text to the log file, skipping a file that is not a regular file.
void AppendToFile(const char* text, size_t length)
{
    int fd = open(g_logPath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        ssize_t written = write(fd, text, length);
        (void)written;
    }
    close(fd);
}

void Emit(const std::string& text)
{
    int mode = g_mode.load();
    if (mode == 1 || mode == 2) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    } else if (mode == 3 || mode == 4) {
        AppendToFile(text.data(), text.size());
    }
}

}  // namespace

void loging_start() { loging_start_at(VORDANE5_INI_PATH, VORDANE5_LOG_PATH); }

void loging_start_at(const char* iniPath, const char* logPath)
{
    std::snprintf(g_logPath, sizeof g_logPath, "%s", logPath != nullptr ? logPath : VORDANE5_LOG_PATH);
    int mode = get_inifile_int_at(iniPath, "LOG", 0);
    if (mode < 0 || mode > kMaxMode) {
        mode = 0;
    }
    int checkLevel = 0;
    if (mode == 0) {
        const char* variable = std::getenv("kavrun5_debuglog");
        if (variable != nullptr && variable[0] >= '0' && variable[0] <= '4' && variable[1] == '\0') {
            mode = variable[0] - '0';
            if (mode == 2 || mode == 4) {
                checkLevel = 2;
            }
        }
    }
    bugchk_request_level(checkLevel);
    g_lineEnd.store(true);
    g_mode.store(mode);
    if (mode != 0) {
        writelog(kSource, __LINE__, 0, "vordane5 backend built %s %s", __DATE__, __TIME__);
    }
}

void loging_start_as(int mode, const char* logPath, bool lineEnd)
{
    std::snprintf(g_logPath, sizeof g_logPath, "%s", logPath != nullptr ? logPath : VORDANE5_LOG_PATH);
    g_lineEnd.store(lineEnd);
    g_mode.store(mode >= 0 && mode <= kMaxMode ? mode : 0);
}

int loging_mode() { return g_mode.load(); }

void writelog(const char* source, int line, int indent, const char* format, ...)
{
    if (g_mode.load() == 0) {
        return;
    }
    char message[kMessageSize] = "";
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
    }
    if (indent < 0) {
        indent = 0;
    }
    if (indent > kMaxIndent) {
        indent = kMaxIndent;
    }
    std::string text(static_cast<size_t>(indent), ' ');
    char head[160];
    std::snprintf(head, sizeof head, "%.100s(%d):", source != nullptr ? source : "", line);
    text += head;
    text += message;
    if (g_lineEnd.load()) {
        text += '\n';
    }
    Emit(text);
}

void error_detect(const char* source, int line)
{
    char text[160];
    int length = std::snprintf(text, sizeof text, "DETECT ERROR @%.100s(%d)\n", source != nullptr ? source : "", line);
    if (length > 0) {
        Emit(std::string(text, static_cast<size_t>(length) < sizeof text ? length : sizeof text - 1));
    }
}
