// A thread wrapper for the engine's long-running work: one standard thread
// that runs the derived class's ThreadProc once, with a stop flag the work
// may look at.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace vscore {

// Start, IsStarted, End and ForceEnd are called by the owner's thread (they
// share one mutex, so also from several); ThreadProc runs on the new thread.
// A derived class whose ThreadProc uses its own members must End the thread
// in its own destructor: the base destructor ends it too, but by then the
// derived part is gone.
class CThread_Base {
public:
    CThread_Base() = default;
    CThread_Base(CThread_Base const&) = delete;
    CThread_Base& operator=(CThread_Base const&) = delete;

    // The thread handle is joinable: true from Start until it is joined or
    // detached, also after ThreadProc has returned.
    virtual bool IsStarted() const;
    // Sets the stop flag and joins the thread; whether there was one to join.
    // Blocks until ThreadProc has returned.
    virtual bool End();
    // Sets the stop flag and lets the thread run on, detached.
    virtual void ForceEnd();
    virtual void ThreadProc() = 0;
    // Ends (joins) the thread.
    virtual ~CThread_Base();

    // Clears the stop flag and starts the thread; true when it runs. A
    // thread already started is not replaced (false).
    bool Start();

protected:
    bool IsStopRequested() const { return stop_.load(); }

private:
    static void ThreadProcEntry(CThread_Base* self);

    mutable std::mutex mutex_;  // guards thread_ (never held by the thread itself)
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace vscore
