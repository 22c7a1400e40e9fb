#pragma once

// Locks the compiler can check: with Clang's -Wthread-safety, reading a member marked
// TM_GUARDED_BY(m) without holding m, or calling a function marked TM_REQUIRES(m) without it,
// is a compile error. Other compilers ignore the marks.

#include <condition_variable>
#include <mutex>
#include <thread>

#if defined(__clang__)
#define TM_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TM_THREAD_ANNOTATION(x)
#endif

#define TM_CAPABILITY(x) TM_THREAD_ANNOTATION(capability(x))
#define TM_SCOPED_CAPABILITY TM_THREAD_ANNOTATION(scoped_lockable)
#define TM_GUARDED_BY(x) TM_THREAD_ANNOTATION(guarded_by(x))
#define TM_REQUIRES(...) TM_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TM_EXCLUDES(...) TM_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define TM_ACQUIRE(...) TM_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define TM_RELEASE(...) TM_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace tidemark {

/// std::mutex, marked for the analysis. What one guards is held for a few steps at a time, so
/// a thread that finds it taken tries again a few times before it sleeps: falling asleep and
/// being woken cost far more than such a wait.
class TM_CAPABILITY("mutex") Mutex {
    friend class MutexLock;
    std::mutex mutex_;
};

/// Holds a Mutex for its scope; a condition variable may wait on it.
class TM_SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) TM_ACQUIRE(mutex) : lock_(mutex.mutex_, std::defer_lock) {
        Lock();
    }
    ~MutexLock() TM_RELEASE() = default;
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    /// Waits on `condition`, letting go of the mutex meanwhile. Callers test what they wait
    /// for in a loop around this, where the analysis sees that the mutex is held.
    void Wait(std::condition_variable& condition) { condition.wait(lock_); }
    /// Lets go of the mutex for a while, to work or call out without it.
    void Unlock() TM_RELEASE() { lock_.unlock(); }
    void Lock() TM_ACQUIRE() {
        for (int tries = 0; tries < 16; ++tries) {
            if (lock_.try_lock()) {
                return;
            }
            std::this_thread::yield();
        }
        lock_.lock();
    }

  private:
    std::unique_lock<std::mutex> lock_;
};

}  // namespace tidemark
