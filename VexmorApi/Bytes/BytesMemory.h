// A byte container in one heap block that grows geometrically while appending.
#pragma once

#include <cstdint>

#include "VexmorApi/Bytes/Bytes.h"
#include "VexmorApi/Bytes/make_unique_bytes.h"

// The capacity that AppendBytes grows a block of `capacity` bytes to so that
// it holds `needed` bytes: steps of the larger of the capacity and 1 MiB until
// it fits; once the growth reaches 512 MiB it becomes the shortfall rounded up
// to 128 MiB. Computed in 64 bits; capacity itself when it already fits.
uint64_t GrowBytesCapacity(uint32_t capacity, uint64_t needed);

class BytesMemory : public Bytes {
public:
    enum Style { Adopt = 0, Copy = 1 };

    // Empty, with a block of capacity bytes.
    explicit BytesMemory(unsigned capacity);
    // size bytes of value fill.
    BytesMemory(unsigned size, unsigned char fill);
    // Adopt: takes over the malloc block data of size bytes (released with
    // free). Copy: a new block holding a copy of the size bytes at data.
    BytesMemory(unsigned size, unsigned char* data, Style style);

    unsigned GetByteSize() const override { return size_; }
    unsigned GetByteSizeOnMemory() const override { return size_; }
    unsigned GetByteSizeOnFile() const override { return 0; }
    void SetBytes(unsigned size, unsigned char const* data) override;
    unsigned char* GetBytesPointer() override { return block_.get(); }
    void AppendBytes(unsigned size, unsigned char const* data) override;

    unsigned GetCapacity() const { return capacity_; }
    // Grows the block to at least capacity bytes, keeping the contents.
    void ExpandCapacity(unsigned capacity);
    // Cuts the block to the bytes in use.
    void ShrinkCapacityToFit();

private:
    // Moves the contents into a block of newCapacity bytes (the same mapped
    // block remapped, or a new one) and appends count bytes of extra behind
    // them. A failure leaves the container as it was; extra may point into
    // the old block.
    void Reallocate(unsigned newCapacity, unsigned char const* extra, unsigned count);

    unsigned capacity_ = 0;
    unique_bytes block_;
    unsigned size_ = 0;  // never above capacity_
};
