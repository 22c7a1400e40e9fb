#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "engine/thread_safety.h"

namespace tidemark {

/// The one pool of threads for what goes on beside a run's walk: the count's helpers, the
/// look-ahead and the closing of replaced files. A task may run for the whole of a pass (the
/// look-ahead's loops) or wait on the device (a close); the pool is sized for both.
class Executor {
  public:
    /// Threads that prepare files ahead of the walk: the cores, at least 2, at most 8.
    static int DefaultWorkers();
    /// The pool for those workers, the look-ahead's scout and up to eight closers, which mostly
    /// wait for the device.
    static int DefaultThreads() { return DefaultWorkers() + 1 + 8; }

    /// At most `threads` threads, each started when a task finds no idle one, so a short pass
    /// starts only the few it uses. `thread_start`, when not null, runs first on each.
    explicit Executor(int threads = DefaultThreads(), void (*thread_start)() = nullptr)
        : max_threads_(threads), thread_start_(thread_start) {}
    /// Runs what is queued, then ends the threads.
    ~Executor();
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    void Post(std::function<void()> task) TM_EXCLUDES(mutex_);

  private:
    void Loop() TM_EXCLUDES(mutex_);

    const int max_threads_;
    void (*const thread_start_)();
    Mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_ TM_GUARDED_BY(mutex_);
    int idle_ TM_GUARDED_BY(mutex_) = 0;
    bool stopping_ TM_GUARDED_BY(mutex_) = false;
    std::vector<std::thread> threads_ TM_GUARDED_BY(mutex_);
};

/// Tasks posted together, waited for together: Wait() returns once every one has run.
class TaskGroup {
  public:
    explicit TaskGroup(Executor& executor) : executor_(executor) {}
    ~TaskGroup() { Wait(); }
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    void Post(std::function<void()> task) TM_EXCLUDES(mutex_);
    void Wait() TM_EXCLUDES(mutex_);

  private:
    Executor& executor_;
    Mutex mutex_;
    std::condition_variable done_;
    int running_ TM_GUARDED_BY(mutex_) = 0;
};

}  // namespace tidemark
