// Heap blocks of the byte containers: malloc below 1 MiB, mappings of their
// own above, and the reuse cache of mapped blocks while a scan runs.
#include "VexmorApi/Bytes/make_unique_bytes.h"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

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

// The mapped blocks. A block is live from its hand-out to its release; while
// a scan runs, a released block is cached (poisoned) until a request of its
// length takes it again or the cache is emptied. Lengths are whole pages.
struct MappedBlocks {
    std::unordered_map<void*, size_t> live;  // block -> length
    std::multimap<size_t, void*> cached;     // length -> block
    // The lengths requested since reuse began. Only a request of a block's
    // own length takes it, so a released block of another length (one grown
    // in place, such as a page whose rows were appended) is not cached.
    std::unordered_set<size_t> requested;
    size_t liveBytes = 0;  // includes lengths about to be mapped
    size_t cachedBytes = 0;
    // The highest liveBytes since reuse began. A freed block is kept only as
    // far as cachedBytes + liveBytes then stay within it, so the cache never
    // holds more than the scan itself once held. A new mapping leaves the
    // cache alone and may pass the mark until the next release: in a scan's
    // steady state the pages in flight shift between page blocks and device
    // data blocks, and a cached page block dropped for a device data block
    // would be mapped afresh by the very next page.
    size_t highWater = 0;
    unsigned reusers = 0;  // BeginPageBlockReuse calls not yet ended
};

// Guards g_mapped and everything in it. Blocks adopted from malloc are never
// in it. A plain pointer, so that the table outlives every static container
// that may still free a block.
std::mutex g_mappedMutex;
MappedBlocks* g_mapped = nullptr;

size_t PageSize()
{
    static size_t const page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

size_t WholePages(size_t request) { return (request + PageSize() - 1) / PageSize() * PageSize(); }

// Unmaps every cached block; under g_mappedMutex.
void EmptyCache(MappedBlocks& mapped)
{
    for (auto const& [length, block] : mapped.cached) {
        ASAN_UNPOISON_MEMORY_REGION(block, length);
        munmap(block, length);
    }
    mapped.cached.clear();
    mapped.cachedBytes = 0;
}

// Raises the high-water mark to the live bytes; under g_mappedMutex.
void NoteLiveBytes(MappedBlocks& mapped) { mapped.highWater = std::max(mapped.highWater, mapped.liveBytes); }

// Unmaps cached blocks, the smallest first (the largest are page blocks, the
// costliest to fault in again), until cached plus live bytes are within the
// high-water mark again; under g_mappedMutex.
void TrimCache(MappedBlocks& mapped)
{
    while (mapped.cachedBytes + mapped.liveBytes > mapped.highWater && !mapped.cached.empty()) {
        auto const smallest = mapped.cached.begin();
        ASAN_UNPOISON_MEMORY_REGION(smallest->second, smallest->first);
        munmap(smallest->second, smallest->first);
        mapped.cachedBytes -= smallest->first;
        mapped.cached.erase(smallest);
    }
}

// At the end of the library (unloaded by dlclose, as the engine is at every
// sane_exit) the cache goes; the table goes too when no block is mapped any
// more, else it stays for the containers destroyed later.
struct MappedBlocksReaper {
    ~MappedBlocksReaper()
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        if (g_mapped == nullptr) {
            return;
        }
        g_mapped->reusers = 0;
        EmptyCache(*g_mapped);
        if (g_mapped->live.empty()) {
            delete g_mapped;
            g_mapped = nullptr;
        }
    }
};

// The table, made on first use; under g_mappedMutex.
MappedBlocks& Mapped()
{
    static MappedBlocksReaper reaper;
    if (g_mapped == nullptr) {
        g_mapped = new MappedBlocks();
    }
    return *g_mapped;
}

// Notes a request of length bytes while reuse runs; returns a cached block
// of exactly that length, now live, or null when there is none.
void* TakeCached(size_t length)
{
    std::lock_guard<std::mutex> lock(g_mappedMutex);
    MappedBlocks& mapped = Mapped();
    if (mapped.reusers != 0) {
        try {
            mapped.requested.insert(length);
        } catch (...) {
            // Such a block is then unmapped when freed, as before reuse.
        }
    }
    auto const found = mapped.cached.find(length);
    if (found == mapped.cached.end()) {
        return nullptr;
    }
    void* const block = found->second;
    try {
        mapped.live.emplace(block, length);
    } catch (...) {
        return nullptr;  // it stays cached
    }
    mapped.cached.erase(found);
    mapped.cachedBytes -= length;
    mapped.liveBytes += length;
    NoteLiveBytes(mapped);
    ASAN_UNPOISON_MEMORY_REGION(block, length);
    return block;
}

void* MapBlock(size_t length)
{
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        MappedBlocks& mapped = Mapped();
        mapped.liveBytes += length;
        NoteLiveBytes(mapped);
    }
    void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::lock_guard<std::mutex> lock(g_mappedMutex);
    MappedBlocks& mapped = Mapped();
    if (block != MAP_FAILED) {
        try {
            mapped.live.emplace(block, length);
            return block;
        } catch (...) {
            munmap(block, length);
        }
    }
    mapped.liveBytes -= length;
    return nullptr;
}

void* AllocateBlock(size_t request)
{
    if (request < kMappedBlockMinimum) {
        return std::malloc(request);
    }
    size_t const length = WholePages(request);
    void* const reused = TakeCached(length);
    return reused != nullptr ? reused : MapBlock(length);
}

// Frees a block of either kind; a mapped one goes to the cache while a scan
// runs, if a request of its length was seen.
void ReleaseBlock(unsigned char* block)
{
    if (block == nullptr) {
        return;
    }
    size_t length = 0;
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        if (g_mapped != nullptr) {
            auto const found = g_mapped->live.find(block);
            if (found != g_mapped->live.end()) {
                length = found->second;
                g_mapped->live.erase(found);
                g_mapped->liveBytes -= length;
                if (g_mapped->reusers != 0 && g_mapped->requested.count(length) != 0) {
                    try {
                        g_mapped->cached.emplace(length, block);
                        g_mapped->cachedBytes += length;
                        ASAN_POISON_MEMORY_REGION(block, length);
                        TrimCache(*g_mapped);
                        return;
                    } catch (...) {
                        // Unmapped below.
                    }
                }
            }
        }
    }
    if (length != 0) {
        munmap(block, length);
    } else {
        std::free(block);
    }
}

}  // namespace

void bytes_deleter::operator()(unsigned char* block) const { ReleaseBlock(block); }

bool ResizeMappedBytes(unique_bytes& block, unsigned size)
{
    if (size < kMappedBlockMinimum || !block) {
        return false;
    }
    size_t const length = WholePages(size);
    std::unordered_map<void*, size_t>::node_type entry;
    {
        std::lock_guard<std::mutex> lock(g_mappedMutex);
        if (g_mapped == nullptr) {
            return false;
        }
        auto const found = g_mapped->live.find(block.get());
        if (found == g_mapped->live.end()) {
            return false;
        }
        if (found->second == length) {
            return true;
        }
        // The entry leaves the table while the pages move; the block is the
        // caller's alone, so no other thread looks for it meanwhile.
        entry = g_mapped->live.extract(found);
        g_mapped->liveBytes = g_mapped->liveBytes - entry.mapped() + length;
        NoteLiveBytes(*g_mapped);
    }
    void* const moved = mremap(block.get(), entry.mapped(), length, MREMAP_MAYMOVE);
    std::lock_guard<std::mutex> lock(g_mappedMutex);
    MappedBlocks& mapped = Mapped();
    if (moved == MAP_FAILED) {
        mapped.liveBytes = mapped.liveBytes - length + entry.mapped();
        mapped.live.insert(std::move(entry));
        return false;
    }
    entry.key() = moved;
    entry.mapped() = length;
    mapped.live.insert(std::move(entry));
    (void)block.release();
    block.reset(static_cast<unsigned char*>(moved));
    return true;
}

void BeginPageBlockReuse()
{
    std::lock_guard<std::mutex> lock(g_mappedMutex);
    MappedBlocks& mapped = Mapped();
    if (mapped.reusers++ == 0) {
        mapped.highWater = mapped.liveBytes;
    }
}

void EndPageBlockReuse()
{
    std::lock_guard<std::mutex> lock(g_mappedMutex);
    if (g_mapped == nullptr || g_mapped->reusers == 0) {
        return;
    }
    if (--g_mapped->reusers == 0) {
        EmptyCache(*g_mapped);
        g_mapped->requested.clear();
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
