// Heap-held byte container and its growth rule.
#include "VexmorApi/Bytes/BytesMemory.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Bytes/BytesMemory";

constexpr uint64_t kMinimumStep = 0x100000;    // 1 MiB
constexpr uint64_t kLargeGrowth = 0x20000000;  // 512 MiB
constexpr uint64_t kLargeGranule = 0x8000000;  // 128 MiB
constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

void CheckData(unsigned size, unsigned char const* data, char const* function)
{
    if (size != 0 && data == nullptr) {
        VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument,
                     "no bytes given for a size of " + std::to_string(size));
    }
}

}  // namespace

uint64_t GrowBytesCapacity(uint32_t capacity, uint64_t needed)
{
    if (capacity >= needed) {
        return capacity;
    }
    uint64_t const step = std::max<uint64_t>(capacity, kMinimumStep);
    uint64_t increment = 0;
    while (capacity + increment < needed) {
        increment += step;
        if (increment >= kLargeGrowth) {
            uint64_t const shortfall = needed - capacity;
            increment = (shortfall + kLargeGranule - 1) / kLargeGranule * kLargeGranule;
            break;
        }
    }
    return capacity + increment;
}

BytesMemory::BytesMemory(unsigned capacity) : capacity_(capacity), block_(make_unique_bytes(capacity)), size_(0) {}

BytesMemory::BytesMemory(unsigned size, unsigned char fill)
    : capacity_(size), block_(make_unique_bytes(size)), size_(size)
{
    std::memset(block_.get(), fill, size);
}

BytesMemory::BytesMemory(unsigned size, unsigned char* data, Style style)
{
    if (style == Adopt) {
        block_ = make_unique_bytes(size, data);
        capacity_ = size;
        size_ = size;
        return;
    }
    CheckData(size, data, "None");
    block_ = make_unique_bytes(size);
    capacity_ = size;
    SetBytes(size, data);
}

void BytesMemory::SetBytes(unsigned size, unsigned char const* data)
{
    CheckData(size, data, "SetBytes");
    if (capacity_ < size) {
        unique_bytes fresh = make_unique_bytes(size);
        std::memcpy(fresh.get(), data, size);
        block_ = std::move(fresh);
        capacity_ = size;
    } else if (size != 0 && data != block_.get()) {
        std::memmove(block_.get(), data, size);
    }
    size_ = size;
}

void BytesMemory::AppendBytes(unsigned size, unsigned char const* data)
{
    CheckData(size, data, "AppendBytes");
    uint64_t const needed = static_cast<uint64_t>(size_) + size;
    if (needed > kMaxSize) {
        ThrowFailedToAllocate(needed, kOrigin, "AppendBytes");
    }
    if (capacity_ >= needed) {
        if (size != 0) {
            std::memmove(block_.get() + size_, data, size);
        }
        size_ = static_cast<unsigned>(needed);
        return;
    }
    // The total fits in 32 bits, so the grown capacity may be cut to the limit.
    uint64_t const grown = std::min(GrowBytesCapacity(capacity_, needed), kMaxSize);
    Reallocate(static_cast<unsigned>(grown), data, size);
}

void BytesMemory::ExpandCapacity(unsigned capacity)
{
    if (capacity_ >= capacity) {
        return;
    }
    Reallocate(capacity, nullptr, 0);
}

void BytesMemory::ShrinkCapacityToFit()
{
    if (size_ < capacity_) {
        Reallocate(size_, nullptr, 0);
    }
}

void BytesMemory::Reallocate(unsigned newCapacity, unsigned char const* extra, unsigned count)
{
    // A mapped block grows by moving its pages, not its bytes; extra may lie
    // in it and then moves along.
    uintptr_t const old = reinterpret_cast<uintptr_t>(block_.get());
    uintptr_t const source = reinterpret_cast<uintptr_t>(extra);
    bool const inside = block_ && count != 0 && source >= old && source - old < capacity_;
    if (ResizeMappedBytes(block_, newCapacity)) {
        if (inside) {
            extra = block_.get() + (source - old);
        }
    } else {
        unique_bytes fresh = make_unique_bytes(newCapacity);
        if (size_ != 0) {
            std::memcpy(fresh.get(), block_.get(), size_);
        }
        if (count != 0) {
            std::memcpy(fresh.get() + size_, extra, count);
        }
        block_ = std::move(fresh);
        capacity_ = newCapacity;
        size_ += count;
        return;
    }
    if (count != 0) {
        std::memmove(block_.get() + size_, extra, count);
    }
    capacity_ = newCapacity;
    size_ += count;
}
