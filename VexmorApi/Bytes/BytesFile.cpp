// File-backed byte container.
#include "VexmorApi/Bytes/BytesFile.h"

#include <vector>

#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Bytes/BytesFile";

// Fill bytes go out in chunks so a large page needs no block of its size.
constexpr unsigned kFillChunk = 0x10000;

}  // namespace

BytesFile::BytesFile(std::string path, Type type) : type_(type), file_(path) {}

BytesFile::BytesFile(std::string path, unsigned size, unsigned char fill, Type type) : type_(type), file_(path)
{
    std::vector<unsigned char> chunk(size < kFillChunk ? size : kFillChunk, fill);
    unsigned left = size;
    do {
        unsigned const part = left < kFillChunk ? left : kFillChunk;
        file_.WriteBinary(part, chunk.data());
        left -= part;
    } while (left != 0);
}

BytesFile::BytesFile(std::string path, unsigned size, unsigned char const* data, Type type) : type_(type), file_(path)
{
    file_.WriteBinary(size, data);
}

BytesFile::~BytesFile()
{
    if (type_ == Temporary) {
        file_.Remove();
    }
}

unsigned BytesFile::GetByteSize() const
{
    try {
        return file_.GetSize();
    } catch (Exception const&) {
        return 0;
    }
}

unsigned BytesFile::GetByteSizeOnMemory() const { return memory_ ? memory_->GetByteSize() : 0; }

void BytesFile::SetBytes(unsigned size, unsigned char const* data)
{
    if (size != 0 && data == nullptr) {
        VEXMOR_THROW(kOrigin, "SetBytes", Exception::InvalidArgument, "no bytes given for " + file_.GetPath());
    }
    file_.Remove();
    file_.WriteBinary(size, data);
    // Only now: data may be the memory copy's own bytes.
    DropMemoryCopy();
}

unsigned char* BytesFile::GetBytesPointer()
{
    if (!memory_) {
        memory_ = file_.ReadBytes(File::Range::Whole);
    }
    return memory_->GetBytesPointer();
}

void BytesFile::AppendBytes(unsigned size, unsigned char const* data)
{
    SaveBytesToFileIfBytesOnMemory();
    file_.WriteBinary(size, data);
}

void BytesFile::SaveBytesToFileIfBytesOnMemory()
{
    if (memory_ && memory_->GetByteSize() != 0) {
        SetBytes(memory_->GetByteSize(), memory_->GetBytesPointer());
    }
    DropMemoryCopy();
}

void BytesFile::DropMemoryCopy()
{
    // The bytes are in the file; the copy's block goes back to the scan's
    // page blocks.
    memory_.reset();
}
