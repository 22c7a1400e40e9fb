#include "engine/executor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

namespace tidemark {
namespace {

std::atomic<int> threads_started{0};
void CountThread() {
    ++threads_started;
}

/// Posts `tasks` tasks one after another, each once the one before is running; like the
/// look-ahead's loops, each runs until all of them are running. Answers how many saw that.
int MeetingTasks(Executor& executor, int tasks) {
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int met = 0;
    TaskGroup group(executor);
    for (int i = 0; i < tasks; ++i) {
        group.Post([&] {
            std::unique_lock lock(mutex);
            ++started;
            changed.notify_all();
            if (changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == tasks; }))
                ++met;
        });
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == i + 1; });
    }
    group.Wait();
    return met;
}

TEST(Executor, ThreadsStartWhenTasksFindNoneIdleAndEveryQueuedTaskRunsBeforeTheEnd) {
    threads_started = 0;
    std::atomic<int> quick_tasks_run{0};
    {
        Executor executor(8, CountThread);
        EXPECT_EQ(MeetingTasks(executor, 4), 4);
        EXPECT_EQ(threads_started, 4);
        EXPECT_EQ(MeetingTasks(executor, 8), 8);  // the four idle threads and four more
        EXPECT_EQ(threads_started, 8);
        // Beyond the bound, tasks wait for a thread to come free.
        std::promise<void> gate;
        const std::shared_future<void> open = gate.get_future().share();
        for (int i = 0; i < 12; ++i)
            executor.Post([open, &quick_tasks_run] {
                open.wait();
                ++quick_tasks_run;
            });
        gate.set_value();
    }
    EXPECT_EQ(quick_tasks_run, 12);
    EXPECT_EQ(threads_started, 8);
}

}  // namespace
}  // namespace tidemark
