// A byte container kept in a file and loaded into memory on demand, so that
// large pages can leave the heap.
#pragma once

#include <memory>
#include <string>

#include "VexmorApi/Bytes/Bytes.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/File.h"

class BytesFile : public Bytes {
public:
    // Temporary: the destructor removes the file. Any other value keeps it.
    enum Type { Temporary = 0, Persistent = 1 };

    // Wraps an existing file; nothing is read.
    BytesFile(std::string path, Type type);
    // Appends size bytes of value fill to the file.
    BytesFile(std::string path, unsigned size, unsigned char fill, Type type);
    // Appends the size bytes at data to the file.
    BytesFile(std::string path, unsigned size, unsigned char const* data, Type type);
    ~BytesFile() override;
    BytesFile(BytesFile const&) = delete;
    BytesFile& operator=(BytesFile const&) = delete;

    // The file's size; 0 when it cannot be measured.
    unsigned GetByteSize() const override;
    unsigned GetByteSizeOnMemory() const override;
    unsigned GetByteSizeOnFile() const override { return GetByteSize(); }
    // Rewrites the file with the given bytes and drops the memory copy.
    void SetBytes(unsigned size, unsigned char const* data) override;
    // Loads the whole file once and returns the copy's first byte; writes
    // through it reach the file with SaveBytesToFileIfBytesOnMemory. Throws
    // when the file is missing or empty.
    unsigned char* GetBytesPointer() override;
    // Saves a memory copy first, then appends to the file.
    void AppendBytes(unsigned size, unsigned char const* data) override;

    std::string GetPath() const { return file_.GetPath(); }
    // When a non-empty memory copy exists, writes it to the file and drops it;
    // on a failed write the copy stays and the exception passes through.
    void SaveBytesToFileIfBytesOnMemory();

private:
    void DropMemoryCopy();

    Type type_;
    File file_;
    std::unique_ptr<BytesMemory> memory_;  // empty until the bytes are asked for
};
