// The single allocation point of the byte containers' heap blocks: an
// exhausted heap becomes a FailedToAllocateMemory exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct bytes_deleter {
    void operator()(unsigned char* block) const;
};

using unique_bytes = std::unique_ptr<unsigned char, bytes_deleter>;

// A new block of size bytes (blocks of 1 MiB and more are mapped directly),
// released only through bytes_deleter. Throws TraceException
// FailedToAllocateMemory "Failed to allocate 1,048,576 bytes." when the heap
// has no block of that size.
unique_bytes make_unique_bytes(unsigned size);
// Takes over a block from malloc without copying; size is not used.
unique_bytes make_unique_bytes(unsigned size, unsigned char* block);

// Throws the FailedToAllocateMemory exception for a request of size bytes
// (also for totals beyond the containers' 32-bit sizes), recorded with the
// caller's origin and operation.
[[noreturn]] void ThrowFailedToAllocate(uint64_t size, char const* origin, char const* function);

// Test seam: replaces the allocator behind make_unique_bytes and returns the
// previous one; nullptr restores malloc. Engine code never calls it.
using BytesAllocator = void* (*)(size_t);
BytesAllocator SetBytesAllocator(BytesAllocator allocator);
