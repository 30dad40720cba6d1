// The backend's two threads per job, under ThreadSanitizer too: a 20-page
// job read while the reader queues, a cancel from another thread mid-job,
// and mDNS registrations from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "BackendFixture.h"
#include "backend_source/AvahiClientCore.h"
#include "backend_source/My_Scanner.h"

namespace {

using BackendThreads = BackendJobTest;

std::string TwentyPages()
{
    std::string timeline;
    for (int i = 0; i < 20; ++i) {
        timeline += "status RECEIVING " + std::to_string(i % 3) + "\n";
        timeline += i == 9 ? "page 64 16 24 zero blank\n" : "page 64 16 24 gradient\n";
    }
    return timeline;
}

TEST_F(BackendThreads, ATwentyPageJobDeliversEveryPageInOrder)
{
    b_.Engine(TwentyPages());
    SANE_Handle h = nullptr;
    ASSERT_TRUE(b_.InitAndOpen(&h));
    ASSERT_EQ(SANE_STATUS_GOOD, BackendFixture::SetText(h, optMode, "24bit Color[Fast]"));
    std::vector<uint8_t> expected;
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t i = 0; i < 64 * 3; ++i) {
            expected.push_back(fakeengine::PatternByte("gradient", y, i));
        }
    }
    int pages = 0;
    while (sane_vordane5_start(h) == SANE_STATUS_GOOD) {
        SANE_Status end;
        EXPECT_EQ(expected, BackendFixture::ReadPage(h, 1000, &end)) << "page " << pages;
        EXPECT_EQ(SANE_STATUS_EOF, end);
        ++pages;
    }
    EXPECT_EQ(19, pages);  // the blank one is passed over
    sane_vordane5_cancel(h);
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    EXPECT_EQ(20u, fakeengine::Ledger("FreeImageData").size());
}

TEST_F(BackendThreads, ACancelFromAnotherThreadEndsTheJobWithEveryPageGivenBack)
{
    b_.Engine(TwentyPages());
    SANE_Handle h = nullptr;
    ASSERT_TRUE(b_.InitAndOpen(&h));
    std::atomic<int> delivered{0};
    std::thread canceller([&] {
        while (delivered.load() < 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sane_vordane5_cancel(h);
    });
    SANE_Status status = SANE_STATUS_GOOD;
    while ((status = sane_vordane5_start(h)) == SANE_STATUS_GOOD) {
        SANE_Status end = SANE_STATUS_GOOD;
        BackendFixture::ReadPage(h, 512, &end);
        ++delivered;
        if (end == SANE_STATUS_CANCELLED) {
            break;
        }
    }
    canceller.join();
    sane_vordane5_close(h);
    std::string why;
    EXPECT_TRUE(BackendFixture::EveryPageFreedOnce(&why)) << why;
    EXPECT_TRUE(fakeengine::OutstandingPages().empty());
}

TEST(AvahiListThreads, RegistrationsFromFourThreadsAllLand)
{
    AvahiDeviceList* list = new_avahi_device_list();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([list, t] {
            for (int i = 0; i < 30; ++i) {
                std::string address = "10." + std::to_string(t) + ".0." + std::to_string(i);
                register_avahi_device_list("XY-100", address.c_str(), address.c_str(), list);
                check_sane_avahi_device_in_list(address.c_str(), list);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(120, list->num);
    EXPECT_EQ(128, list->max);
    free_avahi_device_list(list);
}

}  // namespace
