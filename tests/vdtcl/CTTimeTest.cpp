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

int64_t Milliseconds(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

int64_t MillisecondsSince(Clock::time_point start) { return Milliseconds(Clock::now() - start); }

TEST(CTTime, StopwatchAgreesWithTheSteadyClockOverOneSecond)
{
    CTTime watch;
    EXPECT_EQ(watch.LapTimeMeasure(), 0);
    EXPECT_EQ(watch.StopTimeMeasure(), 0);

    // The lap lies between what the steady clock saw from just after the
    // start to just before the lap and from just before the start to just
    // after the lap, less or more one step of the stopwatch's milliseconds.
    Clock::time_point const beforeStart = Clock::now();
    watch.StartTimeMeasure();
    Clock::time_point const afterStart = Clock::now();
    EXPECT_EQ(CTTime::Sleep_ms(1250), 0);
    Clock::time_point const beforeLap = Clock::now();
    int64_t lap = watch.LapTimeMeasure();
    Clock::time_point const afterLap = Clock::now();
    EXPECT_GE(lap, 1250);
    EXPECT_GE(lap, Milliseconds(beforeLap - afterStart) - 1);
    EXPECT_LE(lap, Milliseconds(afterLap - beforeStart) + 1);

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

// The signal comes late in the sleep: a sleep begun again in full would
// last almost twice as long, which leaves a slow run most of a sleep's room.
TEST(CTTime, InterruptedSleepSleepsOnlyTheRemainder)
{
    int64_t took = SleepInterruptedAfter(900, [] { EXPECT_EQ(CTTime::Sleep_ms(1000), 0); });
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 1000 + 700);

    took = SleepInterruptedAfter(900, [] { CTTime::Sleep_sec(1); });
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 1000 + 700);

    Clock::time_point start = Clock::now();
    EXPECT_EQ(CTTime::Sleep_ms(0), 0);
    CTTime::Sleep_sec(0);
    EXPECT_LT(MillisecondsSince(start), 500);
}

}  // namespace
