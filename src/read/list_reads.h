// The reads of one file list in flight: reader threads, each taking the
// next file of the list within the window, doing the caller's work on it
// and handing back what the work made of it, which the caller takes in
// list order. Blocking calls on threads rather than asynchronous I/O:
// Windows cannot open a file asynchronously, and on storage that makes
// every request wait it is the opens that must overlap. The same code runs
// on both systems.
//
// The threads start only once a read has had to wait for the storage.
// While the system's cache serves every read, the caller's thread reads
// each file at its turn: on two cores, handing every frame from thread to
// thread cost a warm run more than half again its time.
//
// The hand-off is a return value: a thread writes only the answer of the
// file it read, into the slot that file owns, under the lock; the caller
// moves it out under the same lock. Nothing else is shared but the
// indices, the head size and the stop flag, each under that one lock.
#ifndef EXIFCHECK_READ_LIST_READS_H_
#define EXIFCHECK_READ_LIST_READS_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "read/file_parts.h"
#include "read/mutex.h"

namespace reading {

/// How the read of one file of a list went, and what the work made of it.
template <typename T>
struct Listed {
  platform::FileRead result = platform::FileRead::kRead;
  std::string why;
  T value{};
};

/// When the reads in flight start: once a read has had to wait for the
/// storage, or with the first file (for tests, whose files are always in
/// the cache).
enum class ReadAhead { kOnceAReadWaits, kAtOnce };

/// The work on file `index`: read it as `plan` says it begins, and make
/// something of it. Runs on whichever thread reads the file. `waited` is
/// not null only while the caller's thread reads with no threads started:
/// the work sets it when its first read was not served from the cache.
template <typename T>
using ListedWork = std::function<Listed<T>(std::size_t index, const ReadPlan& plan, bool* waited)>;

/// How far answers may pile up ahead of the caller, in windows: a file that
/// takes long (a frame without EXIF data is read to its end) then holds up
/// only the caller, while the readers go on. An answer holds no file and
/// no bytes of it, so the bounds stay those of the window.
constexpr std::size_t kRunAhead = 64;

template <typename T>
class ListReads {
 public:
  /// Reads the `count` files of a list, `window` at a time on threads of
  /// their own once a read has waited (never with a window of 0, or where
  /// no thread can be started), each file begun as `plan` says.
  ListReads(std::size_t count, std::size_t window, const ReadPlan& plan, ListedWork<T> work,
            ReadAhead start = ReadAhead::kOnceAReadWaits)
      : count_(count), work_(std::move(work)), wanted_(window), plan_(plan) {
    if (start == ReadAhead::kAtOnce && count_ > 0) StartReaders(0);
  }
  ListReads(const ListReads&) = delete;
  ListReads& operator=(const ListReads&) = delete;
  /// Waits for the reads in flight: a read cannot be called back.
  ~ListReads() { Stop(); }

  /// Waits until file `index` is read and returns its answer; the window
  /// moves on past it. Files are awaited once each, in list order. What
  /// the work threw on a reader thread (std::bad_alloc) is thrown here.
  /// Once the last file is awaited, the threads end.
  Listed<T> Await(std::size_t index) EXCLUDES(lock_) {
    // Started here, not as the read that waited returns: the caller learns
    // from that file how the next ones begin (SetPlan) before any reader
    // takes one.
    if (start_pending_) {
      start_pending_ = false;
      StartReaders(index);
    }
    if (window_ == 0) return AwaitOnThisThread(index);
    Slot answer;
    {
      MutexLock held(&lock_);
      awaited_ = index;
      const std::size_t limit = index + slots_.size();
      if (limit > limit_) {
        // In list order the limit moves on by one file: one reader is
        // enough to wake, and waking them all costs more than their reads.
        const bool one_more = limit == limit_ + 1;
        limit_ = limit;
        if (one_more) {
          room_.Signal();
        } else {
          room_.SignalAll();
        }
      }
      Slot& slot = slots_[index % slots_.size()];
      caller_waits_ = true;
      while (!slot.done) file_done_.Wait();
      caller_waits_ = false;
      answer = std::move(slot);
      slot = Slot();
    }
    if (index + 1 >= count_) Stop();
    if (answer.failure) std::rethrow_exception(answer.failure);
    return std::move(answer.listed);
  }

  /// Reads that begin from now on begin as `plan` says.
  void SetPlan(const ReadPlan& plan) EXCLUDES(lock_) {
    MutexLock held(&lock_);
    plan_ = plan;
  }

  ReadPlan plan() EXCLUDES(lock_) {
    MutexLock held(&lock_);
    return plan_;
  }

 private:
  // One file's answer, from the thread that read it to the caller.
  struct Slot {
    bool done = false;
    Listed<T> listed;
    std::exception_ptr failure;  // what the work threw
  };

  Listed<T> AwaitOnThisThread(std::size_t index) {
    bool waited = false;
    Listed<T> listed = work_(index, plan(), wanted_ > 0 ? &waited : nullptr);
    start_pending_ = waited && index + 1 < count_;
    return listed;
  }

  // Starts the readers on the files from `first` on, the caller's next.
  void StartReaders(std::size_t first) EXCLUDES(lock_) {
    const std::size_t left = count_ - first;
    const std::size_t threads = wanted_ < left ? wanted_ : left;
    wanted_ = 0;  // tried once
    {
      MutexLock held(&lock_);
      slots_.resize(threads * kRunAhead + 1);
      next_ = first;
      limit_ = first + slots_.size();
    }
    readers_.reserve(threads);
    for (std::size_t k = 0; k < threads; ++k) {
      try {
        readers_.push_back(platform::StartThread([this] { RunReader(); }));
      } catch (const std::system_error&) {
        break;  // the system grants no more threads: fewer reads in flight
      }
    }
    window_ = readers_.size();
  }

  void RunReader() EXCLUDES(lock_) {
    lock_.Lock();
    for (;;) {
      while (!stopping_ && !(next_ < limit_ && next_ < count_)) room_.Wait();
      if (stopping_) break;
      const std::size_t index = next_++;
      const ReadPlan plan = plan_;
      lock_.Unlock();
      Slot answer;
      try {
        answer.listed = work_(index, plan, nullptr);
      } catch (...) {
        answer.failure = std::current_exception();
      }
      answer.done = true;
      lock_.Lock();
      slots_[index % slots_.size()] = std::move(answer);
      if (caller_waits_ && awaited_ == index) file_done_.Signal();
    }
    lock_.Unlock();
  }

  void Stop() EXCLUDES(lock_) {
    if (readers_.empty()) return;
    {
      MutexLock held(&lock_);
      stopping_ = true;
    }
    room_.SignalAll();
    for (std::thread& reader : readers_) reader.join();
    readers_.clear();
  }

  const std::size_t count_;
  const ListedWork<T> work_;
  // The caller's own: the threads asked for, those running, and their number.
  std::size_t wanted_;
  std::size_t window_ = 0;
  bool start_pending_ = false;
  std::vector<std::thread> readers_;

  Mutex lock_;
  CondVar file_done_{&lock_};                // a reader finished the file awaited
  CondVar room_{&lock_};                     // the window moved on, or the reads stop
  std::size_t next_ GUARDED_BY(lock_) = 0;   // the next file a reader takes
  std::size_t limit_ GUARDED_BY(lock_) = 0;  // readers take files before it
  std::size_t awaited_ GUARDED_BY(lock_) = 0;
  bool caller_waits_ GUARDED_BY(lock_) = false;
  bool stopping_ GUARDED_BY(lock_) = false;
  ReadPlan plan_ GUARDED_BY(lock_);
  // File i's answer waits in slot i % slots_.size(): readers take no file
  // as far ahead of the one awaited as that.
  std::vector<Slot> slots_ GUARDED_BY(lock_);
};

}  // namespace reading

#endif  // EXIFCHECK_READ_LIST_READS_H_
