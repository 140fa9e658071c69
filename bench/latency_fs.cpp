// A read-only view of a folder in which every request to the medium waits:
// the frames operators check come from SD cards, USB disks and network
// shares, where each request costs 0.5-10 ms whatever its size. On a local
// disk the same tool waits microseconds, so how many requests it makes, and
// how many it keeps in flight, does not show there; through this mount it
// does.
//
//   latency_fs [-b BYTES_PER_SECOND] SOURCE MOUNTPOINT DELAY_US [FUSE OPTIONS...]
//
// Runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT) or
// sent SIGINT/SIGTERM, which unmount too. Start it with & to keep the shell.
// On the way out it prints on standard error the opens, read requests and
// bytes it served, so that a run's bytes through the link can be counted.
//
// What waits DELAY_US: each open of a file and each read request the kernel
// sends (a read that the kernel's page cache answers sends none). What does
// not: lookups, getattr, opendir, readdir and release. A card or a share
// answers those from the directory it has already read, and every reader
// walks the folder once, so they would add the same to each command timed.
//
// With -b, the read requests also share one link of that many bytes a
// second, as behind a USB 2 card reader (about 30 MB/s): once its DELAY_US
// is over, a request's bytes hold the link for bytes / rate, after those of
// every request that reached the link before it. So a reader that asks for
// more bytes than it needs pays for them there, as it does on such a medium,
// and many requests in flight cannot go faster than the link. Opens move no
// bytes and only wait DELAY_US.
//
// The kernel keeps the pages it has read (no direct_io, keep_cache on every
// open), as it does for a card, a USB disk or a share mounted by a client
// that caches: a second open of the same frame in the same run reads from
// memory, and the kernel's read-ahead decides the size of each request, as
// it would on the real medium. Unmounting drops all of it, so the bench
// remounts before each timed run and every run starts cold. Entries and
// attributes are cached for as long as the mount lives, for the same reason:
// they are free here anyway, and a remount forgets them.
#define FUSE_USE_VERSION 312

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Enough threads that no request waits for a free one: the tools timed keep
// up to 32 frames in flight, and each can have a read and an open pending.
constexpr unsigned kThreads = 64;
constexpr double kCacheSeconds = 86400;

using Clock = std::chrono::steady_clock;

int g_source = -1;  // the source folder, every path resolved against it
std::chrono::microseconds g_delay{0};
unsigned long long g_rate = 0;  // bytes a second through the link; 0: no link

// The link: when the last request that reached it is through. Requests reach
// it in the order they take the lock, just after their bytes were fetched
// from the source below, which is memory and takes microseconds.
std::mutex g_link_mutex;
Clock::time_point g_link_free;

std::atomic<unsigned long long> g_opens{0}, g_reads{0}, g_bytes{0};

// Waits until a request that arrived at `arrived` and moves `bytes` is done:
// its delay, then its turn on the link and the bytes' time there.
void Wait(Clock::time_point arrived, unsigned long long bytes) {
  Clock::time_point done = arrived + g_delay;
  if (g_rate > 0 && bytes > 0) {
    const auto on_link = std::chrono::nanoseconds(bytes * 1000000000ULL / g_rate);
    std::lock_guard<std::mutex> lock(g_link_mutex);
    g_link_free = std::max(g_link_free, done) + on_link;
    done = g_link_free;
  }
  std::this_thread::sleep_until(done);
}

// FUSE paths start with '/'; the root is the source folder itself.
const char* Relative(const char* path) {
  while (*path == '/') ++path;
  return *path == '\0' ? "." : path;
}

void* Init(fuse_conn_info* conn, fuse_config* config) {
  config->entry_timeout = kCacheSeconds;
  config->attr_timeout = kCacheSeconds;
  config->negative_timeout = kCacheSeconds;
  config->use_ino = 1;
  config->kernel_cache = 1;
  config->direct_io = 0;
  // Reads the kernel sends for read-ahead are background requests, of which
  // it keeps 12 in flight by default: fewer than the 32 frames a pool reads
  // at once, which would cap the pool here and not on the medium.
  conn->max_background = kThreads;
  conn->congestion_threshold = kThreads * 3 / 4;
  return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  const int rc = fi != nullptr ? fstat(static_cast<int>(fi->fh), st)
                               : fstatat(g_source, Relative(path), st, AT_SYMLINK_NOFOLLOW);
  return rc == 0 ? 0 : -errno;
}

int ReadLink(const char* path, char* buffer, size_t size) {
  if (size == 0) return -EINVAL;
  const ssize_t got = readlinkat(g_source, Relative(path), buffer, size - 1);
  if (got < 0) return -errno;
  buffer[got] = '\0';
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  const int fd = openat(g_source, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -errno;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    close(fd);
    return -error;
  }
  while (const dirent* entry = readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
    if (fill(buffer, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
  }
  closedir(dir);
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  ++g_opens;
  Wait(Clock::now(), 0);
  const int fd = openat(g_source, Relative(path), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  fi->keep_cache = 1;
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  const Clock::time_point arrived = Clock::now();
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(static_cast<int>(fi->fh), buffer + done, size - done,
                              offset + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      if (done == 0) {
        const int error = errno;
        Wait(arrived, 0);
        return -error;
      }
      break;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  ++g_reads;
  g_bytes += done;
  Wait(arrived, done);
  return static_cast<int>(done);
}

int Release(const char*, fuse_file_info* fi) {
  close(static_cast<int>(fi->fh));
  return 0;
}

int StatFs(const char*, struct statvfs* st) { return fstatvfs(g_source, st) == 0 ? 0 : -errno; }

bool ParseNumber(const char* text, unsigned long long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoull(text, &end, 10);
  return *text >= '0' && *text <= '9' && *end == '\0' && errno == 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: latency_fs [-b BYTES_PER_SECOND] SOURCE MOUNTPOINT DELAY_US "
               "[FUSE OPTIONS...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "-b") == 0) {
    // At 1 kB/s or more, a request's nanoseconds on the link fit 64 bits.
    if (!ParseNumber(argv[2], &g_rate) || g_rate < 1000) return Usage();
    first = 3;
  }
  unsigned long long delay = 0;
  if (argc - first < 3 || !ParseNumber(argv[first + 2], &delay) || delay > 60000000) {
    return Usage();
  }
  g_delay = std::chrono::microseconds(delay);
  g_source = open(argv[first], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_source < 0) {
    std::fprintf(stderr, "latency_fs: %s: %s\n", argv[first], std::strerror(errno));
    return 1;
  }
  // Sleeps end up to the timer slack late (50 us by default); the worker
  // threads inherit this thread's, so a delay of 500 us stays 500 us.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  fuse_operations ops{};
  ops.init = Init;
  ops.getattr = GetAttr;
  ops.readlink = ReadLink;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.read = Read;
  ops.release = Release;
  ops.statfs = StatFs;

  std::vector<char*> args = {argv[0], const_cast<char*>("-o"),
                             const_cast<char*>("ro,fsname=latency_fs,subtype=latency")};
  for (int i = first + 3; i < argc; ++i) args.push_back(argv[i]);
  fuse_args fargs = FUSE_ARGS_INIT(static_cast<int>(args.size()), args.data());
  fuse* fs = fuse_new(&fargs, &ops, sizeof ops, nullptr);
  if (fs == nullptr) return 1;
  int rc = 1;
  if (fuse_mount(fs, argv[first + 1]) == 0) {
    if (fuse_set_signal_handlers(fuse_get_session(fs)) == 0) {
      fuse_loop_config* config = fuse_loop_cfg_create();
      fuse_loop_cfg_set_max_threads(config, kThreads);
      // Idle threads above this are ended and made again on the next burst.
      fuse_loop_cfg_set_idle_threads(config, kThreads);
      rc = fuse_loop_mt(fs, config) == 0 ? 0 : 1;
      fuse_loop_cfg_destroy(config);
      fuse_remove_signal_handlers(fuse_get_session(fs));
    }
    fuse_unmount(fs);
  }
  fuse_destroy(fs);
  fuse_opt_free_args(&fargs);
  close(g_source);
  std::fprintf(stderr, "latency_fs: served %llu opens, %llu reads, %llu bytes\n", g_opens.load(),
               g_reads.load(), g_bytes.load());
  return rc;
}
