// Directories: creation, renaming, deletion and queries.
#include "vdtcl/CTDirFnc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace vdtcl {

namespace {

constexpr int kErrNotDirectory = ENOENT;  // 2
constexpr int kErrExists = EEXIST;        // 17
constexpr int kErrBadArgument = EINVAL;   // 22

bool IsEmptyPath(const char* path) { return path == nullptr || path[0] == '\0'; }

bool IsDirectoryPath(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool CTDirFnc::CreateDirectory(const char* path)
{
    if (IsEmptyPath(path)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    errno = 0;
    bool ok = mkdir(path, 0777) == 0;
    m_lastError = ok ? 0 : (errno != 0 ? errno : EIO);
    return ok;
}

bool CTDirFnc::CreateDirPath(const char* path)
{
    if (IsEmptyPath(path)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    std::string text(path);
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    if (text == "/") {
        m_lastError = kErrBadArgument;
        return false;
    }

    // Walk left from the "/" before the last component to the first prefix
    // that is an existing directory.
    size_t slash = text.rfind('/');
    while (slash != std::string::npos && slash != 0 && !IsDirectoryPath(text.substr(0, slash))) {
        slash = text.rfind('/', slash - 1);
    }
    if (slash == 0) {
        // An absolute path whose first component is missing.
        m_lastError = kErrNotDirectory;
        return false;
    }

    // The prefixes to create, shortest first: each "/" behind the existing
    // ancestor ends one, the whole path is the last.
    std::vector<size_t> ends;
    size_t from = slash == std::string::npos ? 0 : slash + 1;
    for (size_t at = text.find('/', from); at != std::string::npos; at = text.find('/', at + 1)) {
        if (at > 0 && text[at - 1] != '/') {
            ends.push_back(at);
        }
    }
    ends.push_back(text.size());
    for (size_t end : ends) {
        if (!CreateDirectory(text.substr(0, end).c_str())) {
            return false;
        }
    }
    return true;
}

bool CTDirFnc::RenameDirectory(const char* from, const char* to)
{
    if (IsEmptyPath(from) || IsEmptyPath(to)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    if (!IsExistsDirectory(from)) {
        return false;
    }
    if (IsDirectoryPath(to)) {
        m_lastError = kErrExists;
        return false;
    }
    bool ok = m_file.Rename(from, to);
    m_lastError = m_file.GetLastError();
    return ok;
}

bool CTDirFnc::DeleteDirectory(const char* path)
{
    if (!IsExistsDirectory(path)) {
        return false;
    }
    errno = 0;
    bool ok = rmdir(path) == 0;
    m_lastError = ok ? 0 : (errno != 0 ? errno : EIO);
    return ok;
}

bool CTDirFnc::IsExistsDirectory(const char* path)
{
    if (!m_file.IsExists(path)) {
        m_lastError = m_file.GetLastError();
        return false;
    }
    if (!m_file.IsDirectory(path)) {
        m_lastError = m_file.GetLastError() != 0 ? m_file.GetLastError() : kErrNotDirectory;
        return false;
    }
    m_lastError = 0;
    return true;
}

time_t CTDirFnc::GetDirectoryTime(const char* path)
{
    if (!IsExistsDirectory(path)) {
        return 0;
    }
    time_t t = m_file.GetFileTime(path);
    m_lastError = m_file.GetLastError();
    return t;
}

}  // namespace vdtcl
