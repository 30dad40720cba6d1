// The engine's text logs with optional data dumps. Logging is off unless the
// settings file "VdSetupLog.txt" lies in the home folder; each log then writes
// "<name>.kmy" in the folder "VdOutLog" there, and the dumps go beside it.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

class BitmapImage;
class IImageDumpSource;

class COutputLog {
public:
    // How set-up opens the log file.
    enum OpenFileMode { ByWriteForm = 0, Append = 1, Truncate = 2 };

    // A local date and time with the calendar year.
    struct TimeInfo {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
        bool IsEmpty() const { return year == 0; }
    };

    // The file is "VdOutLog.kmy"; nothing is opened before the first write.
    COutputLog();
    // The file is name + ".kmy" (a null name counts as none).
    explicit COutputLog(char const* name);
    // Closes the log file.
    ~COutputLog();
    COutputLog(COutputLog const&) = delete;
    COutputLog& operator=(COutputLog const&) = delete;

    // Reads the settings, makes the log folder and opens the log file, once
    // per object however many threads call at the same time; later calls
    // only return the first result. The first write of any kind runs it.
    bool SetupLog(OpenFileMode mode);

    // Writes one printf-style line when its level is at most LogLevel. Any
    // thread may call it; lines never interleave. A disabled log returns at
    // once, without allocating or locking. Never fails towards the caller.
    void WriteLog(int level, char const* format, ...) __attribute__((format(printf, 3, 4)));
    // The same with the arguments in a va_list, which it reads (the caller
    // ends it).
    void WriteLogV(int level, char const* format, va_list args) __attribute__((format(printf, 3, 0)));
    // Runs set-up when needed; true when a line of this level goes out, so
    // that a caller building its line first can skip the work. Any thread.
    bool IsWritable(int level);
    // The header block ("Basic infomation log start" ... "... end").
    void WriteBasicInfo(int level, std::string moduleName);
    // Appends a data block to the dump file of key ("DumpPackBits",
    // "DumpJpeg", "DumpPostJpegDec") and index when that dump is switched on.
    // Returns whether dumps are enabled at all. A file that cannot be written
    // raises the file's TraceException.
    bool WriteDump(unsigned char const* data, int size, char const* key, int index);
    // Appends a raw device answer to "DumpRawData_" + its command type when
    // key is "DumpRawData" and that dump is on; an empty answer writes nothing.
    void WriteDump(unsigned char const* data, int size, char const* key, unsigned char const* command,
                   int commandLength);
    // Logs the page image's description and, for "DumpPostScanDec" and
    // "DumpFinalData" when switched on, writes it as a TIFF file named by
    // key and page number. A failed dump is logged, never thrown. Returns 0.
    // Defined with the diagnostics (diagnostics/BitmapImageDump.cpp), which
    // hand the image and its TIFF header to the overload below through
    // IImageDumpSource.
    int WriteImage(std::unique_ptr<BitmapImage> const& image, char const* key, int pageNo);
    // The same for any image behind the dump seam.
    int WriteImage(IImageDumpSource const& image, char const* key, int pageNo);
    // The LogVersion setting once set-up has run, the default before.
    double GetLogVersion() const;

    // The type naming a raw answer's dump file: the three command letters,
    // "Q" for a two-letter command, by the answer's first byte for none
    // ("K", "E", "I"), else "UNKNOWN" (also for an empty answer).
    static std::string GetCommandType(unsigned char const* data, int size, unsigned char const* command,
                                      int commandLength);

private:
    bool RunSetup(OpenFileMode mode);
    bool CheckLogSetup(std::string const& settingsPath);
    bool CheckLogFolder(std::string const& home);
    bool OpenLogText(OpenFileMode mode);
    // Writes prefixes, text and "\n" under mutex_ and flushes.
    void WriteFile(char const* text, size_t length);
    // "(yyyy/mm/dd hh:mm:ss) " into buffer; its length.
    static size_t MakeNowDateTime(char* buffer, size_t size);
    // "_yyyymmddhhmmss" of the first dump of the process.
    static std::string MakeSuffixTime();
    static std::string MakeExtension(std::string const& key);
    // The log folder's file for key (+ first-dump time + "_" when DateToDump)
    // + index + the key's extension.
    std::string MakeDumpPath(std::string const& key, int index) const;

    // Set once by set-up (under setupOnce_) and read-only afterwards.
    std::string logFilePath_;
    int logLevel_ = 2;
    std::FILE* file_ = nullptr;  // lines written under mutex_
    std::string logFolder_;
    std::string logFileName_;
    bool disabled_ = false;
    bool dumpsEnabled_ = false;
    bool setupResult_ = false;
    int outDir_ = 0;
    int writeForm_ = 0;
    int dumpPackBits_ = 0;
    int dumpJpeg_ = 0;
    int dumpPostJpegDec_ = 0;
    int dumpPostScanDec_ = 0;
    int dumpFinalData_ = 0;
    int dumpRawData_ = 0;
    int viewTimeStamp_ = 0;
    int threadId_ = 0;
    int dateToDump_ = 0;
    double logVersion_ = 0.0;
    double const defaultLogVersion_;

    std::once_flag setupOnce_;
    std::atomic<bool> setupDone_{false};  // set after set-up, with release
    std::mutex mutex_;                    // serialises the lines of this log

    // The time of the first dump of the process, shared by every log.
    static TimeInfo m_startTime;
};

// The engine's five logs.
extern __attribute__((visibility("default"))) COutputLog g_ScanDevApiLog;    // "CoreMainLog"
extern __attribute__((visibility("default"))) COutputLog g_ReadLog;          // "ReadLog"
extern __attribute__((visibility("default"))) COutputLog g_ProcessorLog;     // "ProcessorLog"
extern __attribute__((visibility("default"))) COutputLog g_DecodeLog;        // "DecodeLog"
extern __attribute__((visibility("default"))) COutputLog g_ImageEnhanceLog;  // "ImageEnhanceLog"
