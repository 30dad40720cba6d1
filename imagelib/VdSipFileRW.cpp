// Standard-stream file access of the image-processing library.
#include "imagelib/VdSipFileRW.h"

#include <sys/stat.h>

#include "imagelib/SipTypes.h"

CVdSipFileRwCRT::~CVdSipFileRwCRT()
{
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

int CVdSipFileRwCRT::Open(const char* path, const char* mode)
{
    if (path == nullptr) {
        return kSipBadArgument;
    }
    if (stream_ != nullptr) {
        return kSipStreamOpen;
    }
    stream_ = std::fopen(path, mode);
    return stream_ == nullptr ? kSipOpenFailed : kSipOk;
}

int CVdSipFileRwCRT::OpenFileForReading(const char* path) { return Open(path, "rb"); }

int CVdSipFileRwCRT::OpenFileForWriting(const char* path) { return Open(path, "wb"); }

int CVdSipFileRwCRT::CloseFile()
{
    if (stream_ == nullptr) {
        return 1;
    }
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    return closed == 0 ? kSipOk : 1;
}

int CVdSipFileRwCRT::ReadDataFromFile(unsigned char* buffer, int size)
{
    if (buffer == nullptr || stream_ == nullptr || size <= 0) {
        return 0;
    }
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(size), stream_));
}

int CVdSipFileRwCRT::WriteDataToFile(const unsigned char* data, int size)
{
    if (data == nullptr || stream_ == nullptr || size <= 0) {
        return 0;
    }
    return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(size), stream_));
}

int CVdSipFileRwCRT::SeekFile(long offset, int whence)
{
    if (stream_ == nullptr) {
        return 1;
    }
    return std::fseek(stream_, offset, whence) == 0 ? 0 : 1;
}

long long CVdSipFileRwCRT::GetOpenFileSize() const
{
    struct stat status;
    if (stream_ == nullptr || fstat(fileno(stream_), &status) != 0) {
        return -1;
    }
    return static_cast<long long>(status.st_size);
}
