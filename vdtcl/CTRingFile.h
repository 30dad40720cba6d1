// A log file kept within a fixed size by writing it as a ring. The newest
// data is followed by one marker line (the marker text and "\n"), so a later
// process continues writing behind it; older marker lines are blanked with
// spaces. Never throws; the cause of a failure stays in GetLastError().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vdtcl/CTFileIo.h"

namespace vdtcl {

class CTRingFile {
public:
    // Longest marker accepted; the search steps through the file in blocks
    // of 4096 bytes and must advance by more than a marker each time.
    static constexpr size_t kMaxMarkerLength = 1024;
    static constexpr size_t kBlockSize = 4096;

    CTRingFile() = default;
    CTRingFile(const CTRingFile&) = delete;
    CTRingFile& operator=(const CTRingFile&) = delete;
    virtual ~CTRingFile();

    // Opens the file (created when it is not a regular file) and rests on
    // its marker: an existing file is searched for it; without one the first
    // write starts at the beginning. A null marker is "########". False with
    // 22 for an empty path or marker, a marker longer than kMaxMarkerLength
    // or a maximum size not above the marker length; 12 without memory; the
    // stream's error when the file cannot be opened or created.
    bool StartUsing(const char* path, unsigned long maxSize, const char* marker = nullptr);
    // Writes n bytes where the newest data ends, from the beginning of the
    // file when they would pass the maximum size, and the marker line behind
    // them. The count written, 0 on failure (22 bad argument, 3 marker not
    // found, or the stream's error); after a failure the file still holds a
    // marker line where the writing is to go on.
    unsigned long Write(const void* data, unsigned long n);
    // Reads up to n bytes at the current position, from the beginning of
    // the file when the position is at its end.
    unsigned long Read(void* buffer, unsigned long n);
    bool Flush();
    // Forgets the marker, the maximum size becomes 0 and the file is
    // closed; the result of closing.
    bool StopUsing();

    int GetLastError() const { return m_lastError; }

private:
    enum class ScanResult { kFound, kEndOfFile, kEndAfterBytes, kReadError };

    ScanResult ScanForMarker(uint64_t& at);
    bool LocateMarker(uint64_t& at, bool& found);
    bool PutMarker(uint64_t at);
    bool SeekTo(uint64_t at);
    size_t FindInBlock(const unsigned char* block, size_t length) const;

    CTFileIo m_file;
    uint64_t m_maxSize = 0;       // 0 when not in use
    std::string m_markerLine;     // marker text and "\n"
    std::string m_blank;          // as many spaces as the marker text
    uint64_t m_markerLength = 0;  // of the marker text, without "\n"
    uint16_t m_shift[256] = {};   // per byte value: shift of the marker search
    bool m_hasMarker = false;     // the file holds a marker line
    int m_lastError = 0;
};

}  // namespace vdtcl
