// The checking allocator used from the front end's thread and reader threads
// at once: the table and counters stay consistent.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "backend_source/BugChk.h"

namespace {

TEST(CheckingAllocatorThreads, EightThreadsAllocatingAndFreeingKeepTheCountersEqual)
{
    ScratchDir dir;
    std::string ini = dir.Write("kavrun5.ini", "MEMCHK=2\n");
    bugchk_start_at(ini.c_str());
    ASSERT_EQ(2, bugchk_stats().level);
    constexpr int kThreads = 8;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            void* held[16] = {};
            for (int i = 0; i < kRounds; ++i) {
                int slot = i % 16;
                bugchk_free(held[slot], __LINE__, "thread");
                held[slot] = bugchk_malloc(static_cast<size_t>(t + i % 37), __LINE__, "thread");
            }
            for (void* block : held) {
                bugchk_free(block, __LINE__, "thread");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    BugChkStats stats = bugchk_stats();
    EXPECT_EQ(kThreads * kRounds, stats.mallocs);
    EXPECT_EQ(stats.mallocs, stats.frees);
    EXPECT_EQ(0, stats.records);
}

}  // namespace
