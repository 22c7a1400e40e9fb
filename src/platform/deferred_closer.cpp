#include "platform/deferred_closer.h"

#include <unistd.h>

#include "platform/background_thread.h"

namespace tidemark {

DeferredCloser::~DeferredCloser() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.release(static_cast<std::ptrdiff_t>(threads_.size()));
    for (std::thread& thread : threads_) {
        thread.join();
    }
    for (const int fd : waiting_) {
        ::close(fd);
    }
}

void DeferredCloser::Close(int fd) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.size() < kMostWaiting && !stopping_) {
            waiting_.push_back(fd);
            while (threads_.size() < static_cast<std::size_t>(kThreads)) {
                threads_.emplace_back([this] { Loop(); });
            }
            fd = -1;
        }
    }
    if (fd >= 0) {
        ::close(fd);
    } else {
        queued_.release();
    }
}

void DeferredCloser::Drain() {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [&] { return waiting_.empty() && closing_ == 0; });
}

void DeferredCloser::Loop() {
    MarkThreadAsBackground();
    while (true) {
        queued_.acquire();
        std::unique_lock lock(mutex_);
        if (waiting_.empty()) {
            return;  // stopping, and nothing left
        }
        const int fd = waiting_.back();
        waiting_.pop_back();
        ++closing_;
        lock.unlock();
        ::close(fd);
        lock.lock();
        if (--closing_ == 0 && waiting_.empty()) {
            drained_.notify_all();
        }
    }
}

}  // namespace tidemark
