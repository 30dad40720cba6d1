// The stopwatch against the standard steady clock, and sleeps that a signal
// interrupts half-way.
#include "vdtcl/CTTime.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <cstring>

namespace {

using vdtcl::CTTime;
using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(CTTime, StopwatchAgreesWithTheSteadyClockOverOneSecond)
{
    CTTime watch;
    EXPECT_EQ(watch.LapTimeMeasure(), 0);
    EXPECT_EQ(watch.StopTimeMeasure(), 0);

    Clock::time_point start = Clock::now();
    watch.StartTimeMeasure();
    EXPECT_EQ(CTTime::Sleep_ms(1000), 0);
    int64_t lap = watch.LapTimeMeasure();
    int64_t reference = MillisecondsSince(start);
    EXPECT_GE(lap, 1000);
    EXPECT_NEAR(static_cast<double>(lap), static_cast<double>(reference), 100.0);

    int64_t stopped = watch.StopTimeMeasure();
    EXPECT_GE(stopped, lap);
    EXPECT_EQ(watch.StopTimeMeasure(), 0);
    EXPECT_EQ(watch.LapTimeMeasure(), 0);
}

void OnAlarm(int) {}

// Runs the sleep with a one-shot SIGALRM (no restart) after interruptMs and
// returns how long it took.
template <typename SleepFn>
int64_t SleepInterruptedAfter(long interruptMs, SleepFn sleep)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnAlarm;
    struct sigaction previous;
    sigaction(SIGALRM, &action, &previous);
    itimerval timer = {};
    timer.it_value.tv_sec = interruptMs / 1000;
    timer.it_value.tv_usec = (interruptMs % 1000) * 1000;
    Clock::time_point start = Clock::now();
    setitimer(ITIMER_REAL, &timer, nullptr);
    sleep();
    int64_t took = MillisecondsSince(start);
    sigaction(SIGALRM, &previous, nullptr);
    return took;
}

TEST(CTTime, InterruptedSleepSleepsOnlyTheRemainder)
{
    int64_t took = SleepInterruptedAfter(300, [] { EXPECT_EQ(CTTime::Sleep_ms(800), 0); });
    EXPECT_GE(took, 800);
    EXPECT_LT(took, 1050);

    took = SleepInterruptedAfter(400, [] { CTTime::Sleep_sec(1); });
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 1350);

    Clock::time_point start = Clock::now();
    EXPECT_EQ(CTTime::Sleep_ms(0), 0);
    CTTime::Sleep_sec(0);
    EXPECT_LT(MillisecondsSince(start), 50);
}

}  // namespace
