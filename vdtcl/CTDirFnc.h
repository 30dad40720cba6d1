// Directories: creation (also of a whole path), renaming, deletion and
// queries. Never throws; the cause of a failure stays in GetLastError()
// (errno values, 2 a path that exists but is not a directory, 17 exists,
// 22 bad argument).
#pragma once

#include <ctime>

#include "vdtcl/CTFileFnc.h"

namespace vdtcl {

class CTDirFnc {
public:
    CTDirFnc() = default;
    virtual ~CTDirFnc() = default;

    // mkdir with mode 0777 (less the umask).
    bool CreateDirectory(const char* path);
    // Creates the missing directories of a path, shortest first. False with
    // 17 when the whole path already existed, with 2 for an absolute path
    // whose first component is missing, else with the error of the mkdir
    // that failed.
    bool CreateDirPath(const char* path);
    // from must be an existing directory and to must not be one (17).
    bool RenameDirectory(const char* from, const char* to);
    bool DeleteDirectory(const char* path);
    // An existing directory; error 2 when the path is something else.
    bool IsExistsDirectory(const char* path);
    // Modification time of an existing directory, 0 otherwise.
    time_t GetDirectoryTime(const char* path);

    int GetLastError() const { return m_lastError; }

private:
    CTFileFnc m_file;
    int m_lastError = 0;
};

}  // namespace vdtcl
