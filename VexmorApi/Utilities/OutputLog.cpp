// Settings, set-up, line writing and data dumps of the engine's logs.
#include "VexmorApi/Utilities/OutputLog.h"

#include <pthread.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#include "VexmorApi/Utilities/File.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/Path.h"
#include "vdtcl/CTTime.h"

namespace {

constexpr char kSettingsFileName[] = "VdSetupLog.txt";
constexpr char kLogFolderName[] = "VdOutLog";
constexpr char kLogExtension[] = ".kmy";
constexpr size_t kFormatBufferSize = 102400;
constexpr size_t kLocalBufferSize = 1024;
constexpr int kOpenAttempts = 3;
constexpr unsigned long kOpenRetryMs = 10;

// How a settings value converts, after the rules of "%d" and "%lf": only
// blanks count as no value (reading goes on), other text that starts with no
// number stops the reading.
enum class Conversion { Empty, Bad, Ok };

Conversion ToInt(char const* text, int& value)
{
    char const* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    if (*p == '\0') {
        return Conversion::Empty;
    }
    char* end = nullptr;
    errno = 0;
    long const parsed = std::strtol(p, &end, 10);
    if (end == p) {
        return Conversion::Bad;
    }
    value = parsed > INT_MAX ? INT_MAX : parsed < INT_MIN ? INT_MIN : static_cast<int>(parsed);
    return Conversion::Ok;
}

Conversion ToDouble(char const* text, double& value)
{
    char const* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    if (*p == '\0') {
        return Conversion::Empty;
    }
    char* end = nullptr;
    double const parsed = std::strtod(p, &end);
    if (end == p) {
        return Conversion::Bad;
    }
    value = parsed;
    return Conversion::Ok;
}

COutputLog::TimeInfo LocalTimeNow()
{
    COutputLog::TimeInfo now;
    vdtcl::CTTime::_TIME_INFO info;
    if (vdtcl::CTTime::GetCurrentLocalTime(info)) {
        now.year = info.year + 1900;
        now.month = info.month;
        now.day = info.day;
        now.hour = info.hour;
        now.minute = info.minute;
        now.second = info.second;
    }
    return now;
}

std::once_flag g_startTimeOnce;

}  // namespace

COutputLog::TimeInfo COutputLog::m_startTime;

COutputLog g_ScanDevApiLog("CoreMainLog");
COutputLog g_ReadLog("ReadLog");
COutputLog g_ProcessorLog("ProcessorLog");
COutputLog g_DecodeLog("DecodeLog");
COutputLog g_ImageEnhanceLog("ImageEnhanceLog");

COutputLog::COutputLog() : COutputLog(nullptr) {}

COutputLog::COutputLog(char const* name)
    : logFileName_(name ? std::string(name) + kLogExtension : std::string(kLogFolderName) + kLogExtension),
      logVersion_(name ? 0.0 : 1.0),
      defaultLogVersion_(logVersion_)
{
}

COutputLog::~COutputLog()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool COutputLog::SetupLog(OpenFileMode mode)
{
    std::call_once(setupOnce_, [this, mode] {
        try {
            setupResult_ = RunSetup(mode);
        } catch (...) {
            // Out of memory while reading the settings: stay silent.
            disabled_ = true;
            setupResult_ = false;
        }
        setupDone_.store(true, std::memory_order_release);
    });
    return setupResult_;
}

bool COutputLog::RunSetup(OpenFileMode mode)
{
    std::string const home = Path::GetDesktopDirectoryPath();
    // Without a home folder the settings would be looked for (and the logs
    // made) in whatever folder the program runs in: stay off instead.
    if (!Path::IsAbsolute(home) || !CheckLogSetup(Path::Append(home, kSettingsFileName))) {
        disabled_ = true;
        return false;
    }
    if (!CheckLogFolder(home)) {
        return false;
    }
    logFilePath_ = Path::Append(logFolder_, logFileName_);
    return OpenLogText(mode);
}

bool COutputLog::CheckLogSetup(std::string const& settingsPath)
{
    std::FILE* settings = std::fopen(settingsPath.c_str(), "r");
    if (!settings) {
        return false;
    }
    struct IntSetting {
        char const* key;
        int* value;
    };
    IntSetting const table[] = {
        {"LogLevel", &logLevel_},
        {"OutDir", &outDir_},
        {"WriteForm", &writeForm_},
        {"DumpPackBits", &dumpPackBits_},
        {"DumpJpeg", &dumpJpeg_},
        {"DumpJpg", &dumpJpeg_},
        {"DumpPostJpegDec", &dumpPostJpegDec_},
        {"DumpPreScanDec", &dumpPostJpegDec_},
        {"DumpPostScanDec", &dumpPostScanDec_},
        {"DumpPreImagEnhance", &dumpPostScanDec_},
        {"DumpFinalData", &dumpFinalData_},
        {"DumpRawData", &dumpRawData_},
        {"ViewTimeStamp", &viewTimeStamp_},
        {"ThreadId", &threadId_},
        {"DateToDump", &dateToDump_},
    };

    char* line = nullptr;
    size_t lineCapacity = 0;
    ssize_t length;
    while ((length = getline(&line, &lineCapacity, settings)) >= 0) {
        // A line with a zero byte ends at it, as the value conversion would.
        char* const equals = std::strchr(line, '=');
        std::string const key = equals ? std::string(line, equals) : std::string(line);
        char const* const value = equals ? equals + 1 : "";

        Conversion result = Conversion::Bad;
        if (key == "LogVersion") {
            result = ToDouble(value, logVersion_);
        } else {
            for (IntSetting const& setting : table) {
                if (key == setting.key) {
                    result = ToInt(value, *setting.value);
                    break;
                }
            }
        }
        // An unknown key (also a line without "=") or a value that is no
        // number ends the reading; earlier settings stay.
        if (result == Conversion::Bad) {
            break;
        }
    }
    std::free(line);
    std::fclose(settings);

    dumpsEnabled_ = dumpPackBits_ > 0 || dumpJpeg_ > 0 || dumpPostJpegDec_ > 0 || dumpPostScanDec_ > 0 ||
                    dumpFinalData_ > 0 || dumpRawData_ > 0;
    return true;
}

bool COutputLog::CheckLogFolder(std::string const& home)
{
    // OutDir 1 names the home folder; every other value means it as well.
    std::string const folder = Path::Append(home, kLogFolderName);
    if (!FileManager::ExistsDirectory(folder)) {
        // Another log may make it at the same moment.
        if (mkdir(folder.c_str(), 0777) != 0 && !FileManager::ExistsDirectory(folder)) {
            logFolder_.clear();
            return false;
        }
    }
    logFolder_ = folder;
    return true;
}

bool COutputLog::OpenLogText(OpenFileMode mode)
{
    if (file_ || logLevel_ == 0) {
        return true;
    }
    bool const truncate = mode == Truncate || (mode == ByWriteForm && writeForm_ == 0);
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        file_ = std::fopen(logFilePath_.c_str(), truncate ? "w+" : "a+");
        if (file_ && File(logFilePath_).Exists()) {
            return true;
        }
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
        vdtcl::CTTime::Sleep_ms(kOpenRetryMs);
    }
    return false;
}

bool COutputLog::IsWritable(int level)
{
    if (!setupDone_.load(std::memory_order_acquire)) {
        SetupLog(ByWriteForm);
    }
    return !disabled_ && file_ != nullptr && level <= logLevel_;
}

double COutputLog::GetLogVersion() const
{
    return setupDone_.load(std::memory_order_acquire) ? logVersion_ : defaultLogVersion_;
}

void COutputLog::WriteLog(int level, char const* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLogV(level, format, args);
    va_end(args);
}

void COutputLog::WriteLogV(int level, char const* format, va_list args)
{
    if (!IsWritable(level) || format == nullptr) {
        return;
    }
    char local[kLocalBufferSize];
    va_list again;
    va_copy(again, args);
    int const needed = std::vsnprintf(local, sizeof local, format, args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof local) {
        va_end(again);
        WriteFile(local, static_cast<size_t>(needed));
        return;
    }
    // Longer texts are cut to the formatting buffer.
    size_t const capacity = std::min(static_cast<size_t>(needed) + 1, kFormatBufferSize);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity]);
    if (!buffer) {
        va_end(again);
        return;
    }
    std::vsnprintf(buffer.get(), capacity, format, again);
    va_end(again);
    WriteFile(buffer.get(), std::min(static_cast<size_t>(needed), capacity - 1));
}

void COutputLog::WriteFile(char const* text, size_t length)
{
    char prefix[128];
    size_t used = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) {
        return;
    }
    if (viewTimeStamp_ != 0) {
        used += MakeNowDateTime(prefix, sizeof prefix);
    }
    if (threadId_ != 0) {
        // The number std::thread::id prints for the calling thread.
        int const n =
            std::snprintf(prefix + used, sizeof prefix - used, "ID:%lu  ", static_cast<unsigned long>(pthread_self()));
        if (n > 0) {
            used += std::min(static_cast<size_t>(n), sizeof prefix - used - 1);
        }
    }
    if (used != 0) {
        std::fwrite(prefix, 1, used, file_);
    }
    if (length != 0) {
        std::fwrite(text, 1, length, file_);
    }
    std::fputc('\n', file_);
    std::fflush(file_);
}

size_t COutputLog::MakeNowDateTime(char* buffer, size_t size)
{
    TimeInfo const now = LocalTimeNow();
    int const n = std::snprintf(buffer, size, "(%04d/%02d/%02d %02d:%02d:%02d) ", now.year, now.month, now.day,
                                now.hour, now.minute, now.second);
    if (n < 0) {
        return 0;
    }
    return std::min(static_cast<size_t>(n), size - 1);
}

void COutputLog::WriteBasicInfo(int level, std::string /*moduleName*/)
{
    if (!IsWritable(level)) {
        return;
    }
    char time[64];
    size_t const timeLength = MakeNowDateTime(time, sizeof time);
    char version[64];
    int const versionLength = std::snprintf(version, sizeof version, "Log version = %1.1lf", logVersion_);

    std::string const timeLine = "Time = " + std::string(time, timeLength);
    static char const kStart[] = "Basic infomation log start";
    static char const kEnd[] = "Basic infomation log end";
    WriteFile(kStart, sizeof kStart - 1);
    WriteFile(timeLine.data(), timeLine.size());
    WriteFile(version, versionLength > 0 ? std::min(static_cast<size_t>(versionLength), sizeof version - 1) : 0);
    // The operating-system text is empty here; no module versions follow.
    WriteFile("", 0);
    WriteFile(kEnd, sizeof kEnd - 1);
}

std::string COutputLog::MakeSuffixTime()
{
    std::call_once(g_startTimeOnce, [] { m_startTime = LocalTimeNow(); });
    char text[64];
    std::snprintf(text, sizeof text, "_%04d%02d%02d%02d%02d%02d", m_startTime.year, m_startTime.month, m_startTime.day,
                  m_startTime.hour, m_startTime.minute, m_startTime.second);
    return text;
}

std::string COutputLog::MakeExtension(std::string const& key)
{
    if (key == "DumpJpeg") {
        return ".jpg";
    }
    if (key == "DumpPostJpegDec" || key == "DumpPostScanDec" || key == "DumpFinalData") {
        return ".tif";
    }
    return "";
}

std::string COutputLog::MakeDumpPath(std::string const& key, int index) const
{
    std::string name = key;
    if (dateToDump_ != 0) {
        name += MakeSuffixTime() + "_";
    }
    name += std::to_string(index) + MakeExtension(key);
    return Path::Append(logFolder_, name);
}

bool COutputLog::WriteDump(unsigned char const* data, int size, char const* key, int index)
{
    IsWritable(0);
    if (!dumpsEnabled_) {
        return false;
    }
    std::string const name = key ? key : "";
    bool const wanted = (name == "DumpPackBits" && dumpPackBits_ > 0) || (name == "DumpJpeg" && dumpJpeg_ > 0) ||
                        (name == "DumpPostJpegDec" && dumpPostJpegDec_ > 0);
    // Without a log folder the file would land in the working folder.
    if (wanted && !logFolder_.empty() && data != nullptr && size > 0) {
        File(MakeDumpPath(name, index)).WriteBinary(static_cast<unsigned long>(size), data);
    }
    return true;
}

void COutputLog::WriteDump(unsigned char const* data, int size, char const* key, unsigned char const* command,
                           int commandLength)
{
    IsWritable(0);
    if (!dumpsEnabled_ || dumpRawData_ <= 0 || key == nullptr || std::strcmp(key, "DumpRawData") != 0 ||
        logFolder_.empty() || data == nullptr || size <= 0) {
        return;
    }
    std::string name = "DumpRawData_" + GetCommandType(data, size, command, commandLength);
    if (dateToDump_ != 0) {
        name += MakeSuffixTime();
    }
    File(Path::Append(logFolder_, name)).WriteBinary(static_cast<unsigned long>(size), data);
}

std::string COutputLog::GetCommandType(unsigned char const* data, int size, unsigned char const* command,
                                       int commandLength)
{
    if (commandLength == 3 && command != nullptr) {
        // The letters become part of a file name: letters and digits only.
        for (int i = 0; i < 3; ++i) {
            if (!std::isalnum(command[i])) {
                return "UNKNOWN";
            }
        }
        return std::string(reinterpret_cast<char const*>(command), 3);
    }
    if (commandLength == 2) {
        return "Q";
    }
    if (commandLength == 0 && data != nullptr && size > 0) {
        unsigned char const first = data[0];
        if (first == 0x30) {
            return "K";
        }
        if (first == 0x00 && data[size - 1] == 0x80) {
            return "E";
        }
        if (first == 0xD0) {
            return "E";
        }
        if (first == 0x00 || size == 1) {
            return "I";
        }
    }
    return "UNKNOWN";
}
