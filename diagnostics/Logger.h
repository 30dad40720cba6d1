// A self-contained leveled logger beside the engine's own logs: a plain log
// file switched on by the settings file "VdSetupLog.txt", and a ring file of
// fixed size that always holds the newest lines.
#pragma once

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>

#include "vdtcl/CTFileIo.h"
#include "vdtcl/CTRingFile.h"

namespace vscore {

class __attribute__((visibility("default"))) Logger {
public:
    // Where the logger keeps its files: the settings file in desktop, the
    // ring file in alwaysLog, the log files in logDirectory.
    struct Folders {
        std::string desktop;
        std::string alwaysLog;
        std::string logDirectory;
    };
    // The ring file's size limit.
    static constexpr unsigned long kRingFileSize = 0x100000;

    // The standard folders: the configured private temporary folder
    // ("/private/tmp") for settings and ring file, its "VdOutLog" for logs.
    static Folders DefaultFolders();

    // Both files closed, file level -1 (off), ring level 0.
    Logger();
    explicit Logger(Folders folders);
    // Stops logging without a footer.
    virtual ~Logger();
    Logger(Logger const&) = delete;
    Logger& operator=(Logger const&) = delete;

    // Reads the settings, opens the log file logName in the log folder when
    // they switch it on, and the ring file ringName in the ring folder when
    // that folder exists (a null or empty ringName opens none); writes the
    // header when asked. Files already open are closed first. Does nothing
    // and answers false for a null or empty logName; else the result of the
    // last file it tried to open. One thread at a time may start or stop.
    bool StartLogging(char const* logName, char const* ringName, bool header, bool writeForm, int ringLevel);
    // Writes the footer when asked and closes both files; the result of
    // closing the ring file.
    bool StopLogging(bool footer);

    // A printf-style message of the level; any thread may call these, whole
    // lines never interleave within a file. Nothing happens for a null
    // format or a level above both file and ring level.
    void Logging(int level, char const* format, ...) __attribute__((format(printf, 3, 4)));
    void LoggingFV(int level, char const* format, va_list args);
    // The module information of the module holding address (text unused).
    void LoggingSystemInfo(void const* address, char const* text);
    // Writes text to each open file whose level is at least level: with
    // decorate its prefix, the text and a line end; else the text as it is.
    void LoggingString(char const* text, int level, bool decorate);
    // The prefix and text of one line: for the ring file always the time
    // stamp, for the log file only when the settings ask; then the thread
    // ids when the settings ask.
    std::string LogFormatter(char const* text, bool ring) const;

    // "[yyyy/mm/dd hh:mm:ss] " of now or of the file's modification time;
    // empty when the time cannot be had.
    static std::string GetLocalTimeString();
    static std::string GetFileDateTimeString(char const* path);
    // "[PID:p TID:t] " of the calling thread (t is the kernel's thread id).
    static std::string GetThreadIdString();
    std::string GetLogDirectoryPath() const { return folders_.logDirectory; }
    std::string GetDesktopPath() const { return folders_.desktop; }
    std::string GetAlwaysLogPath() const { return folders_.alwaysLog; }
    // True when the folder exists or was made with its parents.
    static bool CreateDirectoryIfNeed(std::string const& path);
    // The folder of the module holding address; empty on this platform.
    static std::string GetModulePath(void const* address);
    // Empty on this platform.
    static std::string GetOsVersionString() { return ""; }
    static std::string GetModuleVersionString() { return ""; }
    // Forms the search pattern folder + "/*." + extension; nothing more.
    static void FindFilesAndLoggingInformation(std::string const& folder, std::string const& extension);

private:
    // Reads the settings file; false (file level -1) when it cannot be opened.
    bool SetupLoggingConfig(bool writeForm);
    void ApplySetting(char const* line, bool writeForm);
    void WriteHeader();
    void WriteFooter();

    Folders const folders_;
    // Levels and switches: written by StartLogging, read by every message.
    std::atomic<int> fileLevel_{-1};
    std::atomic<int> ringLevel_{0};
    std::atomic<bool> append_{false};
    std::atomic<bool> timeStamp_{false};
    std::atomic<bool> threadId_{false};
    vdtcl::CTFileIo logFile_;     // guarded by mutex_
    vdtcl::CTRingFile ringFile_;  // guarded by mutex_
    std::mutex mutex_;
};

}  // namespace vscore
