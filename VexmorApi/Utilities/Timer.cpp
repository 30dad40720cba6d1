// Per-thread stopwatches.
#include "VexmorApi/Utilities/Timer.h"

namespace {

unsigned ToMilliseconds(int64_t elapsed) { return elapsed < 0 ? 0 : static_cast<unsigned>(elapsed); }

}  // namespace

vdtcl::CTTime& Timer::OwnStopwatch() { return stopwatches_[std::this_thread::get_id()]; }

void Timer::Start()
{
    std::lock_guard<std::mutex> lock(mutex_);
    OwnStopwatch().StartTimeMeasure();
}

unsigned Timer::GetLapTime()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ToMilliseconds(OwnStopwatch().LapTimeMeasure());
}

unsigned Timer::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ToMilliseconds(OwnStopwatch().StopTimeMeasure());
}
