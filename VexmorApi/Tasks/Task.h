// One unit of page work on a thread of its own, reporting an integer result
// or the exception that ended it. Results of every Main: 0 done (also for a
// blank page), 1 cancelled; a Main ended by Cancelled (a step that saw the
// cancel request through GetCancelCheck) counts as cancelled too.
#pragma once

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "VexmorApi/Utilities/CancelCheck.h"

// Ready (no thread), then executing (its thread runs Main), then finished.
// Run is called once, by the thread that owns the task (a TaskQueue under its
// mutex); every other operation may be called from any thread. A derived
// class must call WaitUntilFinished() in its own destructor, so that Main
// never runs on an object that is being destroyed.
class Task {
public:
    Task() = default;
    // Waits for the thread first: a task is never destroyed while it runs.
    virtual ~Task();
    Task(Task const&) = delete;
    Task& operator=(Task const&) = delete;

    // Starts the thread that runs Main. Throws Other "Failed to start the
    // task's thread." (the system error nested) when no thread can be made,
    // InvalidSequence "Task is already started." on a second call.
    void Run();
    // Joins the thread when there is one that is still joinable; returns at
    // once otherwise. Joins are serialised: of two waiters one joins, the
    // other returns after it.
    void WaitUntilFinished();
    // A request only: Main looks at it between its steps.
    void Cancel() { cancel_.store(true); }
    // Waits until finished, then returns the result. Throws Other "Task is
    // failed." with the exception that ended Main nested, InvalidSequence
    // "Task has no thread." for a task that was never started.
    int GetResult();

    bool IsReady() const { return !started_.load(); }
    bool IsExecuting() const { return started_.load() && !finished_.load(); }
    bool IsFinished() const { return started_.load() && finished_.load(); }
    // The result is 1.
    bool IsCancelled() const { return result_.load() == 1; }

protected:
    // The work, on the task's thread. This placeholder returns 1 at once when
    // cancelled, else sleeps 300 ms and returns 1 if cancelled by then, else 0.
    virtual int Main();
    // Whether Cancel was called.
    bool IsCancelRequested() const { return cancel_.load(); }
    // For the long steps of Main: they ask it between rows and end with
    // Cancelled once Cancel was called. Valid while the task lives.
    CancelCheck GetCancelCheck() const { return CancelCheck(cancel_); }

private:
    // The task's thread: Main, its result or exception, then finished.
    void Execute();

    std::atomic<int> result_{0};
    // Written by the task's thread before finished_ is set; read only after
    // the thread has been joined.
    std::exception_ptr exception_;
    std::atomic<bool> cancel_{false};
    std::unique_ptr<std::thread> thread_;  // guarded by joinMutex_
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};  // thread_ has been made
    std::mutex joinMutex_;              // serialises Run and the joins
};
