// Test doubles for the per-page scheduler: a task that runs a given body, a
// factory that makes such tasks and records what each did and when, and a
// guard under which no new thread can be started.
#pragma once

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "VexmorApi/ImageProcessor/ImageProcessTaskFactory.h"
#include "VexmorApi/Utilities/Exception.h"

namespace fake_tasks {

// A task whose Main is the given body (see Task for the result rule).
class FakeTask : public Task {
public:
    using Body = std::function<int(FakeTask&)>;

    FakeTask(std::shared_ptr<Page> page, Body body) : page_(std::move(page)), body_(std::move(body)) {}
    ~FakeTask() override { WaitUntilFinished(); }

    Page& GetPage() { return *page_; }
    bool CancelRequested() const { return IsCancelRequested(); }
    // What a long step of the real tasks asks between its rows.
    CancelCheck Check() const { return GetCancelCheck(); }
    // Works for the given time in 1 ms steps; false when a cancel cut it short.
    bool Work(std::chrono::milliseconds duration)
    {
        auto const end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            if (CancelRequested()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !CancelRequested();
    }

protected:
    int Main() override { return body_ ? body_(*this) : (CancelRequested() ? 1 : 0); }

private:
    std::shared_ptr<Page> const page_;
    Body const body_;
};

enum class TaskKind { Decode, Enhance };

// One task the factory made, with the arguments it was made with.
struct TaskCall {
    TaskKind kind;
    uint16_t pageNo;
    DecodeParameter decodeParameter;          // decode tasks
    vscore::_IMAGEPROC_PARAM imageProcParam;  // enhancement tasks
    unsigned short resolution;                // enhancement tasks
};

// One moment in a fake task's life, in the order they happened.
struct TaskEvent {
    enum What { Started, Ended } what;
    TaskKind kind;
    uint16_t pageNo;
};

// Makes FakeTasks running the body of their kind (an empty body returns 0,
// or 1 when cancelled) and records every call and every start and end.
// Safe to call from several page threads at once, as the scheduler does.
class RecordingTaskFactory : public ImageProcessTaskFactory {
public:
    explicit RecordingTaskFactory(FakeTask::Body decode = {}, FakeTask::Body enhance = {})
        : decode_(std::move(decode)), enhance_(std::move(enhance))
    {
    }

    std::shared_ptr<Task> CreateDecodeTask(std::shared_ptr<Page> const& page,
                                           DecodeParameter const& decodeParameter) override
    {
        Record({TaskKind::Decode, page->GetPageNo(), decodeParameter, {}, 0});
        return std::make_shared<FakeTask>(page, Recorded(TaskKind::Decode, decode_));
    }
    std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const& page,
                                                 vscore::_IMAGEPROC_PARAM const& imageProcParam,
                                                 unsigned short resolution) override
    {
        Record({TaskKind::Enhance, page->GetPageNo(), {}, imageProcParam, resolution});
        return std::make_shared<FakeTask>(page, Recorded(TaskKind::Enhance, enhance_));
    }

    std::vector<TaskCall> Calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<TaskEvent> Events() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    size_t CallCount(TaskKind kind) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<size_t>(
            std::count_if(calls_.begin(), calls_.end(), [kind](TaskCall const& c) { return c.kind == kind; }));
    }
    // The most pages that were at once between the start of their decode
    // task and the end of their enhancement task (a page whose enhancement
    // never ended counts until the end).
    size_t MaxPagesAtOnce() const
    {
        std::set<uint16_t> inside;
        size_t most = 0;
        for (TaskEvent const& e : Events()) {
            if (e.kind == TaskKind::Decode && e.what == TaskEvent::Started) {
                inside.insert(e.pageNo);
            } else if (e.kind == TaskKind::Enhance && e.what == TaskEvent::Ended) {
                inside.erase(e.pageNo);
            }
            most = std::max(most, inside.size());
        }
        return most;
    }
    // The pages whose decode task started, in that order.
    std::vector<uint16_t> DecodeStartOrder() const
    {
        std::vector<uint16_t> order;
        for (TaskEvent const& e : Events()) {
            if (e.kind == TaskKind::Decode && e.what == TaskEvent::Started) {
                order.push_back(e.pageNo);
            }
        }
        return order;
    }

private:
    void Record(TaskCall call)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }
    void Event(TaskEvent::What what, TaskKind kind, uint16_t pageNo)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({what, kind, pageNo});
    }
    FakeTask::Body Recorded(TaskKind kind, FakeTask::Body const& body)
    {
        return [this, kind, body](FakeTask& task) {
            uint16_t const pageNo = task.GetPage().GetPageNo();
            Event(TaskEvent::Started, kind, pageNo);
            struct EndMark {
                RecordingTaskFactory* factory;
                TaskKind kind;
                uint16_t pageNo;
                ~EndMark() { factory->Event(TaskEvent::Ended, kind, pageNo); }
            } const end{this, kind, pageNo};
            return body ? body(task) : (task.CancelRequested() ? 1 : 0);
        };
    }

    FakeTask::Body const decode_;
    FakeTask::Body const enhance_;
    mutable std::mutex mutex_;
    std::vector<TaskCall> calls_;    // guarded by mutex_
    std::vector<TaskEvent> events_;  // guarded by mutex_
};

// While it lives, starting a thread fails as it does when the system has no
// room for another (the default stack cannot be mapped). Start no thread of
// your own under it.
class ThreadStartFailure {
public:
    ThreadStartFailure()
    {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t{1} << 44);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadStartFailure()
    {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }
    ThreadStartFailure(ThreadStartFailure const&) = delete;
    ThreadStartFailure& operator=(ThreadStartFailure const&) = delete;

private:
    pthread_attr_t saved_;
};

// A gate that fake task bodies wait at until the test opens it (or their
// task is cancelled).
class Gate {
public:
    void Open() { open_.store(true); }
    // True once open, false when the task was cancelled first.
    bool Pass(FakeTask& task) const
    {
        while (!open_.load()) {
            if (task.CancelRequested()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    std::atomic<bool> open_{false};
};

// The "[Type] message" of an exception and its nested causes, outermost first.
inline std::vector<std::string> CauseChain(Exception const& e)
{
    std::vector<std::string> chain;
    std::istringstream lines(e.GetDescription());
    std::string const mark = "Exception: ";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(mark, 0) == 0) {
            chain.insert(chain.begin(), line.substr(mark.size()));
        }
    }
    return chain;
}

}  // namespace fake_tasks
