// The single allocation point of the byte containers' heap blocks: an
// exhausted heap becomes a FailedToAllocateMemory exception. Page-sized
// blocks are mapped directly and, while a scan runs, reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct bytes_deleter {
    void operator()(unsigned char* block) const;
};

using unique_bytes = std::unique_ptr<unsigned char, bytes_deleter>;

// A new block of size bytes (blocks of 1 MiB and more are mapped directly,
// or taken from the reuse cache below), released only through bytes_deleter.
// Its contents are undefined. Throws TraceException FailedToAllocateMemory
// "Failed to allocate 1,048,576 bytes." when the heap has no block of that
// size.
unique_bytes make_unique_bytes(unsigned size);
// Takes over a block from malloc without copying; size is not used.
unique_bytes make_unique_bytes(unsigned size, unsigned char* block);

// Gives a mapped block size bytes, keeping its first bytes up to the smaller
// of both sizes, by remapping its pages instead of copying them; the block
// may move. False, with the block unchanged, when it is not a mapped block,
// when size is below the mapping threshold or when the system refuses; the
// caller then allocates and copies.
bool ResizeMappedBytes(unique_bytes& block, unsigned size);

// Reuse of page blocks while a scan runs. Between a BeginPageBlockReuse and
// its EndPageBlockReuse (one pair per running scan; they nest), a freed
// mapped block is kept, poisoned for AddressSanitizer, and handed out again
// to the next request of the same size in pages, instead of being unmapped
// and mapped afresh, which costs a page fault and the zeroing of every page.
// So is the block of a page moved to a temporary file: the next page takes
// it, and the memory the scan holds stays where it was before the move.
// Only a block of a size some request has asked for since the outermost
// Begin is kept: a block grown in place (ResizeMappedBytes) to a size no
// request had is unmapped when freed, since no request would take it (a
// page read back from its file asks for its bytes, not the grown block).
// One cache for the process, not per thread, so memory follows the pages in
// flight: a freed block is kept only while cached plus live mapped bytes stay
// within the highest live mapped bytes since the outermost Begin, the
// smallest cached blocks going first; a new mapping drops none of them. The
// outermost End unmaps every cached block, and so does unloading the engine.
// Any thread may call them.
void BeginPageBlockReuse();
void EndPageBlockReuse();

// Throws the FailedToAllocateMemory exception for a request of size bytes
// (also for totals beyond the containers' 32-bit sizes), recorded with the
// caller's origin and operation.
[[noreturn]] void ThrowFailedToAllocate(uint64_t size, char const* origin, char const* function);

// Test seam: replaces the allocator behind make_unique_bytes and returns the
// previous one; nullptr restores malloc. Engine code never calls it.
using BytesAllocator = void* (*)(size_t);
BytesAllocator SetBytesAllocator(BytesAllocator allocator);
