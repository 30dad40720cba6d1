// File-system queries and operations on files.
#include "vdtcl/CTFileFnc.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace vdtcl {

namespace {

constexpr int kErrBadArgument = EINVAL;  // 22
constexpr int kErrExists = EEXIST;       // 17
constexpr int kErrIsDirectory = EISDIR;  // 21
constexpr size_t kCopyBlock = 1024;

bool IsEmptyPath(const char* path) { return path == nullptr || path[0] == '\0'; }

int ErrnoOrIo() { return errno != 0 ? errno : EIO; }

// Copies the rest of one open stream into another; 0 or the errno of the
// first failed read or write.
int CopyStream(FILE* source, FILE* target)
{
    char block[kCopyBlock];
    for (;;) {
        errno = 0;
        size_t got = fread(block, 1, sizeof block, source);
        if (got == 0) {
            return ferror(source) ? ErrnoOrIo() : 0;
        }
        errno = 0;
        if (fwrite(block, 1, got, target) != got) {
            return ErrnoOrIo();
        }
    }
}

}  // namespace

bool CTFileFnc::StatPath(const char* path, struct stat& st)
{
    if (IsEmptyPath(path)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    if (stat(path, &st) != 0) {
        m_lastError = ErrnoOrIo();
        return false;
    }
    m_lastError = 0;
    return true;
}

bool CTFileFnc::GetFileInfo(const char* path, uint64_t* size, unsigned* mode, time_t* mtime)
{
    struct stat st;
    if (!StatPath(path, st)) {
        return false;
    }
    if (size != nullptr) {
        *size = static_cast<uint64_t>(st.st_size);
    }
    if (mode != nullptr) {
        *mode = st.st_mode;
    }
    if (mtime != nullptr) {
        *mtime = st.st_mtime;
    }
    return true;
}

bool CTFileFnc::IsExists(const char* path)
{
    struct stat st;
    return StatPath(path, st);
}

bool CTFileFnc::IsFile(const char* path)
{
    struct stat st;
    return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool CTFileFnc::IsDirectory(const char* path)
{
    struct stat st;
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool CTFileFnc::IsExistsFile(const char* path)
{
    struct stat st;
    if (!StatPath(path, st)) {
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        m_lastError = kErrIsDirectory;
        return false;
    }
    return S_ISREG(st.st_mode);
}

uint64_t CTFileFnc::GetFileSize(const char* path)
{
    struct stat st;
    return StatPath(path, st) ? static_cast<uint64_t>(st.st_size) : 0;
}

time_t CTFileFnc::GetFileTime(const char* path, _FILE_TIME_INFO* info)
{
    struct stat st;
    if (!StatPath(path, st)) {
        return 0;
    }
    if (info != nullptr) {
        tm local;
        if (localtime_r(&st.st_mtime, &local) == nullptr) {
            m_lastError = ErrnoOrIo();
            return 0;
        }
        info->year = local.tm_year + 1900;
        info->month = local.tm_mon + 1;
        info->day = local.tm_mday;
        info->hour = local.tm_hour;
        info->minute = local.tm_min;
        info->second = local.tm_sec;
    }
    return st.st_mtime;
}

bool CTFileFnc::Rename(const char* from, const char* to)
{
    if (IsEmptyPath(from) || IsEmptyPath(to)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    errno = 0;
    bool ok = rename(from, to) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

bool CTFileFnc::Move(const char* from, const char* to)
{
    if (Rename(from, to)) {
        return true;
    }
    if (m_lastError != EXDEV) {
        return false;
    }
    return CopyAcrossFileSystems(from, to);
}

// The copy of a move to another file system: written to a temporary file in
// the target's folder (so the final rename stays on one file system), given
// the source's permission bits, renamed over the target, and only then the
// source removed. Any failure before the rename leaves the target as it was.
bool CTFileFnc::CopyAcrossFileSystems(const char* from, const char* to)
{
    struct stat st;
    if (!StatPath(from, st)) {
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_lastError = EXDEV;
        return false;
    }
    FILE* source = fopen(from, "rb");
    if (source == nullptr) {
        m_lastError = ErrnoOrIo();
        return false;
    }
    std::string temporary = std::string(to) + ".XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        m_lastError = ErrnoOrIo();
        fclose(source);
        return false;
    }
    FILE* target = fdopen(fd, "wb");
    if (target == nullptr) {
        m_lastError = ErrnoOrIo();
        close(fd);
        unlink(temporary.c_str());
        fclose(source);
        return false;
    }
    int error = CopyStream(source, target);
    fclose(source);
    if (error == 0 && fchmod(fd, st.st_mode & 07777) != 0) {
        error = ErrnoOrIo();
    }
    errno = 0;
    if (fclose(target) != 0 && error == 0) {
        error = ErrnoOrIo();
    }
    if (error == 0 && rename(temporary.c_str(), to) != 0) {
        error = ErrnoOrIo();
    }
    if (error != 0) {
        unlink(temporary.c_str());
        m_lastError = error;
        return false;
    }
    errno = 0;
    if (remove(from) != 0) {
        m_lastError = ErrnoOrIo();
        return false;
    }
    m_lastError = 0;
    return true;
}

bool CTFileFnc::Remove(const char* path)
{
    if (IsEmptyPath(path)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    errno = 0;
    bool ok = remove(path) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

bool CTFileFnc::Copy(const char* from, const char* to, bool overwrite)
{
    if (IsEmptyPath(from) || IsEmptyPath(to)) {
        m_lastError = kErrBadArgument;
        return false;
    }
    struct stat sourceStat;
    struct stat targetStat;
    bool sourceKnown = stat(from, &sourceStat) == 0;
    bool targetExists = stat(to, &targetStat) == 0;
    // Opening the target with "w+b" would empty the source first.
    if (sourceKnown && targetExists && sourceStat.st_dev == targetStat.st_dev &&
        sourceStat.st_ino == targetStat.st_ino) {
        m_lastError = kErrBadArgument;
        return false;
    }
    if (!overwrite && targetExists && S_ISREG(targetStat.st_mode)) {
        m_lastError = kErrExists;
        return false;
    }
    errno = 0;
    FILE* source = fopen(from, "rb");
    if (source == nullptr) {
        m_lastError = ErrnoOrIo();
        return false;
    }
    errno = 0;
    FILE* target = fopen(to, "w+b");
    if (target == nullptr) {
        m_lastError = ErrnoOrIo();
        fclose(source);
        return false;
    }
    int error = CopyStream(source, target);
    fclose(source);
    errno = 0;
    if (fclose(target) != 0 && error == 0) {
        error = ErrnoOrIo();
    }
    m_lastError = error;
    return error == 0;
}

}  // namespace vdtcl
