// Sleeping, the monotonic stopwatch and the local time.
#include "vdtcl/CTTime.h"

#include <cerrno>
#include <ctime>

namespace vdtcl {

namespace {

// nanosleep until the whole span has passed, going on with the remainder
// after a signal.
int SleepFor(time_t seconds, long nanoseconds)
{
    timespec request = {seconds, nanoseconds};
    timespec remain = {0, 0};
    while (nanosleep(&request, &remain) != 0) {
        if (errno != EINTR) {
            return -1;
        }
        request = remain;
    }
    return 0;
}

}  // namespace

void CTTime::Sleep_sec(unsigned s)
{
    if (s != 0) {
        SleepFor(static_cast<time_t>(s), 0);
    }
}

int CTTime::Sleep_ms(unsigned long ms)
{
    if (ms == 0) {
        return 0;
    }
    return SleepFor(static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L);
}

int CTTime::GetCurrentClockTime(_CLKTIME& now)
{
    timespec ts;
    int rc = clock_gettime(CLOCK_MONOTONIC, &ts);
    if (rc != 0) {
        return rc;
    }
    now.seconds = static_cast<int64_t>(ts.tv_sec);
    now.milliseconds = static_cast<int64_t>(ts.tv_nsec) / 1000000;
    return 0;
}

void CTTime::StartTimeMeasure()
{
    if (GetCurrentClockTime(m_start) != 0) {
        m_start = {0, 0};
    }
}

int64_t CTTime::LapTimeMeasure()
{
    if (m_start.seconds == 0 && m_start.milliseconds == 0) {
        return 0;
    }
    return CalcTimeMeasure();
}

int64_t CTTime::StopTimeMeasure()
{
    int64_t elapsed = LapTimeMeasure();
    m_start = {0, 0};
    return elapsed;
}

int64_t CTTime::CalcTimeMeasure()
{
    _CLKTIME now = {0, 0};
    if (GetCurrentClockTime(now) != 0) {
        return 0;
    }
    return (now.seconds - m_start.seconds) * 1000 + (now.milliseconds - m_start.milliseconds);
}

bool CTTime::GetCurrentLocalTime(_TIME_INFO& info)
{
    time_t now = time(nullptr);
    tm local;
    if (localtime_r(&now, &local) == nullptr) {
        return false;
    }
    info.year = local.tm_year;
    info.month = local.tm_mon + 1;
    info.day = local.tm_mday;
    info.hour = local.tm_hour;
    info.minute = local.tm_min;
    info.second = local.tm_sec;
    info.weekday = local.tm_wday;
    return true;
}

TTString<char> CTTime::GetCurrentLocalTimeString()
{
    time_t now = time(nullptr);
    char text[64] = {};
    if (ctime_r(&now, text) == nullptr) {
        return TTString<char>();
    }
    return TTString<char>(text);
}

}  // namespace vdtcl
