// The engine's thread wrapper.
#include "VexmorApi/Temp/Thread_Base.h"

#include <system_error>

namespace vscore {

bool CThread_Base::IsStarted() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return thread_.joinable();
}

bool CThread_Base::End()
{
    stop_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) {
        return false;
    }
    thread_.join();
    return true;
}

void CThread_Base::ForceEnd()
{
    stop_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable()) {
        thread_.detach();
    }
}

CThread_Base::~CThread_Base() { CThread_Base::End(); }

bool CThread_Base::Start()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable()) {
        return false;
    }
    stop_.store(false);
    try {
        thread_ = std::thread(&CThread_Base::ThreadProcEntry, this);
    } catch (std::system_error const&) {
        return false;
    }
    return thread_.joinable();
}

void CThread_Base::ThreadProcEntry(CThread_Base* self)
{
    if (self != nullptr) {
        self->ThreadProc();
    }
}

}  // namespace vscore
