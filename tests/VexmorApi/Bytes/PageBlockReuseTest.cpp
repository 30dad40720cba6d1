// Reuse of freed page blocks while a scan runs: a cached block goes to one
// owner at a time, a page's block survives the device data that come and go
// beside it, a block no request can take is not kept, and touching a block
// while it is cached is reported by the AddressSanitizer build.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "VexmorApi/Bytes/make_unique_bytes.h"

namespace {

constexpr unsigned kPage = 4096;
constexpr unsigned MiB = 1u << 20;

// Reuse on for the test's lifetime, as for a running scan.
struct ScanReuse {
    ScanReuse() { BeginPageBlockReuse(); }
    ~ScanReuse() { EndPageBlockReuse(); }
};

TEST(PageBlockReuse, ABlockIsNeverHandedOutTwice)
{
    ScanReuse const reuse;
    // A freed block comes back for the next request of its size, and only
    // for one: the block still held is never handed out beside it.
    unique_bytes first = make_unique_bytes(2 * MiB);
    unique_bytes held = make_unique_bytes(2 * MiB);
    unsigned char* const freed = first.get();
    first.reset();
    unique_bytes again = make_unique_bytes(2 * MiB - 100);  // the same number of pages
    unique_bytes fresh = make_unique_bytes(2 * MiB);
    EXPECT_EQ(again.get(), freed);
    EXPECT_NE(fresh.get(), freed);
    EXPECT_NE(fresh.get(), held.get());

    // Threads taking and freeing blocks of two sizes at once: each marks
    // every page of its block with its own tag and finds every mark intact
    // after yielding, which a block handed to two owners would break.
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    std::vector<int> broken(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &broken] {
            for (int round = 0; round < kRounds; ++round) {
                unsigned const size = (round + t) % 2 == 0 ? MiB : 3 * MiB + kPage;
                unique_bytes block = make_unique_bytes(size);
                uint32_t const tag = static_cast<uint32_t>(t * kRounds + round);
                for (unsigned at = 0; at + sizeof tag <= size; at += kPage) {
                    std::memcpy(block.get() + at, &tag, sizeof tag);
                }
                std::this_thread::yield();
                for (unsigned at = 0; at + sizeof tag <= size; at += kPage) {
                    uint32_t seen = 0;
                    std::memcpy(&seen, block.get() + at, sizeof seen);
                    broken[t] += seen != tag;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(broken[t], 0) << "thread " << t;
    }
}

TEST(PageBlockReuse, APageBlockComesBackWhileDeviceDataComeAndGo)
{
    ScanReuse const reuse;
    constexpr unsigned kPageBytes = 3 * MiB;  // a decoded page
    constexpr unsigned kDataBytes = MiB;      // a page's device data
    // The most the scan holds: the page the front end reads, the page just
    // decoded and the next page's device data.
    unique_bytes shown = make_unique_bytes(kPageBytes);
    unique_bytes decoded = make_unique_bytes(kPageBytes);
    unique_bytes data = make_unique_bytes(kDataBytes);
    std::memset(shown.get(), 0x5A, kPageBytes);
    std::memset(data.get(), 0xA5, kDataBytes);
    unsigned char* const freedPage = shown.get();
    shown.reset();
    // More device data than before while the freed page waits in the cache,
    // then the first device data are done with: the cache is back within the
    // scan's mark by dropping device data, not the page.
    unique_bytes moreData = make_unique_bytes(kDataBytes);
    data.reset();
    unique_bytes next = make_unique_bytes(kPageBytes);
    ASSERT_EQ(next.get(), freedPage);
    EXPECT_EQ(next.get()[kPageBytes - 1], 0x5A) << "a new mapping at the old address";
    unique_bytes again = make_unique_bytes(kDataBytes);
    EXPECT_EQ(again.get()[0], 0) << "the cache kept more than the scan held";
}

TEST(PageBlockReuse, ABlockGrownToALengthNoRequestHadIsUnmappedWhenFreed)
{
    ScanReuse const reuse;
    // A page whose rows were appended: its block grew in place past every
    // length asked for, as a page read back from its file asks for its bytes
    // alone. Freed, it must give its memory back, not wait in the cache.
    unique_bytes grown = make_unique_bytes(2 * MiB);
    ASSERT_TRUE(ResizeMappedBytes(grown, 5 * MiB));
    std::memset(grown.get(), 0x5A, 5 * MiB);
    grown.reset();
    unique_bytes next = make_unique_bytes(5 * MiB);
    EXPECT_EQ(next.get()[0], 0) << "the grown block was kept";
    EXPECT_EQ(next.get()[5 * MiB - 1], 0) << "the grown block was kept";
}

TEST(PageBlockReuse, AUseAfterFreeOfACachedBlockIsReported)
{
#if defined(__SANITIZE_ADDRESS__)
    ScanReuse const reuse;
    unique_bytes block = make_unique_bytes(2 * MiB);
    unsigned char* const cached = block.get();
    block.reset();
    // Handed out again it is usable to its last byte...
    block = make_unique_bytes(2 * MiB);
    ASSERT_EQ(block.get(), cached);
    std::memset(block.get(), 1, 2 * MiB);
    // ...and freed again, not a byte of it.
    block.reset();
    EXPECT_DEATH(*static_cast<unsigned char volatile*>(cached + 12345) = 2, "AddressSanitizer: use-after-poison");
#else
    GTEST_SKIP() << "only the AddressSanitizer build watches cached blocks";
#endif
}

}  // namespace
