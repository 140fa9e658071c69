// Hands the whole content of an image file to the checks. The reader looks
// at a few kilobytes of each file, its head and its tail, so a large file is
// mapped rather than read: a check then costs a few page faults per image
// instead of a copy of the image. Small files, empty files and files the
// system will not map are read into a buffer instead.
//
// A mapped file that another program truncates raises SIGBUS when the
// consumer touches a page past the new end. A handler lays zero pages over
// the mapping, so the access completes, and the read then reports the file
// as unreadable, exactly like a file that reads short.
#include "platform/file_read_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <memory>

#include "platform/platform.h"

namespace platform {

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

#if EXIFCHECK_PLAIN_READ
constexpr bool kMapFiles = false;
#else
constexpr bool kMapFiles = true;
#endif

// Below this size a plain read beats map, fault and unmap. Measured with
// bench/read_crossover (2 cores, warm cache, head and tail touched): a 32 KiB
// file costs 7-10 us read and 11-14 us mapped, the two meet at 96-128 KiB,
// and from 160 KiB on mapping wins (4 MiB: 230 us read, 12 us mapped).
// MADV_RANDOM bought nothing warm and costs a call, so there is none.
constexpr std::uint64_t kSmallestMappedFile = std::uint64_t{128} * 1024;

// Reads exactly `size` bytes unless the file ends early or fails.
bool ReadFully(int fd, unsigned char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

FileRead ReadIntoBuffer(int fd, std::size_t size, const FileConsumer& consume) {
  // Not value-initialised: every byte is overwritten by the read.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
  if (!ReadFully(fd, buffer.get(), size)) return FileRead::kUnreadable;
  consume(buffer.get(), static_cast<std::uint32_t>(size));
  return FileRead::kRead;
}

// The mapping a consumer is reading right now, if any, for the SIGBUS
// handler; a begin of 0 means none. The tool reads one file at a time.
std::atomic<std::uintptr_t> g_active_begin{0};
std::atomic<std::size_t> g_active_length{0};
std::atomic<bool> g_active_shrank{false};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free &&
                  std::atomic<std::size_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "the SIGBUS handler may only touch lock-free atomics");
struct sigaction g_previous_bus_action;

void OnBusError(int signal_number, siginfo_t* info, void* /*context*/) {
  const std::uintptr_t begin = g_active_begin.load();
  const std::size_t length = g_active_length.load();
  const std::uintptr_t fault = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (begin != 0 && fault >= begin && fault - begin < length) {
    // Zeros over the whole mapping, not just the faulting page: what the
    // consumer derives is dropped anyway, and a backward scan over a file
    // cut to nothing then costs one signal rather than one per page.
    // The signal handler keeps the mapping as an integer because only
    // lock-free atomics may be touched here; the cast back is the point.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    void* zeros = mmap(reinterpret_cast<void*>(begin), length, PROT_READ,
                       MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zeros != MAP_FAILED) {
      g_active_shrank.store(true);
      return;  // the access repeats and now reads zeros
    }
  }
  // Not a file of ours: give the signal to whoever had it before (by default
  // it ends the process). Blocked while we run, it arrives as we return.
  sigaction(signal_number, &g_previous_bus_action, nullptr);
  raise(signal_number);
}

bool BusHandlerInstalled() {
  static const bool installed = [] {
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &g_previous_bus_action) == 0;
  }();
  return installed;
}

std::size_t PageSize() {
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

FileRead ReadMapped(int fd, std::size_t size, const FileConsumer& consume) {
  void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping == MAP_FAILED) return ReadIntoBuffer(fd, size, consume);
  const std::size_t page = PageSize();
  g_active_shrank.store(false);
  g_active_length.store((size + page - 1) / page * page);
  g_active_begin.store(reinterpret_cast<std::uintptr_t>(mapping));
  consume(static_cast<const unsigned char*>(mapping), static_cast<std::uint32_t>(size));
  g_active_begin.store(0);
  const bool shrank = g_active_shrank.load();
  munmap(mapping, size);
  return shrank ? FileRead::kUnreadable : FileRead::kRead;
}

}  // namespace

std::uint64_t SmallestMappedFile() { return kMapFiles ? kSmallestMappedFile : kMaxImageSize; }

bool MapsFileOfSize(std::uint64_t size) {
  return size >= SmallestMappedFile() && size < kMaxImageSize;
}

FileRead ReadWholeFile(const std::string& path, const FileConsumer& consume) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FileRead::kUnreadable;
  struct stat st;
  FileRead result = FileRead::kUnreadable;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (size >= kMaxImageSize) {
      result = FileRead::kTooLarge;
    } else if (MapsFileOfSize(size) && BusHandlerInstalled()) {
      result = ReadMapped(fd, static_cast<std::size_t>(size), consume);
    } else {
      result = ReadIntoBuffer(fd, static_cast<std::size_t>(size), consume);
    }
  }
  close(fd);
  return result;
}

}  // namespace platform
