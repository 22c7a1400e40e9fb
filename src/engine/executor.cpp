#include "engine/executor.h"

#include <algorithm>

namespace tidemark {

int Executor::DefaultWorkers() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 8);
}

Executor::~Executor() {
    std::vector<std::thread> threads;
    {
        MutexLock lock(mutex_);
        stopping_ = true;
        threads = std::move(threads_);
    }
    ready_.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void Executor::Post(std::function<void()> task) {
    {
        MutexLock lock(mutex_);
        tasks_.push_back(std::move(task));
        // A task may run for the whole pass, so every queued one needs a thread of its own.
        if (std::ssize(tasks_) > idle_ && std::ssize(threads_) < max_threads_ && !stopping_) {
            threads_.emplace_back([this] { Loop(); });
        }
    }
    ready_.notify_one();
}

void Executor::Loop() {
    if (thread_start_ != nullptr) {
        thread_start_();
    }
    while (true) {
        std::function<void()> task;
        {
            MutexLock lock(mutex_);
            while (tasks_.empty() && !stopping_) {
                ++idle_;
                lock.Wait(ready_);
                --idle_;
            }
            if (tasks_.empty()) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void TaskGroup::Post(std::function<void()> task) {
    {
        MutexLock lock(mutex_);
        ++running_;
    }
    executor_.Post([this, task = std::move(task)] {
        task();
        MutexLock lock(mutex_);
        if (--running_ == 0) {
            done_.notify_all();
        }
    });
}

void TaskGroup::Wait() {
    MutexLock lock(mutex_);
    while (running_ > 0) {
        lock.Wait(done_);
    }
}

}  // namespace tidemark
