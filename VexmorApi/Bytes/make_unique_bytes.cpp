// Heap blocks of the byte containers.
#include "VexmorApi/Bytes/make_unique_bytes.h"

#include <atomic>
#include <cstdlib>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Bytes/make_unique_bytes";

std::atomic<BytesAllocator> g_allocator{nullptr};

}  // namespace

void bytes_deleter::operator()(unsigned char* block) const { std::free(block); }

void ThrowFailedToAllocate(uint64_t size, char const* origin, char const* function)
{
    VEXMOR_THROW(origin, function, Exception::FailedToAllocateMemory,
                 "Failed to allocate " + Formatter::ToCommaSeparatedNumber(static_cast<long>(size), 3) + " bytes.");
}

unique_bytes make_unique_bytes(unsigned size)
{
    BytesAllocator allocator = g_allocator.load(std::memory_order_acquire);
    // A zero-byte request still gets a distinct block, so null always means failure.
    size_t const request = size == 0 ? 1 : size;
    void* block = allocator ? allocator(request) : std::malloc(request);
    if (block == nullptr) {
        ThrowFailedToAllocate(size, kOrigin, "make_unique_bytes");
    }
    return unique_bytes(static_cast<unsigned char*>(block));
}

unique_bytes make_unique_bytes(unsigned /*size*/, unsigned char* block) { return unique_bytes(block); }

BytesAllocator SetBytesAllocator(BytesAllocator allocator)
{
    return g_allocator.exchange(allocator, std::memory_order_acq_rel);
}
