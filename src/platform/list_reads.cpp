// The reads of one file list in flight: reader threads, each taking the
// next file of the list within the window, reading it as ReadImageFile does
// and handing the answer to the caller, who takes them in list order.
// Blocking calls on threads rather than asynchronous I/O: Windows cannot
// open a file asynchronously, and on storage that makes every request wait
// it is the opens that must overlap. The same code runs on both systems.
//
// The threads start only once a read has had to wait for the storage.
// While the system's cache serves every read, the caller's thread reads
// each file at its turn: on two cores, handing every frame from thread to
// thread cost a warm run more than half again its time.
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace platform {

// One file's answer, from the thread that read it to the caller.
struct ListedSlot {
  bool done = false;
  ListedRead read;
  std::exception_ptr failure;  // what the read threw
};

struct ListReads {
  const std::vector<std::string>* paths = nullptr;
  std::uint32_t head = 0;
  std::uint32_t tail = 0;
  std::size_t window = 0;  // files in flight at once; 0 until the threads run
  std::size_t wanted = 0;  // the window asked for
  ListedConsumer consume;

  // Everything below the lock is shared with the reader threads.
  std::mutex lock;
  std::condition_variable file_done;  // a reader finished the file awaited
  std::condition_variable room;       // the window moved on, or the reads stop
  std::size_t next = 0;               // the next file a reader takes
  std::size_t limit = 0;              // readers take files before it
  std::size_t awaited = 0;            // the file the caller waits for
  bool caller_waits = false;
  bool stopping = false;
  // File i's answer waits in slot i % slots.size(): readers take no file
  // as far ahead of the one awaited as that.
  std::vector<ListedSlot> slots;

  std::vector<std::thread> readers;
};

namespace {

// How far answers may pile up ahead of the caller, in windows: a file that
// takes long (a frame without EXIF data is read to its end) then holds up
// only the caller, while the readers go on. An answer holds no file and no
// bytes, so the bounds stay those of the window.
constexpr std::size_t kRunAhead = 64;

ListedRead ReadListed(ListReads& reads, std::size_t index, bool* waited) {
  ListedRead read;
  read.result =
      ReadImageFile((*reads.paths)[index], reads.head, reads.tail,
                    [&reads, index](const FileParts& parts) { return reads.consume(index, parts); },
                    &read.why, waited);
  return read;
}

void RunReader(ListReads& reads) {
  std::unique_lock<std::mutex> held(reads.lock);
  for (;;) {
    reads.room.wait(held, [&reads] {
      return reads.stopping || (reads.next < reads.limit && reads.next < reads.paths->size());
    });
    if (reads.stopping) return;
    const std::size_t index = reads.next++;
    held.unlock();
    ListedSlot answer;
    try {
      answer.read = ReadListed(reads, index, nullptr);
    } catch (...) {
      answer.failure = std::current_exception();
    }
    answer.done = true;
    held.lock();
    reads.slots[index % reads.slots.size()] = std::move(answer);
    if (reads.caller_waits && reads.awaited == index) reads.file_done.notify_one();
  }
}

// Starts the readers on the files from `first` on, the caller's next.
void StartReaders(ListReads& reads, std::size_t first) {
  const std::size_t left = reads.paths->size() - first;
  const std::size_t threads = reads.wanted < left ? reads.wanted : left;
  reads.wanted = 0;  // tried once
  reads.slots.resize(threads * kRunAhead + 1);
  reads.next = first;
  reads.limit = first + reads.slots.size();
  reads.readers.reserve(threads);
  for (std::size_t k = 0; k < threads; ++k) {
    try {
      reads.readers.emplace_back(RunReader, std::ref(reads));
    } catch (const std::system_error&) {
      break;  // the system grants no more threads: fewer reads in flight
    }
  }
  reads.window = reads.readers.size();
}

}  // namespace

void StopListReads(ListReads* reads) {
  {
    const std::lock_guard<std::mutex> held(reads->lock);
    reads->stopping = true;
  }
  reads->room.notify_all();
  // A read in flight cannot be called back; its thread ends after it.
  for (std::thread& reader : reads->readers) reader.join();
  delete reads;
}

ListReadsHandle StartListReads(const std::vector<std::string>& paths, std::uint32_t head,
                               std::uint32_t tail, std::size_t window, ListedConsumer consume,
                               ReadAhead start) {
  ListReadsHandle reads(new ListReads, StopListReads);
  reads->paths = &paths;
  reads->head = head;
  reads->tail = tail;
  reads->wanted = window;
  reads->consume = std::move(consume);
  if (start == ReadAhead::kAtOnce && !paths.empty()) StartReaders(*reads, 0);
  return reads;
}

ListedRead AwaitListedFile(ListReads& reads, std::size_t index) {
  if (reads.window == 0) {
    bool waited = false;
    ListedRead read = ReadListed(reads, index, reads.wanted > 0 ? &waited : nullptr);
    if (waited && index + 1 < reads.paths->size()) StartReaders(reads, index + 1);
    return read;
  }
  ListedSlot answer;
  {
    std::unique_lock<std::mutex> held(reads.lock);
    reads.awaited = index;
    const std::size_t limit = index + reads.slots.size();
    if (limit > reads.limit) {
      // In list order the limit moves on by one file: one reader is
      // enough to wake, and waking them all costs more than their reads.
      const bool one_more = limit == reads.limit + 1;
      reads.limit = limit;
      if (one_more) {
        reads.room.notify_one();
      } else {
        reads.room.notify_all();
      }
    }
    ListedSlot& slot = reads.slots[index % reads.slots.size()];
    reads.caller_waits = true;
    reads.file_done.wait(held, [&slot] { return slot.done; });
    reads.caller_waits = false;
    answer = std::move(slot);
    slot = ListedSlot();
  }
  if (answer.failure) std::rethrow_exception(answer.failure);
  return std::move(answer.read);
}

}  // namespace platform
