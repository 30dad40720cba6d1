// One stdio stream with the error of its latest operation. Never throws:
// operations answer a count or a bool and leave the cause in GetLastError()
// (errno values, 22 bad argument, 63 no stream open, 114 already open).
#pragma once

#include <cstddef>
#include <cstdio>

namespace vdtcl {

class CTFileIo {
public:
    // 1 read ("rb"), 2 append ("a+b"), any other value read and write ("r+b").
    typedef int openmode_t;
    enum : openmode_t { OPEN_READ = 1, OPEN_APPEND = 2, OPEN_READWRITE = 3 };
    // 0 from the beginning, 2 from the end, any other from the current position.
    typedef int seekorigin_t;
    enum : seekorigin_t { SEEK_FROM_BEGIN = 0, SEEK_FROM_CURRENT = 1, SEEK_FROM_END = 2 };

    // Byte size of one item of Read and Write. A type of its own so that the
    // item count and the item size cannot be swapped at a call site:
    // Write(data, n) writes n bytes, Write(data, 3, ItemSize(4)) three
    // 4-byte items.
    struct ItemSize {
        explicit constexpr ItemSize(size_t bytes) : bytes(bytes) {}
        size_t bytes;
    };

    CTFileIo() = default;
    CTFileIo(const CTFileIo&) = delete;
    CTFileIo& operator=(const CTFileIo&) = delete;
    virtual ~CTFileIo();

    // Creates or truncates the file, opened for reading and writing.
    bool Create(const char* path);
    bool Open(const char* path, openmode_t mode);
    // False when nothing is open or closing reports an error (a buffered
    // write that failed is reported here at the latest).
    bool Close();
    bool IsOpen() const { return m_stream != nullptr; }

    // Reads count items; the number read, -1 at the end of the file with
    // nothing read (error 0), 0 with the error on a read error.
    long Read(void* buffer, size_t count, ItemSize size = ItemSize(1));
    // One line of at most size - 1 bytes; its length, -1 at the end of the
    // file (error 0), 0 on a read error. With strip a trailing "\n", "\r\n"
    // or lone "\r" is removed from the buffer and the length.
    long ReadLine(char* buffer, size_t size, bool strip);
    // Writes count items; the number written. Fewer than count means failure,
    // with the error recorded.
    long Write(const void* data, size_t count, ItemSize size = ItemSize(1));
    // Writes text and "\n"; the bytes written, the text's length + 1 only
    // when all of it was written.
    long WriteLine(const char* text);
    bool Flush();
    bool IsEndOfFile();

    bool Seek(long offset, seekorigin_t origin);
    bool SeekToBegin();
    bool SeekToEnd() { return Seek(0, SEEK_FROM_END); }
    // The position, -1 when nothing is open or it cannot be had.
    long GetFilePosiIndicator();
    bool GetFilePos(fpos_t& pos);
    bool SetFilePos(const fpos_t& pos);

    int GetLastError() const { return m_lastError; }

private:
    bool OpenFile(const char* path, const char* mode);
    bool RequireStream();

    FILE* m_stream = nullptr;  // owned; null when closed
    int m_lastError = 0;
};

}  // namespace vdtcl
