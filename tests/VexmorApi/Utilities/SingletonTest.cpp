// Singletons under concurrent first use, the finalizer table, and the
// per-thread stopwatches of the timer.
#include "VexmorApi/Utilities/Singleton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "VexmorApi/Utilities/Timer.h"

namespace {

std::mutex g_eventsMutex;
std::vector<std::string> g_events;  // guarded by g_eventsMutex: constructions and destructions in order

void Record(std::string const& event)
{
    std::lock_guard<std::mutex> lock(g_eventsMutex);
    g_events.push_back(event);
}

std::vector<std::string> TakeEvents()
{
    std::lock_guard<std::mutex> lock(g_eventsMutex);
    return std::move(g_events);
}

template <char Name>
class Service : private Singleton<Service<Name>> {
    friend class Singleton<Service<Name>>;
    Service()
    {
        if (Name == 'F' && failNext) {
            failNext = false;
            throw std::runtime_error("construction fails");
        }
        Record(std::string("make ") + Name);
    }
    ~Service() override { Record(std::string("drop ") + Name); }

public:
    inline static bool failNext = false;
};

class SingletonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SingletonFinalizer::Finalize();
        TakeEvents();
    }
    void TearDown() override { SingletonFinalizer::Finalize(); }
};

TEST_F(SingletonTest, SixteenThreadsCreateEachOfTwoTypesOnce)
{
    constexpr int kThreads = 16;
    std::mutex mutex;
    std::condition_variable cv;
    int waiting = kThreads;  // guarded by mutex
    std::vector<void*> seen(2 * kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                --waiting;
                cv.notify_all();
                cv.wait(lock, [&] { return waiting == 0; });
            }
            seen[2 * i] = Singleton<Service<'A'>>::GetInstance();
            seen[2 * i + 1] = Singleton<Service<'B'>>::GetInstance();
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(seen[2 * i], seen[0]);
        EXPECT_EQ(seen[2 * i + 1], seen[1]);
    }
    SingletonFinalizer::Finalize();
    std::vector<std::string> events = TakeEvents();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{"drop A", "drop B", "make A", "make B"}));
}

TEST_F(SingletonTest, FinalizeDestroysNewestFirstAndLaterUseCreatesAgain)
{
    Singleton<Service<'A'>>::GetInstance();
    Singleton<Service<'B'>>::GetInstance();
    SingletonFinalizer::Finalize();
    Singleton<Service<'A'>>::GetInstance();
    SingletonFinalizer::Finalize();
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"make A", "make B", "drop B", "drop A", "make A", "drop A"}));
}

TEST_F(SingletonTest, ThrowingConstructorLeavesNothingCreated)
{
    Service<'F'>::failNext = true;
    EXPECT_THROW(Singleton<Service<'F'>>::GetInstance(), std::runtime_error);
    auto* made = Singleton<Service<'F'>>::GetInstance();
    EXPECT_EQ(Singleton<Service<'F'>>::GetInstance(), made);
    SingletonFinalizer::Finalize();
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"make F", "drop F"}));
}

TEST_F(SingletonTest, FinalizerAddedDuringFinalizeWaitsForTheNextRun)
{
    std::vector<int> order;
    SingletonFinalizer::AddFinalizer([&] {
        order.push_back(1);
        SingletonFinalizer::AddFinalizer([&] { order.push_back(3); });
    });
    SingletonFinalizer::AddFinalizer([&] { order.push_back(2); });
    SingletonFinalizer::Finalize();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    SingletonFinalizer::Finalize();
    EXPECT_EQ(order, (std::vector<int>{2, 1, 3}));
}

TEST_F(SingletonTest, TableHoldsAtMost256Finalizers)
{
    int runs = 0;
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(SingletonFinalizer::AddFinalizer([&runs] { ++runs; }));
    }
#ifdef NDEBUG
    EXPECT_FALSE(SingletonFinalizer::AddFinalizer([&runs] { runs += 1000; }));
#else
    EXPECT_DEATH(SingletonFinalizer::AddFinalizer([] {}), "MAX_FINALIZER_SIZE > numFinalizerSize");
#endif
    SingletonFinalizer::Finalize();
    EXPECT_EQ(runs, 256);
}

TEST_F(SingletonTest, TimerKeepsOneStopwatchPerThread)
{
    Timer* timer = Singleton<Timer>::GetInstance();
    EXPECT_EQ(timer->GetLapTime(), 0u);  // never started
    timer->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    unsigned otherLap = 1;
    std::thread([&] { otherLap = Singleton<Timer>::GetInstance()->GetLapTime(); }).join();
    EXPECT_EQ(otherLap, 0u);
    unsigned const lap = timer->GetLapTime();
    EXPECT_GE(lap, 25u);
    EXPECT_GE(timer->Stop(), lap);
    EXPECT_EQ(timer->Stop(), 0u);
}

}  // namespace
