// A read-only view of a folder in which every request to the medium waits:
// the frames operators check come from SD cards, USB disks and network
// shares, where each request costs 0.5-10 ms whatever its size. On a local
// disk the same tool waits microseconds, so how many requests it makes, and
// how many it keeps in flight, does not show there; through this mount it
// does.
//
//   latency_fs SOURCE MOUNTPOINT DELAY_US [FUSE OPTIONS...]
//
// Runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT) or
// sent SIGINT/SIGTERM, which unmount too. Start it with & to keep the shell.
//
// What waits DELAY_US: each open of a file and each read request the kernel
// sends (a read that the kernel's page cache answers sends none). What does
// not: lookups, getattr, opendir, readdir and release. A card or a share
// answers those from the directory it has already read, and every reader
// walks the folder once, so they would add the same to each command timed.
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

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Enough threads that no request waits for a free one: the tools timed keep
// up to 32 frames in flight, and each can have a read and an open pending.
constexpr unsigned kThreads = 64;
constexpr double kCacheSeconds = 86400;

int g_source = -1;  // the source folder, every path resolved against it
std::chrono::microseconds g_delay{0};

void Wait() {
  if (g_delay.count() > 0) std::this_thread::sleep_for(g_delay);
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
  Wait();
  const int fd = openat(g_source, Relative(path), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  fi->keep_cache = 1;
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  Wait();
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(static_cast<int>(fi->fh), buffer + done, size - done,
                              offset + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<int>(done) : -errno;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int>(done);
}

int Release(const char*, fuse_file_info* fi) {
  close(static_cast<int>(fi->fh));
  return 0;
}

int StatFs(const char*, struct statvfs* st) {
  return fstatvfs(g_source, st) == 0 ? 0 : -errno;
}

bool ParseDelay(const char* text, long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtol(text, &end, 10);
  return *text != '\0' && *end == '\0' && errno == 0 && *value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  long delay = 0;
  if (argc < 4 || !ParseDelay(argv[3], &delay)) {
    std::fprintf(stderr, "usage: latency_fs SOURCE MOUNTPOINT DELAY_US [FUSE OPTIONS...]\n");
    return 2;
  }
  g_delay = std::chrono::microseconds(delay);
  g_source = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_source < 0) {
    std::fprintf(stderr, "latency_fs: %s: %s\n", argv[1], std::strerror(errno));
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
  for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
  fuse_args fargs = FUSE_ARGS_INIT(static_cast<int>(args.size()), args.data());
  fuse* fs = fuse_new(&fargs, &ops, sizeof ops, nullptr);
  if (fs == nullptr) return 1;
  int rc = 1;
  if (fuse_mount(fs, argv[2]) == 0) {
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
  return rc;
}
