// The settings-driven logger: reading "VdSetupLog.txt", opening the log and
// ring files, and forming and writing its lines.
#include "diagnostics/Logger.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "VexmorApi/Utilities/Path.h"
#include "vdtcl/CTDirFnc.h"
#include "vdtcl/CTFileFnc.h"
#include "vdtcl/CTModulePath.h"
#include "vdtcl/CTTime.h"
#include "vdtcl/TTString.h"
#include "vexmor_paths.h"

namespace vscore {

namespace {

constexpr char kSettingsFileName[] = "VdSetupLog.txt";
constexpr char kLogFolderName[] = "VdOutLog";
// A settings line is read in pieces of at most this many bytes.
constexpr size_t kSettingsLineBytes = 1023;

std::string FormatTimeStamp(int year, int month, int day, int hour, int minute, int second)
{
    char text[64];
    int const n =
        std::snprintf(text, sizeof text, "[%04d/%02d/%02d %02d:%02d:%02d] ", year, month, day, hour, minute, second);
    return n > 0 && static_cast<size_t>(n) < sizeof text ? std::string(text, static_cast<size_t>(n)) : std::string();
}

}  // namespace

Logger::Folders Logger::DefaultFolders()
{
    std::string const root = VEXMOR_PRIVATE_TMP_DIR;
    return Folders{root, root, Path::Append(root, kLogFolderName)};
}

Logger::Logger() : Logger(DefaultFolders()) {}

Logger::Logger(Folders folders) : folders_(std::move(folders)) {}

Logger::~Logger() { StopLogging(false); }

bool Logger::StartLogging(char const* logName, char const* ringName, bool header, bool writeForm, int ringLevel)
{
    if (logName == nullptr || logName[0] == '\0') {
        return false;
    }
    {
        // A second start opens afresh what its settings and arguments allow.
        std::lock_guard<std::mutex> lock(mutex_);
        logFile_.Close();
        ringFile_.StopUsing();
    }
    bool result = false;
    if (SetupLoggingConfig(writeForm) && fileLevel_.load() >= 0) {
        std::string const folder = GetLogDirectoryPath();
        std::string const path = Path::Append(folder, logName);
        if (CreateDirectoryIfNeed(folder)) {
            std::lock_guard<std::mutex> lock(mutex_);
            vdtcl::CTFileFnc files;
            if (!append_.load() && files.IsExistsFile(path.c_str())) {
                files.Remove(path.c_str());
            }
            result = logFile_.Open(path.c_str(), vdtcl::CTFileIo::OPEN_APPEND);
        }
    }
    std::string const ringFolder = GetAlwaysLogPath();
    if (ringName != nullptr && ringName[0] != '\0' && vdtcl::CTDirFnc().IsExistsDirectory(ringFolder.c_str())) {
        std::string const path = Path::Append(ringFolder, ringName);
        std::lock_guard<std::mutex> lock(mutex_);
        result = ringFile_.StartUsing(path.c_str(), kRingFileSize, nullptr);
        ringLevel_.store(ringLevel);
    }
    if (header) {
        WriteHeader();
    }
    return result;
}

bool Logger::StopLogging(bool footer)
{
    if (footer) {
        WriteFooter();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    logFile_.Close();
    return ringFile_.StopUsing();
}

bool Logger::SetupLoggingConfig(bool writeForm)
{
    // Keys missing from this reading take their defaults again.
    fileLevel_.store(-1);
    append_.store(false);
    timeStamp_.store(false);
    threadId_.store(false);
    vdtcl::CTFileIo settings;
    std::string const path = Path::Append(GetDesktopPath(), kSettingsFileName);
    if (!settings.Open(path.c_str(), vdtcl::CTFileIo::OPEN_READWRITE)) {
        return false;
    }
    char line[kSettingsLineBytes + 1];
    for (;;) {
        long const n = settings.ReadLine(line, sizeof line, true);
        if (n < 0 || (n == 0 && settings.GetLastError() != 0)) {
            break;
        }
        ApplySetting(line, writeForm);
    }
    settings.Close();
    return true;
}

// One "key=value" line; other lines and keys are skipped.
void Logger::ApplySetting(char const* line, bool writeForm)
{
    vdtcl::TTString<char> const text(line);
    size_t const equals = text.Find('=');
    if (equals == vdtcl::TTString<char>::npos) {
        return;
    }
    vdtcl::TTString<char> key = text.Left(equals);
    key.Trim();
    int const value = text.RightFrom(equals + 1).ToInteger();
    if (key == "LogLevel") {
        fileLevel_.store(value);
    } else if (key == "WriteForm") {
        append_.store(writeForm ? value > 0 : true);
    } else if (key == "ViewTimeStamp") {
        timeStamp_.store(value > 0);
    } else if (key == "ThreadId") {
        threadId_.store(value > 0);
    }
}

void Logger::Logging(int level, char const* format, ...)
{
    va_list args;
    va_start(args, format);
    LoggingFV(level, format, args);
    va_end(args);
}

void Logger::LoggingFV(int level, char const* format, va_list args)
{
    if (format == nullptr || (level > fileLevel_.load() && level > ringLevel_.load())) {
        return;
    }
    vdtcl::TTString<char> text;
    text.FormatV(format, args);
    LoggingString(text.C_str(), level, true);
}

void Logger::LoggingSystemInfo(void const* address, char const*)
{
    std::string const text = ">>> Module Information >>>\n  Path = " + GetModulePath(address) + "\n";
    LoggingString(text.c_str(), 0, false);
}

void Logger::LoggingString(char const* text, int level, bool decorate)
{
    if (text == nullptr) {
        return;
    }
    if (fileLevel_.load() >= level) {
        std::string const line = decorate ? LogFormatter(text, false) + "\n" : std::string(text);
        std::lock_guard<std::mutex> lock(mutex_);
        if (logFile_.IsOpen() && !line.empty()) {
            logFile_.Write(line.data(), line.size());
            logFile_.Flush();
        }
    }
    if (ringLevel_.load() >= level) {
        std::string const line = decorate ? LogFormatter(text, true) + "\n" : std::string(text);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!line.empty() && ringFile_.Write(line.data(), line.size()) == line.size()) {
            ringFile_.Flush();
        }
    }
}

std::string Logger::LogFormatter(char const* text, bool ring) const
{
    std::string line;
    if (ring || timeStamp_.load()) {
        line += GetLocalTimeString();
    }
    if (threadId_.load()) {
        line += GetThreadIdString();
    }
    line += text ? text : "";
    return line;
}

void Logger::WriteHeader()
{
    std::string const text = "== Logging started at " + GetLocalTimeString() +
                             " ==\nLog level = " + std::to_string(fileLevel_.load()) + "\n" + GetOsVersionString() +
                             "\n";
    LoggingString(text.c_str(), 0, false);
}

void Logger::WriteFooter()
{
    std::string const text = "== Logging stoped at " + GetLocalTimeString() + " ==\n\n";
    LoggingString(text.c_str(), 0, false);
}

std::string Logger::GetLocalTimeString()
{
    vdtcl::CTTime::_TIME_INFO now{};
    if (!vdtcl::CTTime::GetCurrentLocalTime(now)) {
        return "";
    }
    return FormatTimeStamp(now.year + 1900, now.month, now.day, now.hour, now.minute, now.second);
}

std::string Logger::GetFileDateTimeString(char const* path)
{
    time_t modified = 0;
    vdtcl::CTFileFnc files;
    struct tm local {};
    if (path == nullptr || !files.GetFileInfo(path, nullptr, nullptr, &modified) ||
        localtime_r(&modified, &local) == nullptr) {
        return "";
    }
    return FormatTimeStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec);
}

std::string Logger::GetThreadIdString()
{
    return "[PID:" + std::to_string(getpid()) + " TID:" + std::to_string(syscall(SYS_gettid)) + "] ";
}

bool Logger::CreateDirectoryIfNeed(std::string const& path)
{
    vdtcl::CTDirFnc folders;
    return folders.IsExistsDirectory(path.c_str()) || folders.CreateDirPath(path.c_str());
}

std::string Logger::GetModulePath(void const* address)
{
    return vdtcl::CTModulePath::GetModulePathName(address).C_str();
}

void Logger::FindFilesAndLoggingInformation(std::string const& folder, std::string const& extension)
{
    // Files are not listed on this platform; only the pattern is formed.
    std::string const pattern = folder + "/*." + extension;
    (void)pattern;
}

}  // namespace vscore
