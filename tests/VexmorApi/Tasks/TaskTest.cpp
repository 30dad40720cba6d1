// Tasks and task queues: the life of a task on its own thread, results,
// cancellation, failures carried to the caller, numbering and lookups of a
// queue, and threads that cannot be started.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "FakeTasks.h"
#include "VexmorApi/Tasks/TaskQueue.h"
#include "VexmorApi/Utilities/Exception.h"

using fake_tasks::CauseChain;
using fake_tasks::FakeTask;
using fake_tasks::Gate;

namespace {

std::shared_ptr<FakeTask> GatedTask(Gate& gate, int result = 0)
{
    return std::make_shared<FakeTask>(std::make_shared<Page>(1),
                                      [&gate, result](FakeTask& t) { return gate.Pass(t) ? result : 1; });
}

// The placeholder Main of the base class, reachable from a test.
class PlaceholderTask : public Task {
public:
    ~PlaceholderTask() override { WaitUntilFinished(); }
};

TEST(Task, GoesFromReadyThroughExecutingToFinished)
{
    Gate gate;
    auto task = GatedTask(gate, 7);
    EXPECT_TRUE(task->IsReady());
    EXPECT_FALSE(task->IsExecuting());
    EXPECT_FALSE(task->IsFinished());
    task->Run();
    EXPECT_FALSE(task->IsReady());
    EXPECT_TRUE(task->IsExecuting());
    EXPECT_FALSE(task->IsFinished());
    gate.Open();
    EXPECT_EQ(task->GetResult(), 7);
    EXPECT_TRUE(task->IsFinished());
    EXPECT_FALSE(task->IsExecuting());
    EXPECT_FALSE(task->IsCancelled());
    EXPECT_EQ(task->GetResult(), 7);  // asked again after the join
}

TEST(Task, PlaceholderWorksFor300msUnlessCancelledBeforeItStarts)
{
    PlaceholderTask cancelled;
    cancelled.Cancel();
    cancelled.Run();
    EXPECT_EQ(cancelled.GetResult(), 1);
    EXPECT_TRUE(cancelled.IsCancelled());

    PlaceholderTask working;
    auto const start = std::chrono::steady_clock::now();
    working.Run();
    EXPECT_EQ(working.GetResult(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_FALSE(working.IsCancelled());

    PlaceholderTask cut;
    cut.Run();
    cut.Cancel();  // during the work
    EXPECT_EQ(cut.GetResult(), 1);
}

TEST(Task, FailureReachesTheCallerNestedInTaskIsFailed)
{
    auto task = std::make_shared<FakeTask>(std::make_shared<Page>(1), [](FakeTask&) -> int {
        throw TraceException(Exception::InvalidArgument, "decoder refused", "d", "f", 1);
    });
    task->Run();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            task->GetResult();
            FAIL() << "no exception";
        } catch (Exception const& e) {
            EXPECT_EQ(e.GetType(), Exception::Other);
            EXPECT_EQ(e.GetFileName(), "VexmorApi/Tasks/Task");
            EXPECT_EQ(CauseChain(e),
                      (std::vector<std::string>{"[Other] Task is failed.", "[InvalidArgument] decoder refused"}));
            EXPECT_EQ(e.GetVSRSLT(), 0x70403004u);  // the cause's code
        }
    }
    EXPECT_TRUE(task->IsFinished());
    EXPECT_FALSE(task->IsCancelled());
}

TEST(Task, RefusesResultWithoutThreadAndASecondRun)
{
    PlaceholderTask never;
    try {
        never.GetResult();
        FAIL() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidSequence);
        EXPECT_EQ(e.GetMessage(), "Task has no thread.");
    }
    never.WaitUntilFinished();  // returns at once

    PlaceholderTask twice;
    twice.Cancel();
    twice.Run();
    EXPECT_THROW(twice.Run(), Exception);
    EXPECT_EQ(twice.GetResult(), 1);
}

TEST(Task, ManyWaitersJoinOneTaskOnce)
{
    Gate gate;
    auto task = GatedTask(gate, 3);
    task->Run();
    std::vector<std::thread> waiters;
    std::vector<int> results(6, -1);
    for (size_t i = 0; i < results.size(); ++i) {
        waiters.emplace_back([&, i] {
            if (i % 2 == 0) {
                task->WaitUntilFinished();
            }
            results[i] = task->GetResult();
        });
    }
    gate.Open();
    for (std::thread& w : waiters) {
        w.join();
    }
    EXPECT_EQ(results, std::vector<int>(6, 3));
}

TEST(Task, UnstartableThreadIsReportedAndLeavesTheTaskReady)
{
    PlaceholderTask task;
    {
        fake_tasks::ThreadStartFailure noThreads;
        try {
            task.Run();
            FAIL() << "no exception";
        } catch (Exception const& e) {
            EXPECT_EQ(e.GetType(), Exception::Other);
            EXPECT_EQ(e.GetMessage(), "Failed to start the task's thread.");
        }
    }
    EXPECT_TRUE(task.IsReady());
    EXPECT_THROW(task.GetResult(), Exception);
    task.Cancel();
    task.Run();  // a later start works
    EXPECT_EQ(task.GetResult(), 1);
}

TEST(TaskQueue, NumbersFromOneAndRefusesNumbersWithoutTask)
{
    TaskQueue queue(2);
    EXPECT_FALSE(queue.HasTask(0));
    EXPECT_FALSE(queue.HasTask(1));
    EXPECT_TRUE(queue.IsAllTasksAreFinished());
    Gate gate;
    for (uint16_t n = 1; n <= 4; ++n) {
        EXPECT_EQ(queue.AddTask(GatedTask(gate, n)), n);
    }
    EXPECT_EQ(queue.GetTaskCount(), 4u);
    EXPECT_FALSE(queue.HasTask(0));
    EXPECT_TRUE(queue.HasTask(4));
    EXPECT_FALSE(queue.HasTask(5));
    EXPECT_EQ(queue.GetTask(0), nullptr);
    EXPECT_EQ(queue.GetTask(5), nullptr);
    EXPECT_EQ(queue.GetTasks().size(), 4u);
    EXPECT_FALSE(queue.IsFinishedTask(1));
    EXPECT_FALSE(queue.IsAllTasksAreFinished());
    try {
        queue.GetResult(5);
        FAIL() << "no exception";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidSequence);
        EXPECT_EQ(e.GetMessage(), "Task 5 is not existed.");
    }
    EXPECT_THROW(queue.GetResult(0), Exception);
    queue.WaitUntilTaskIsFinished(9);  // nothing to wait for
    gate.Open();
    queue.WaitUntilTaskIsFinished(2);
    EXPECT_TRUE(queue.IsFinishedTask(2));
    EXPECT_EQ(queue.GetResult(2), 2);
    queue.WaitUntilAllTasksAreFinished();
    EXPECT_TRUE(queue.IsAllTasksAreFinished());
    EXPECT_FALSE(queue.IsFinishedTask(5));
    EXPECT_EQ(queue.GetResult(4), 4);
    EXPECT_EQ(queue.GetTask(3), queue.GetTasks()[2]);
}

TEST(TaskQueue, CancelReachesEveryRunningTask)
{
    TaskQueue queue(1);
    Gate never;
    for (int n = 0; n < 3; ++n) {
        queue.AddTask(GatedTask(never));
    }
    queue.CancelAllTasks();
    for (uint16_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(queue.GetResult(n), 1);
        EXPECT_TRUE(queue.GetTask(n)->IsCancelled());
    }
}

TEST(TaskQueue, ConcurrentAddsGetDistinctNumbers)
{
    TaskQueue queue(4);
    std::vector<std::vector<uint16_t>> numbers(4);
    std::vector<std::thread> adders;
    for (size_t a = 0; a < numbers.size(); ++a) {
        adders.emplace_back([&, a] {
            for (int i = 0; i < 25; ++i) {
                auto task = std::make_shared<FakeTask>(std::make_shared<Page>(1), FakeTask::Body());
                uint16_t const n = queue.AddTask(task);
                numbers[a].push_back(n);
                EXPECT_EQ(queue.GetTask(n), task);
            }
        });
    }
    for (std::thread& t : adders) {
        t.join();
    }
    std::vector<bool> seen(101, false);
    for (auto const& list : numbers) {
        for (uint16_t n : list) {
            ASSERT_TRUE(n >= 1 && n <= 100);
            EXPECT_FALSE(seen[n]) << n;
            seen[n] = true;
        }
    }
    queue.WaitUntilAllTasksAreFinished();
    EXPECT_TRUE(queue.IsAllTasksAreFinished());
}

TEST(TaskQueue, TaskWhoseThreadCannotStartIsNotKept)
{
    TaskQueue queue(1);
    auto task = std::make_shared<PlaceholderTask>();
    {
        fake_tasks::ThreadStartFailure noThreads;
        EXPECT_THROW(queue.AddTask(task), Exception);
    }
    EXPECT_EQ(queue.GetTaskCount(), 0u);
    EXPECT_FALSE(queue.HasTask(1));
    EXPECT_THROW(queue.AddTask(nullptr), Exception);
    task->Cancel();
    EXPECT_EQ(queue.AddTask(task), 1u);
    EXPECT_EQ(queue.GetResult(1), 1);
}

}  // namespace
