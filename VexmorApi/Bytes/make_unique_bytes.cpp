// Heap blocks of the byte containers.
#include "VexmorApi/Bytes/make_unique_bytes.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Bytes/make_unique_bytes";

std::atomic<BytesAllocator> g_allocator{nullptr};

// Page-sized blocks are mapped directly and unmapped when freed. Through
// malloc, a freed large block raises the allocator's mapping threshold and
// later pages of a scan stay in its per-thread pools, so a scan's peak memory
// would grow with the number of page threads instead of the pages in flight.
constexpr size_t kMappedBlockMinimum = 1u << 20;

// Blocks handed out by mmap, with their lengths; guarded by g_mappedMutex.
// Blocks adopted from malloc are never in it. A plain pointer, so that the
// table outlives every static container that may still free a block.
std::mutex g_mappedMutex;
std::unordered_map<void*, size_t>* g_mappedBlocks = nullptr;

// Frees the table when the library ends (unloaded by dlclose, as the engine
// is at every sane_exit) and no block is mapped any more; with blocks still
// mapped it stays for the containers destroyed later.
struct MappedBlocksReaper {
    ~MappedBlocksReaper()
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        if (g_mappedBlocks != nullptr && g_mappedBlocks->empty()) {
            delete g_mappedBlocks;
            g_mappedBlocks = nullptr;
        }
    }
};

// The table, made on first use; under g_mappedMutex.
std::unordered_map<void*, size_t>& MappedBlocks()
{
    static MappedBlocksReaper reaper;
    if (g_mappedBlocks == nullptr) {
        g_mappedBlocks = new std::unordered_map<void*, size_t>();
    }
    return *g_mappedBlocks;
}

void* AllocateBlock(size_t request)
{
    if (request < kMappedBlockMinimum) {
        return std::malloc(request);
    }
    void* block = mmap(nullptr, request, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        return nullptr;
    }
    try {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        MappedBlocks().emplace(block, request);
    } catch (...) {
        munmap(block, request);
        return nullptr;
    }
    return block;
}

}  // namespace

void bytes_deleter::operator()(unsigned char* block) const
{
    if (block == nullptr) {
        return;
    }
    size_t mapped = 0;
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        if (g_mappedBlocks != nullptr) {
            auto found = g_mappedBlocks->find(block);
            if (found != g_mappedBlocks->end()) {
                mapped = found->second;
                g_mappedBlocks->erase(found);
            }
        }
    }
    if (mapped != 0) {
        munmap(block, mapped);
    } else {
        std::free(block);
    }
}

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
    void* block = allocator ? allocator(request) : AllocateBlock(request);
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
