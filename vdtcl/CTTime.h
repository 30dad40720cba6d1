// Sleeping, a millisecond stopwatch and the local time. The stopwatch runs
// on the monotonic clock, so setting the system clock does not disturb the
// time-outs built on it.
#pragma once

#include <cstdint>

#include "vdtcl/TTString.h"

namespace vdtcl {

class CTTime {
public:
    // A reading of the stopwatch's clock; both 0 means not started.
    struct _CLKTIME {
        int64_t seconds;
        int64_t milliseconds;  // 0-999
    };

    struct _TIME_INFO {
        int year;   // years since 1900
        int month;  // 1-12
        int day;    // 1-31
        int hour;
        int minute;
        int second;
        int weekday;  // 0 = Sunday
    };

    CTTime() = default;
    virtual ~CTTime() = default;

    // Sleeps s seconds; an interrupted sleep goes on for the rest only.
    static void Sleep_sec(unsigned s);
    // Sleeps ms milliseconds, the rest only after an interruption; 0 on
    // success, -1 with errno otherwise. 0 ms returns at once.
    static int Sleep_ms(unsigned long ms);
    // Reads the monotonic clock; non-zero on failure, the output then unchanged.
    static int GetCurrentClockTime(_CLKTIME& now);

    void StartTimeMeasure();
    // Milliseconds since StartTimeMeasure; 0 when not started.
    int64_t LapTimeMeasure();
    // As LapTimeMeasure, then the stopwatch is not started any more.
    int64_t StopTimeMeasure();
    // Milliseconds from the start time to now.
    int64_t CalcTimeMeasure();

    // The local time now; false when it cannot be had.
    static bool GetCurrentLocalTime(_TIME_INFO& info);
    // The local time now as ctime writes it, with its trailing "\n"; empty
    // on failure.
    static TTString<char> GetCurrentLocalTimeString();

private:
    _CLKTIME m_start = {0, 0};
};

}  // namespace vdtcl
