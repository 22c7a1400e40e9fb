#pragma once

#include <condition_variable>
#include <vector>

#include "engine/executor.h"
#include "engine/thread_safety.h"

namespace tidemark {

/// Closes descriptors on the executor's threads. Closing the last reference to a file that has
/// just been replaced frees its blocks, which on some file systems (online discard, no
/// journal) takes far longer than the replacement itself; handing the close over keeps that
/// off the caller's thread. Freeing mostly waits for the device, so several closes wait at
/// once. Without an executor, descriptors are closed at once.
class DeferredCloser {
  public:
    explicit DeferredCloser(Executor* executor) : executor_(executor) {}
    /// Returns once everything handed over has been closed.
    ~DeferredCloser() { Drain(); }
    DeferredCloser(const DeferredCloser&) = delete;
    DeferredCloser& operator=(const DeferredCloser&) = delete;

    /// Takes ownership of `fd`. When too many are waiting already, closes it at once, so that
    /// the process never runs short of descriptors.
    void Close(int fd) TM_EXCLUDES(mutex_);
    /// Returns once everything handed over so far has been closed.
    void Drain() TM_EXCLUDES(mutex_);

  private:
    static constexpr std::size_t kMostWaiting = 64;
    static constexpr int kMostClosers = 8;

    /// Closes what is waiting until nothing is.
    void CloseWaiting() TM_EXCLUDES(mutex_);

    Executor* const executor_;
    Mutex mutex_;
    std::condition_variable drained_;
    std::vector<int> waiting_ TM_GUARDED_BY(mutex_);
    int closers_ TM_GUARDED_BY(mutex_) = 0;  // tasks closing what waits
};

}  // namespace tidemark
