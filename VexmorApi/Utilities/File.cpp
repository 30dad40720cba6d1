// Whole-file and ranged reads and appending writes of one path.
#include "VexmorApi/Utilities/File.h"

#include <sys/stat.h>

#include <cstdio>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Utilities/File";

// Owns one stdio stream; closing without checking is for read-only streams.
struct Stream {
    std::FILE* file;
    explicit Stream(std::FILE* f) : file(f) {}
    ~Stream()
    {
        if (file) {
            std::fclose(file);
        }
    }
    Stream(Stream const&) = delete;
    Stream& operator=(Stream const&) = delete;
};

[[noreturn]] void ThrowNotExist(std::string const& path, char const* function)
{
    VEXMOR_THROW(kOrigin, function, Exception::FailedToOperateFile, "This file is NOT exist: " + path);
}

// The length of an open stream in 64 bits.
uint64_t StreamSize(std::FILE* file, std::string const& path, char const* function)
{
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || info.st_size < 0) {
        VEXMOR_THROW(kOrigin, function, Exception::FailedToOperateFile, "failed to measure file: " + path);
    }
    return static_cast<uint64_t>(info.st_size);
}

}  // namespace

const File::Range File::Range::Whole{0, 0};
const File::Range& File::Range::ToEOF = File::Range::Whole;

std::string File::Range::GetDescription() const
{
    return "{ offset: " + std::to_string(offset) + ", length: " + std::to_string(length) + " }";
}

File::File(std::string const& path) : path_(path) {}

bool File::Exists() const
{
    Stream stream(std::fopen(path_.c_str(), "rb"));
    return stream.file != nullptr;
}

uint32_t File::GetSize() const
{
    Stream stream(std::fopen(path_.c_str(), "rb"));
    if (!stream.file) {
        ThrowNotExist(path_, "GetSize");
    }
    uint64_t const size = StreamSize(stream.file, path_, "GetSize");
    if (size > UINT32_MAX) {
        VEXMOR_THROW(kOrigin, "GetSize", Exception::FailedToOperateFile, "This file is too large: " + path_);
    }
    return static_cast<uint32_t>(size);
}

std::string File::ReadText() const
{
    Stream stream(std::fopen(path_.c_str(), "rb"));
    if (!stream.file) {
        ThrowNotExist(path_, "ReadText");
    }
    std::string text;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream.file)) > 0) {
        text.append(chunk, got);
    }
    if (std::ferror(stream.file)) {
        VEXMOR_THROW(kOrigin, "ReadText", Exception::FailedToOperateFile, "failed to read file: " + path_);
    }
    return text;
}

std::unique_ptr<BytesMemory> File::ReadBytes(Range const& range) const
{
    Stream stream(std::fopen(path_.c_str(), "rb"));
    if (!stream.file) {
        ThrowNotExist(path_, "ReadBytes");
    }
    uint64_t const size = StreamSize(stream.file, path_, "ReadBytes");
    uint64_t const offset = range.offset;
    uint64_t const end = offset + range.length;
    if (offset >= size || end > size) {
        VEXMOR_THROW(
            kOrigin, "ReadBytes", Exception::InvalidArgument,
            "Specified invalid range. - fileSize: " + std::to_string(size) + ", range: " + range.GetDescription());
    }
    uint64_t const length = range.length == 0 ? size - offset : range.length;
    if (length > UINT32_MAX) {
        ThrowFailedToAllocate(length, kOrigin, "ReadBytes");
    }
    if (offset != 0 && fseeko(stream.file, static_cast<off_t>(offset), SEEK_SET) != 0) {
        VEXMOR_THROW(kOrigin, "ReadBytes", Exception::FailedToOperateFile, "failed to read file: " + path_);
    }
    unique_bytes block = make_unique_bytes(static_cast<unsigned>(length));
    // The file may have shrunk since it was measured: every byte must arrive.
    if (std::fread(block.get(), 1, length, stream.file) != length) {
        VEXMOR_THROW(kOrigin, "ReadBytes", Exception::FailedToOperateFile, "failed to read file: " + path_);
    }
    return std::make_unique<BytesMemory>(static_cast<unsigned>(length), block.release(), BytesMemory::Adopt);
}

void File::WriteText(std::string const& text) const
{
    std::string line = text + "\n";
    WriteBinary(line.size(), reinterpret_cast<unsigned char const*>(line.data()));
}

void File::WriteBinary(unsigned long size, unsigned char const* data) const
{
    if (size != 0 && data == nullptr) {
        VEXMOR_THROW(kOrigin, "WriteBinary", Exception::InvalidArgument, "no bytes given to write to " + path_);
    }
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (!file) {
        ThrowNotExist(path_, "WriteBinary");
    }
    bool const written = size == 0 || std::fwrite(data, 1, size, file) == size;
    // fclose flushes: a full disk may show only here.
    bool const closed = std::fclose(file) == 0;
    if (!written || !closed) {
        VEXMOR_THROW(kOrigin, "WriteBinary", Exception::FailedToOperateFile, "failed to write file: " + path_);
    }
}

void File::WriteBytes(std::unique_ptr<Bytes> bytes) const
{
    if (!bytes) {
        VEXMOR_THROW(kOrigin, "WriteBytes", Exception::InvalidArgument, "no bytes given to write to " + path_);
    }
    unsigned const size = bytes->GetByteSize();
    WriteBinary(size, size == 0 ? nullptr : bytes->GetBytesPointer());
}

bool File::Remove() const
{
    if (!Exists()) {
        return false;
    }
    return std::remove(path_.c_str()) == 0;
}
