// The tasks of one kind for a scan: each starts the moment it is added and
// stays, with the page and parameters it refers to, for the queue's life or
// until the queue hands them all over (TakeAllTasks).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "VexmorApi/Tasks/Task.h"

// Task numbers are the 1-based positions in the order added. Any thread may
// call every operation: lookups and walks take the queue mutex, waiting on a
// task happens after the lookup, outside it.
class TaskQueue {
public:
    // The count is kept and used for nothing (the scheduler passes its pages
    // in flight).
    explicit TaskQueue(uint16_t count) : count_(count) {}
    // Waits for every task.
    virtual ~TaskQueue();
    TaskQueue(TaskQueue const&) = delete;
    TaskQueue& operator=(TaskQueue const&) = delete;

    // Appends the task, starts it and returns its number. Throws what Run
    // throws (the task is then not kept), InvalidArgument for an empty task
    // and InvalidSequence "Task queue is full." beyond 65535 tasks.
    uint16_t AddTask(std::shared_ptr<Task> task);
    // n is not 0 and not above the number of tasks.
    bool HasTask(uint16_t n) const;
    uint16_t GetTaskCount() const;
    // The task, or an empty pointer for a number without one.
    std::shared_ptr<Task> GetTask(uint16_t n) const;
    // A copy of the list.
    std::deque<std::shared_ptr<Task>> GetTasks() const;

    // Nothing for a number without a task.
    void WaitUntilTaskIsFinished(uint16_t n);
    // Every task in order.
    void WaitUntilAllTasksAreFinished();
    // Cancel on every task in order.
    void CancelAllTasks();
    // Empties the queue and hands its tasks to the caller, whose last
    // reference lets go of what they hold (a page with its temporary file).
    // Numbers start again from 1: only for a queue none of whose numbers is
    // still asked about.
    std::deque<std::shared_ptr<Task>> TakeAllTasks();
    // The task's result (see Task::GetResult). Throws InvalidSequence
    // "Task " + n + " is not existed." for a number without a task.
    int GetResult(uint16_t n);
    // The task exists and has finished.
    bool IsFinishedTask(uint16_t n) const;
    // Every task has finished (true for an empty queue).
    bool IsAllTasksAreFinished() const;

private:
    std::deque<std::shared_ptr<Task>> tasks_;  // guarded by mutex_, shrinks only in TakeAllTasks
    mutable std::mutex mutex_;
    [[maybe_unused]] uint16_t const count_;
};
