// A file named by a path: each operation opens it anew and raises failures as
// TraceException. Holds no handle between calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Bytes;
class BytesMemory;

class File {
public:
    // A byte range of a file; a length of 0 reaches to the end of the file.
    struct Range {
        uint32_t offset;
        uint32_t length;
        // "{ offset: 10, length: 0 }"
        std::string GetDescription() const;

        static const Range Whole;   // {0, 0}: the whole file
        static const Range& ToEOF;  // the same range as Whole
    };

    explicit File(std::string const& path);
    virtual ~File() = default;

    std::string GetPath() const { return path_; }
    // True when the path can be opened for reading.
    bool Exists() const;
    // The file's length. Throws FailedToOperateFile when it cannot be opened
    // or is 4 GiB or longer.
    uint32_t GetSize() const;
    // The whole file as text.
    std::string ReadText() const;
    // A new container holding the range. Throws InvalidArgument "Specified
    // invalid range. ..." unless offset < size and offset + length <= size,
    // and FailedToOperateFile when the file cannot be opened or read in full.
    std::unique_ptr<BytesMemory> ReadBytes(Range const& range) const;
    // Appends text and a newline.
    void WriteText(std::string const& text) const;
    // Appends size bytes unchanged, creating the file when missing. Throws
    // FailedToOperateFile when it cannot be opened or when not every byte
    // reaches the file (short write, failed close).
    void WriteBinary(unsigned long size, unsigned char const* data) const;
    // Appends the container's bytes.
    void WriteBytes(std::unique_ptr<Bytes> bytes) const;
    // Removes the file; false when it did not exist or removal failed.
    bool Remove() const;

private:
    std::string path_;
};
