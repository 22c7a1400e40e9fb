#include "engine/executor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tidemark {
namespace {

std::atomic<int> threads_started{0};
void CountThread() {
    ++threads_started;
}

TEST(Executor, TasksThatWaitForEachOtherEachGetAThreadAndEveryQueuedTaskRunsBeforeTheEnd) {
    constexpr int kThreads = 4;
    threads_started = 0;
    std::atomic<int> quick_tasks_run{0};
    std::mutex mutex;
    std::condition_variable all_started;
    int started = 0;
    int met = 0;
    {
        Executor executor(kThreads, CountThread);
        // Like the look-ahead's loops, each of these runs until all of them are running.
        for (int i = 0; i < kThreads; ++i) {
            executor.Post([&] {
                std::unique_lock lock(mutex);
                ++started;
                all_started.notify_all();
                if (all_started.wait_for(lock, std::chrono::seconds(5),
                                         [&] { return started == kThreads; }))
                    ++met;
            });
        }
        {
            std::unique_lock lock(mutex);
            all_started.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return started == kThreads; });
        }
        for (int i = 0; i < 3 * kThreads; ++i)
            executor.Post([&] { ++quick_tasks_run; });
    }
    EXPECT_EQ(met, kThreads);
    EXPECT_EQ(quick_tasks_run, 3 * kThreads);
    EXPECT_EQ(threads_started, kThreads);
}

}  // namespace
}  // namespace tidemark
