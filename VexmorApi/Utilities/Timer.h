// A stopwatch per thread for the engine's timing logs, reached through
// Singleton<Timer>::GetInstance().
#pragma once

#include <map>
#include <mutex>
#include <thread>

#include "VexmorApi/Utilities/Singleton.h"
#include "vdtcl/CTTime.h"

class Timer : private Singleton<Timer> {
    friend class Singleton<Timer>;

public:
    // Each operation works on the calling thread's own stopwatch, made (not
    // started) on the thread's first call. Any thread may call them.
    void Start();
    // Milliseconds since Start without stopping; 0 when not started.
    unsigned GetLapTime();
    // Milliseconds since Start, then not started; 0 when not started.
    unsigned Stop();

private:
    Timer() = default;
    ~Timer() override = default;

    vdtcl::CTTime& OwnStopwatch();  // call under mutex_

    std::mutex mutex_;
    std::map<std::thread::id, vdtcl::CTTime> stopwatches_;  // guarded by mutex_
};
