#include "platform/deferred_closer.h"

#include <unistd.h>

namespace tidemark {

void DeferredCloser::Close(int fd) {
    bool start_closer = false;
    if (executor_ != nullptr) {
        MutexLock lock(mutex_);
        if (waiting_.size() < kMostWaiting) {
            waiting_.push_back(fd);
            fd = -1;
            // Most hand-overs find a closer at work: only now and then is one started.
            start_closer =
                closers_ < kMostClosers && waiting_.size() > static_cast<std::size_t>(closers_);
            closers_ += start_closer ? 1 : 0;
        }
    }
    if (fd >= 0) {
        ::close(fd);
    } else if (start_closer) {
        executor_->Post([this] { CloseWaiting(); });
    }
}

void DeferredCloser::CloseWaiting() {
    MutexLock lock(mutex_);
    while (!waiting_.empty()) {
        const int fd = waiting_.back();
        waiting_.pop_back();
        lock.Unlock();
        ::close(fd);
        lock.Lock();
    }
    if (--closers_ == 0) {
        drained_.notify_all();
    }
}

void DeferredCloser::Drain() {
    MutexLock lock(mutex_);
    while (closers_ > 0 || !waiting_.empty()) {
        lock.Wait(drained_);
    }
}

}  // namespace tidemark
