#include "engine/executor.h"

#include <algorithm>

namespace tidemark {

int Executor::DefaultWorkers() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 8);
}

Executor::Executor(int threads, void (*thread_start)()) {
    for (int i = 0; i < threads; ++i) {
        threads_.emplace_back([this, thread_start] {
            if (thread_start != nullptr) {
                thread_start();
            }
            Loop();
        });
    }
}

Executor::~Executor() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void Executor::Post(std::function<void()> task) {
    {
        MutexLock lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
}

void Executor::Loop() {
    while (true) {
        std::function<void()> task;
        {
            MutexLock lock(mutex_);
            while (tasks_.empty() && !stopping_) {
                lock.Wait(ready_);
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
