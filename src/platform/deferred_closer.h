#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace tidemark {

/// Closes descriptors on threads of its own. Closing the last reference to a file that has
/// just been replaced frees its blocks, which on some file systems (online discard, no
/// journal) takes far longer than the replacement itself; handing the close over keeps that
/// off the caller's thread. Freeing mostly waits for the device, so several closers wait at
/// once. The destructor closes whatever is still queued.
class DeferredCloser {
  public:
    DeferredCloser() = default;
    ~DeferredCloser();
    DeferredCloser(const DeferredCloser&) = delete;
    DeferredCloser& operator=(const DeferredCloser&) = delete;

    /// Takes ownership of `fd`. When too many are waiting already, closes it at once, so that
    /// the process never runs short of descriptors.
    void Close(int fd);
    /// Returns once everything handed over so far has been closed.
    void Drain();

  private:
    static constexpr std::size_t kMostWaiting = 64;
    static constexpr int kThreads = 8;

    void Loop();

    std::mutex mutex_;
    /// One count per descriptor queued, and one per closer when stopping. A semaphore rather
    /// than a condition variable: handing over a descriptor must never make the caller wait,
    /// and signalling a condition variable that many threads wait on can.
    std::counting_semaphore<> queued_{0};
    std::condition_variable drained_;
    std::vector<int> waiting_;
    int closing_ = 0;  // taken from waiting_, not yet closed
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // started on first use
};

}  // namespace tidemark
