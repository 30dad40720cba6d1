// One stdio stream with the error of its latest operation.
#include "vdtcl/CTFileIo.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace vdtcl {

namespace {

constexpr int kErrBadArgument = EINVAL;    // 22
constexpr int kErrNoStream = 63;           // no stream open
constexpr int kErrAlreadyOpen = EALREADY;  // 114

// errno after a failed stdio call, EIO when the call left none.
int ErrnoOrIo() { return errno != 0 ? errno : EIO; }

}  // namespace

CTFileIo::~CTFileIo()
{
    if (m_stream != nullptr) {
        fclose(m_stream);
    }
}

bool CTFileIo::Create(const char* path) { return OpenFile(path, "w+b"); }

bool CTFileIo::Open(const char* path, openmode_t mode)
{
    const char* text = "r+b";
    if (mode == OPEN_READ) {
        text = "rb";
    } else if (mode == OPEN_APPEND) {
        text = "a+b";
    }
    return OpenFile(path, text);
}

bool CTFileIo::OpenFile(const char* path, const char* mode)
{
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] == '\0') {
        m_lastError = kErrBadArgument;
        return false;
    }
    if (m_stream != nullptr) {
        m_lastError = kErrAlreadyOpen;
        return false;
    }
    errno = 0;
    m_stream = fopen(path, mode);
    m_lastError = m_stream != nullptr ? 0 : ErrnoOrIo();
    return m_stream != nullptr;
}

bool CTFileIo::Close()
{
    if (!RequireStream()) {
        return false;
    }
    errno = 0;
    int rc = fclose(m_stream);
    m_stream = nullptr;
    m_lastError = rc == 0 ? 0 : ErrnoOrIo();
    return rc == 0;
}

bool CTFileIo::RequireStream()
{
    if (m_stream != nullptr) {
        return true;
    }
    m_lastError = kErrNoStream;
    return false;
}

long CTFileIo::Read(void* buffer, size_t count, ItemSize size)
{
    if (!RequireStream()) {
        return 0;
    }
    if (buffer == nullptr || count == 0 || size.bytes == 0) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    errno = 0;
    size_t got = fread(buffer, size.bytes, count, m_stream);
    if (got == 0) {
        if (ferror(m_stream)) {
            m_lastError = ErrnoOrIo();
            clearerr(m_stream);
            return 0;
        }
        m_lastError = 0;
        return -1;
    }
    // A short count is the end of the file or a read error; only the
    // latter is a failure.
    m_lastError = 0;
    if (got < count && ferror(m_stream)) {
        m_lastError = ErrnoOrIo();
        clearerr(m_stream);
    }
    return static_cast<long>(got);
}

long CTFileIo::ReadLine(char* buffer, size_t size, bool strip)
{
    if (!RequireStream()) {
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    int limit = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    errno = 0;
    if (fgets(buffer, limit, m_stream) == nullptr) {
        buffer[0] = '\0';
        if (ferror(m_stream)) {
            m_lastError = ErrnoOrIo();
            clearerr(m_stream);
            return 0;
        }
        m_lastError = 0;
        return -1;
    }
    size_t length = strlen(buffer);
    if (strip) {
        if (length > 0 && buffer[length - 1] == '\n') {
            buffer[--length] = '\0';
        }
        if (length > 0 && buffer[length - 1] == '\r') {
            buffer[--length] = '\0';
        }
    }
    m_lastError = 0;
    return static_cast<long>(length);
}

long CTFileIo::Write(const void* data, size_t count, ItemSize size)
{
    if (!RequireStream()) {
        return 0;
    }
    if (data == nullptr || count == 0 || size.bytes == 0) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    errno = 0;
    size_t put = fwrite(data, size.bytes, count, m_stream);
    m_lastError = put == count ? 0 : ErrnoOrIo();
    return static_cast<long>(put);
}

long CTFileIo::WriteLine(const char* text)
{
    if (!RequireStream()) {
        return 0;
    }
    if (text == nullptr) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    size_t length = strlen(text);
    size_t put = 0;
    errno = 0;
    if (length > 0) {
        put = fwrite(text, 1, length, m_stream);
    }
    if (put == length && fputc('\n', m_stream) != EOF) {
        ++put;
    }
    m_lastError = put == length + 1 ? 0 : ErrnoOrIo();
    return static_cast<long>(put);
}

bool CTFileIo::Flush()
{
    if (!RequireStream()) {
        return false;
    }
    errno = 0;
    bool ok = fflush(m_stream) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

bool CTFileIo::IsEndOfFile()
{
    if (!RequireStream()) {
        return false;
    }
    m_lastError = 0;
    return feof(m_stream) != 0;
}

bool CTFileIo::Seek(long offset, seekorigin_t origin)
{
    if (!RequireStream()) {
        return false;
    }
    int whence = SEEK_CUR;
    if (origin == SEEK_FROM_BEGIN) {
        whence = SEEK_SET;
    } else if (origin == SEEK_FROM_END) {
        whence = SEEK_END;
    }
    errno = 0;
    bool ok = fseek(m_stream, offset, whence) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

bool CTFileIo::SeekToBegin()
{
    if (!RequireStream()) {
        return false;
    }
    rewind(m_stream);
    m_lastError = 0;
    return true;
}

long CTFileIo::GetFilePosiIndicator()
{
    if (!RequireStream()) {
        return -1;
    }
    errno = 0;
    long pos = ftell(m_stream);
    m_lastError = pos >= 0 ? 0 : ErrnoOrIo();
    return pos;
}

bool CTFileIo::GetFilePos(fpos_t& pos)
{
    if (!RequireStream()) {
        return false;
    }
    errno = 0;
    bool ok = fgetpos(m_stream, &pos) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

bool CTFileIo::SetFilePos(const fpos_t& pos)
{
    if (!RequireStream()) {
        return false;
    }
    errno = 0;
    bool ok = fsetpos(m_stream, &pos) == 0;
    m_lastError = ok ? 0 : ErrnoOrIo();
    return ok;
}

}  // namespace vdtcl
