// Byte-level file access of the image-processing library: the abstract
// interface and its standard-stream implementation (one open stream or none).
#pragma once

#include <cstdio>

class IVdSipFileRW {
public:
    virtual ~IVdSipFileRW() = default;
    virtual int OpenFileForReading(const char* path) = 0;
    virtual int OpenFileForWriting(const char* path) = 0;
    virtual int CloseFile() = 0;
    virtual int ReadDataFromFile(unsigned char* buffer, int size) = 0;
    virtual int WriteDataToFile(const unsigned char* data, int size) = 0;
    virtual int SeekFile(long offset, int whence) = 0;
};

// Not thread-safe: one object serves one thread at a time. The destructor
// closes an open stream.
class CVdSipFileRwCRT : public IVdSipFileRW {
public:
    CVdSipFileRwCRT() = default;
    ~CVdSipFileRwCRT() override;
    CVdSipFileRwCRT(const CVdSipFileRwCRT&) = delete;
    CVdSipFileRwCRT& operator=(const CVdSipFileRwCRT&) = delete;

    // 5 for a null path, 7 when a stream is already open, 6 when the file
    // cannot be opened ("rb" / "wb"), else 0.
    int OpenFileForReading(const char* path) override;
    int OpenFileForWriting(const char* path) override;
    // 1 when nothing is open or closing fails, else 0.
    int CloseFile() override;
    // The number of bytes moved; 0 for a null buffer, no stream or size <= 0.
    int ReadDataFromFile(unsigned char* buffer, int size) override;
    int WriteDataToFile(const unsigned char* data, int size) override;
    // 0 on success, non-zero when nothing is open or seeking fails.
    int SeekFile(long offset, int whence) override;
    bool IsFileStayOpen() const { return stream_ != nullptr; }
    // Bytes in the open file; -1 when nothing is open.
    long long GetOpenFileSize() const;

private:
    int Open(const char* path, const char* mode);

    std::FILE* stream_ = nullptr;
};
