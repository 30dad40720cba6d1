// File-system queries and operations on files. Never throws: results are
// bools or values, the cause of a failure stays in GetLastError() (errno
// values, 17 target exists, 21 a directory where a file is expected,
// 22 bad argument).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>

namespace vdtcl {

class CTFileFnc {
public:
    struct _FILE_TIME_INFO {
        int year;   // with 1900 added
        int month;  // 1-12
        int day;
        int hour;
        int minute;
        int second;
    };

    CTFileFnc() = default;
    virtual ~CTFileFnc() = default;

    // stat of the path into the non-null outputs: size in bytes, mode bits,
    // modification time.
    bool GetFileInfo(const char* path, uint64_t* size, unsigned* mode, time_t* mtime);
    bool IsExists(const char* path);
    bool IsFile(const char* path);
    bool IsDirectory(const char* path);
    // An existing regular file; error 21 when the path is a directory.
    bool IsExistsFile(const char* path);
    // Size in bytes; 0 on failure.
    uint64_t GetFileSize(const char* path);
    // Modification time, 0 on failure; with info also as local time.
    time_t GetFileTime(const char* path, _FILE_TIME_INFO* info = nullptr);

    bool Rename(const char* from, const char* to);
    // Renames; across file systems a regular file is copied beside the
    // target and renamed over it, then the source removed, so the target is
    // replaced only by a complete copy.
    bool Move(const char* from, const char* to);
    bool Remove(const char* path);
    // Copies the bytes of from into to (created or truncated). Without
    // overwrite an existing regular file at to is error 17; a file copied
    // onto itself is refused with 22. The target is opened only once the
    // source is open.
    bool Copy(const char* from, const char* to, bool overwrite);

    int GetLastError() const { return m_lastError; }

private:
    bool StatPath(const char* path, struct stat& st);
    bool CopyAcrossFileSystems(const char* from, const char* to);

    int m_lastError = 0;
};

}  // namespace vdtcl
