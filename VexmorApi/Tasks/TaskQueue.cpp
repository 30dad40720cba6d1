// Adding, finding, waiting for and cancelling the tasks of a queue.
#include "VexmorApi/Tasks/TaskQueue.h"

#include <limits>
#include <string>
#include <utility>

#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Tasks/TaskQueue";

}  // namespace

TaskQueue::~TaskQueue() { WaitUntilAllTasksAreFinished(); }

uint16_t TaskQueue::AddTask(std::shared_ptr<Task> task)
{
    if (!task) {
        VEXMOR_THROW(kOrigin, "AddTask", Exception::InvalidArgument, "task is nullptr.");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // Numbers are 16-bit: one more task would be numbered 0.
    if (tasks_.size() >= std::numeric_limits<uint16_t>::max()) {
        VEXMOR_THROW(kOrigin, "AddTask", Exception::InvalidSequence, "Task queue is full.");
    }
    tasks_.push_back(task);
    try {
        task->Run();
    } catch (...) {
        tasks_.pop_back();
        throw;
    }
    return static_cast<uint16_t>(tasks_.size());
}

bool TaskQueue::HasTask(uint16_t n) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return n != 0 && n <= tasks_.size();
}

uint16_t TaskQueue::GetTaskCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint16_t>(tasks_.size());
}

std::shared_ptr<Task> TaskQueue::GetTask(uint16_t n) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (n == 0 || n > tasks_.size()) {
        return nullptr;
    }
    return tasks_[n - 1u];
}

std::deque<std::shared_ptr<Task>> TaskQueue::GetTasks() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_;
}

void TaskQueue::WaitUntilTaskIsFinished(uint16_t n)
{
    if (std::shared_ptr<Task> const task = GetTask(n)) {
        task->WaitUntilFinished();
    }
}

void TaskQueue::WaitUntilAllTasksAreFinished()
{
    for (std::shared_ptr<Task> const& task : GetTasks()) {
        task->WaitUntilFinished();
    }
}

void TaskQueue::CancelAllTasks()
{
    for (std::shared_ptr<Task> const& task : GetTasks()) {
        task->Cancel();
    }
}

std::deque<std::shared_ptr<Task>> TaskQueue::TakeAllTasks()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(tasks_, {});
}

int TaskQueue::GetResult(uint16_t n)
{
    std::shared_ptr<Task> const task = GetTask(n);
    if (!task) {
        VEXMOR_THROW(kOrigin, "GetResult", Exception::InvalidSequence,
                     "Task " + std::to_string(n) + " is not existed.");
    }
    return task->GetResult();
}

bool TaskQueue::IsFinishedTask(uint16_t n) const
{
    std::shared_ptr<Task> const task = GetTask(n);
    return task && task->IsFinished();
}

bool TaskQueue::IsAllTasksAreFinished() const
{
    for (std::shared_ptr<Task> const& task : GetTasks()) {
        if (!task->IsFinished()) {
            return false;
        }
    }
    return true;
}
