// The byte container of page data: held in one heap block (BytesMemory) or
// in a file loaded on demand (BytesFile). Owned by exactly one holder through
// a unique pointer; a container belongs to one thread at a time.
#pragma once

class Bytes {
public:
    virtual ~Bytes() = default;
    // Number of bytes held.
    virtual unsigned GetByteSize() const = 0;
    virtual unsigned GetByteSizeOnMemory() const = 0;
    virtual unsigned GetByteSizeOnFile() const = 0;
    // Replaces the contents by a copy of size bytes at data (which may lie in
    // the container's own block).
    virtual void SetBytes(unsigned size, unsigned char const* data) = 0;
    // The first byte; valid until the next change of the container.
    virtual unsigned char* GetBytesPointer() = 0;
    // Adds a copy of size bytes at data at the end.
    virtual void AppendBytes(unsigned size, unsigned char const* data) = 0;
};
