// How a long page step learns that its page is no longer wanted: the task
// running it hands it a CancelCheck over the task's cancel request, the step
// asks between rows and ends with Cancelled once the request is there.
#pragma once

#include <atomic>

#include "VexmorApi/Utilities/Exception.h"

// A step given up on request (type RequestToCancel). A task reports it as
// cancelled, never as a failure of its page (see Task).
class Cancelled : public TraceException {
public:
    using TraceException::TraceException;
};

// Copied by value into the step; any thread may ask it.
class CancelCheck {
public:
    // Never asks to stop: a step run outside a task.
    CancelCheck() = default;
    // The request must outlive the check (a task's own flag does).
    explicit CancelCheck(std::atomic<bool> const& request) : request_(&request) {}

    bool IsRequested() const { return request_ != nullptr && request_->load(std::memory_order_relaxed); }
    // Throws Cancelled "Cancelled on request." from the step `function` of
    // the source `origin` once the request is there.
    void ThrowIfRequested(char const* origin, char const* function) const
    {
        if (IsRequested()) {
            throw Cancelled(Exception::RequestToCancel, "Cancelled on request.", origin, function,
                            static_cast<unsigned>(__LINE__));
        }
    }

private:
    std::atomic<bool> const* request_ = nullptr;
};
