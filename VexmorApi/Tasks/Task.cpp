// The task thread and the waiting and result queries of a task.
#include "VexmorApi/Tasks/Task.h"

#include <chrono>
#include <system_error>

#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Tasks/Task";
constexpr auto kPlaceholderWork = std::chrono::milliseconds(300);

}  // namespace

Task::~Task() { WaitUntilFinished(); }

void Task::Run()
{
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (thread_) {
        VEXMOR_THROW(kOrigin, "Run", Exception::InvalidSequence, "Task is already started.");
    }
    try {
        thread_ = std::make_unique<std::thread>(&Task::Execute, this);
    } catch (std::system_error const&) {
        VEXMOR_THROW_NESTED(kOrigin, "Run", Exception::Other, "Failed to start the task's thread.");
    }
    started_.store(true);
}

void Task::Execute()
{
    try {
        result_.store(Main());
    } catch (Cancelled const&) {
        // A step given up on this task's request: the page is not wanted,
        // nothing failed.
        result_.store(1);
    } catch (...) {
        exception_ = std::current_exception();
        result_.store(0);
    }
    finished_.store(true);
}

void Task::WaitUntilFinished()
{
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (thread_ && thread_->joinable()) {
        thread_->join();
    }
}

int Task::GetResult()
{
    {
        std::lock_guard<std::mutex> lock(joinMutex_);
        if (!thread_) {
            VEXMOR_THROW(kOrigin, "GetResult", Exception::InvalidSequence, "Task has no thread.");
        }
        if (thread_->joinable()) {
            thread_->join();
        }
    }
    if (exception_) {
        throw TraceException(Exception::Other, "Task is failed.", kOrigin, "GetResult", static_cast<unsigned>(__LINE__),
                             exception_);
    }
    return result_.load();
}

int Task::Main()
{
    if (IsCancelRequested()) {
        return 1;
    }
    std::this_thread::sleep_for(kPlaceholderWork);
    return IsCancelRequested() ? 1 : 0;
}
