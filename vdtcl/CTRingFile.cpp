// The ring file: writing, marker search and reading.
#include "vdtcl/CTRingFile.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "vdtcl/CTFileFnc.h"

namespace vdtcl {

namespace {

constexpr int kErrMarkerNotFound = 3;
constexpr int kErrNoMemory = ENOMEM;     // 12
constexpr int kErrBadArgument = EINVAL;  // 22
constexpr int kErrNoStream = 63;         // no stream open
constexpr const char* kDefaultMarker = "########";
constexpr size_t kNotFound = static_cast<size_t>(-1);

// a + b > limit without overflow.
bool Exceeds(uint64_t a, uint64_t b, uint64_t limit) { return a > limit || b > limit - a; }

}  // namespace

CTRingFile::~CTRingFile() { StopUsing(); }

bool CTRingFile::StartUsing(const char* path, unsigned long maxSize, const char* marker)
{
    if (m_file.IsOpen()) {
        m_lastError = EALREADY;
        return false;
    }
    if (path == nullptr || path[0] == '\0' || maxSize == 0) {
        m_lastError = kErrBadArgument;
        return false;
    }
    if (marker == nullptr) {
        marker = kDefaultMarker;
    }
    size_t length = strnlen(marker, kMaxMarkerLength + 1);
    if (length == 0 || length > kMaxMarkerLength || maxSize <= length) {
        m_lastError = kErrBadArgument;
        return false;
    }
    try {
        m_markerLine.assign(marker, length);
        m_markerLine.push_back('\n');
        m_blank.assign(length, ' ');
    } catch (const std::bad_alloc&) {
        m_markerLine.clear();
        m_blank.clear();
        m_lastError = kErrNoMemory;
        return false;
    }
    m_markerLength = length;
    for (uint16_t& shift : m_shift) {
        shift = static_cast<uint16_t>(length);
    }
    for (size_t j = 0; j < length; ++j) {
        m_shift[static_cast<unsigned char>(marker[j])] = static_cast<uint16_t>(length - 1 - j);
    }
    m_maxSize = maxSize;

    CTFileFnc files;
    bool opened = files.IsFile(path) ? m_file.Open(path, CTFileIo::OPEN_READWRITE) : m_file.Create(path);
    if (!opened) {
        m_lastError = m_file.GetLastError();
        m_maxSize = 0;
        return false;
    }
    m_lastError = 0;
    uint64_t at = 0;
    m_hasMarker = false;
    switch (ScanForMarker(at)) {
    case ScanResult::kFound:
        m_hasMarker = true;
        SeekTo(at);
        break;
    case ScanResult::kEndOfFile:
        SeekTo(0);
        break;
    case ScanResult::kEndAfterBytes:
        // No marker: rest at the end; the first write starts over at 0.
        m_file.SeekToEnd();
        break;
    case ScanResult::kReadError:
        // Usable all the same: the next write searches again.
        m_hasMarker = true;
        m_lastError = m_file.GetLastError();
        return true;
    }
    m_lastError = m_file.GetLastError();
    return true;
}

unsigned long CTRingFile::Write(const void* data, unsigned long n)
{
    if (data == nullptr || n == 0) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    if (!m_file.IsOpen() || m_maxSize == 0) {
        m_lastError = kErrNoStream;
        return 0;
    }
    uint64_t markerAt = 0;
    bool found = false;
    if (!LocateMarker(markerAt, found)) {
        return 0;
    }
    if (found) {
        if (!SeekTo(markerAt) || m_file.Write(m_blank.data(), m_blank.size()) != static_cast<long>(m_blank.size())) {
            int error = m_file.GetLastError();
            PutMarker(markerAt);
            m_lastError = error;
            return 0;
        }
    }
    uint64_t start = Exceeds(markerAt, n, m_maxSize) ? 0 : markerAt;
    if (!SeekTo(start) || m_file.Write(data, n) != static_cast<long>(n)) {
        int error = m_file.GetLastError();
        PutMarker(markerAt);
        m_lastError = error;
        return 0;
    }
    uint64_t end = start + n;
    // The marker line goes back to the beginning only when it fits in front
    // of the data just written; otherwise it follows the data, past the
    // maximum size if need be.
    uint64_t next = Exceeds(end, m_markerLength, m_maxSize) && start > m_markerLength ? 0 : end;
    if (!PutMarker(next)) {
        int error = m_file.GetLastError();
        PutMarker(markerAt);
        m_lastError = error;
        return 0;
    }
    m_lastError = 0;
    return n;
}

unsigned long CTRingFile::Read(void* buffer, unsigned long n)
{
    if (buffer == nullptr || n == 0) {
        m_lastError = kErrBadArgument;
        return 0;
    }
    if (!m_file.IsOpen()) {
        m_lastError = kErrNoStream;
        return 0;
    }
    long got = m_file.Read(buffer, n);
    if (got < 0 && m_file.SeekToBegin()) {
        got = m_file.Read(buffer, n);
    }
    if (got > 0) {
        m_lastError = 0;
        return static_cast<unsigned long>(got);
    }
    m_lastError = m_file.GetLastError();
    return 0;
}

bool CTRingFile::Flush()
{
    bool ok = m_file.Flush();
    m_lastError = m_file.GetLastError();
    return ok;
}

bool CTRingFile::StopUsing()
{
    m_markerLine.clear();
    m_markerLine.shrink_to_fit();
    m_blank.clear();
    m_blank.shrink_to_fit();
    m_markerLength = 0;
    m_maxSize = 0;
    m_hasMarker = false;
    bool ok = m_file.Close();
    m_lastError = m_file.GetLastError();
    return ok;
}

// Searches from the current position to the end of the file. Blocks
// overlap by the marker length so a marker cut by a block border is found
// in the next block.
CTRingFile::ScanResult CTRingFile::ScanForMarker(uint64_t& at)
{
    unsigned char block[kBlockSize];
    bool sawBytes = false;
    for (;;) {
        long begin = m_file.GetFilePosiIndicator();
        if (begin < 0) {
            return ScanResult::kReadError;
        }
        long got = m_file.Read(block, sizeof block);
        if (got == 0 || m_file.GetLastError() != 0) {
            return ScanResult::kReadError;
        }
        if (got < 0) {
            return sawBytes ? ScanResult::kEndAfterBytes : ScanResult::kEndOfFile;
        }
        sawBytes = true;
        size_t offset = FindInBlock(block, static_cast<size_t>(got));
        if (offset != kNotFound) {
            at = static_cast<uint64_t>(begin) + offset;
            return ScanResult::kFound;
        }
        if (static_cast<size_t>(got) < sizeof block) {
            return ScanResult::kEndAfterBytes;
        }
        if (!SeekTo(static_cast<uint64_t>(begin) + sizeof block - m_markerLength)) {
            return ScanResult::kReadError;
        }
    }
}

// Finds the marker for a write. A file without one (new, empty, or found
// without a marker when it was opened) is written from the beginning. Else
// the search runs from the current position, which rests on the marker
// unless Read moved it, and wraps round to the beginning once.
bool CTRingFile::LocateMarker(uint64_t& at, bool& found)
{
    found = false;
    at = 0;
    if (!m_hasMarker) {
        return true;
    }
    ScanResult result = ScanForMarker(at);
    if (result == ScanResult::kEndOfFile || result == ScanResult::kEndAfterBytes) {
        if (!SeekTo(0)) {
            m_lastError = m_file.GetLastError();
            return false;
        }
        result = ScanForMarker(at);
    }
    if (result == ScanResult::kFound) {
        found = true;
        return true;
    }
    m_lastError = result == ScanResult::kReadError ? m_file.GetLastError() : kErrMarkerNotFound;
    if (m_lastError == 0) {
        m_lastError = kErrMarkerNotFound;
    }
    return false;
}

// Writes the marker line at the offset and rests on its first character.
bool CTRingFile::PutMarker(uint64_t at)
{
    bool ok = SeekTo(at) &&
              m_file.Write(m_markerLine.data(), m_markerLine.size()) == static_cast<long>(m_markerLine.size()) &&
              SeekTo(at);
    if (ok) {
        m_hasMarker = true;
    }
    return ok;
}

bool CTRingFile::SeekTo(uint64_t at) { return m_file.Seek(static_cast<long>(at), CTFileIo::SEEK_FROM_BEGIN); }

// Searches one block for the marker text with the mismatched-character
// rule of Boyer-Moore; the offset of the first match or kNotFound.
size_t CTRingFile::FindInBlock(const unsigned char* block, size_t length) const
{
    const unsigned char* marker = reinterpret_cast<const unsigned char*>(m_markerLine.data());
    const size_t m = static_cast<size_t>(m_markerLength);
    size_t i = m - 1;
    size_t j = m - 1;
    while (i < length) {
        if (block[i] == marker[j]) {
            if (j == 0) {
                return i;
            }
            --i;
            --j;
        } else {
            size_t shift = m - j;
            if (m_shift[block[i]] > shift) {
                shift = m_shift[block[i]];
            }
            i += shift;
            j = m - 1;
        }
    }
    return kNotFound;
}

}  // namespace vdtcl
