// A mutex, its scoped lock and a condition variable that clang's
// -Wthread-safety can check: each value the reader threads share is marked
// GUARDED_BY its lock, and a function that needs the lock says so. Other
// compilers see plain std::mutex and std::condition_variable.
#ifndef EXIFCHECK_READ_MUTEX_H_
#define EXIFCHECK_READ_MUTEX_H_

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define EXIFCHECK_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define EXIFCHECK_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) EXIFCHECK_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY EXIFCHECK_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) EXIFCHECK_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) EXIFCHECK_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRE(...) EXIFCHECK_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) EXIFCHECK_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define REQUIRES(...) EXIFCHECK_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) EXIFCHECK_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

namespace reading {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class CondVar;
  std::mutex mutex_;
};

/// Holds `mutex` for the life of the scope.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() RELEASE() { mutex_->Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex* const mutex_;
};

/// Waits on one mutex, which the waiter holds.
class CondVar {
 public:
  explicit CondVar(Mutex* mutex) : mutex_(mutex) {}
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;

  /// Releases the mutex while it waits and holds it again on return; a
  /// wake-up may be spurious, so callers wait in a loop over their test.
  void Wait() {
    std::unique_lock<std::mutex> held(mutex_->mutex_, std::adopt_lock);
    changed_.wait(held);
    held.release();
  }
  void Signal() { changed_.notify_one(); }
  void SignalAll() { changed_.notify_all(); }

 private:
  Mutex* const mutex_;
  std::condition_variable changed_;
};

}  // namespace reading

#endif  // EXIFCHECK_READ_MUTEX_H_
