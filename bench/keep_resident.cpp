// Keeps every file under the given folders in the page cache while the
// benchmark runs: maps and locks each one, then waits until standard input
// closes or it is terminated. This machine reclaims page cache left idle,
// which would turn a warm measurement into a disk measurement.
// After -n BYTES, only the first and the last BYTES of each file under the
// folders that follow are kept: the readers timed on the drone survey read
// its frames' first few dozen KB and at most their last 4 KiB, and all of
// its 14 GB would not fit in memory beside the other surveys.
//   keep_resident [-n BYTES] DIR... [-n BYTES DIR...] < control
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "walk_files.h"

namespace {

unsigned long long g_files = 0;
unsigned long long g_bytes = 0;
unsigned long long g_limit = 0;  // bytes kept at each end of a file; 0: all

bool LockRange(int fd, off_t offset, size_t size) {
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, offset);
  if (map == MAP_FAILED || mlock(map, size) != 0) return false;
  g_bytes += size;
  return true;
}

void Lock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto size = static_cast<unsigned long long>(st.st_size);
    const auto page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    bool locked = false;
    if (g_limit == 0 || size <= 2 * g_limit + page) {
      locked = LockRange(fd, 0, static_cast<size_t>(size));
    } else {
      // A mapping starts on a page.
      const unsigned long long tail = (size - g_limit) / page * page;
      locked = LockRange(fd, 0, static_cast<size_t>(g_limit)) &&
               LockRange(fd, static_cast<off_t>(tail), static_cast<size_t>(size - tail));
    }
    if (locked) ++g_files;
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
      g_limit = std::strtoull(argv[++i], nullptr, 10);
    } else {
      ForEachFile(argv[i], Lock);
    }
  }
  std::fprintf(stderr, "keep_resident: %llu files, %.1f MB locked in memory\n", g_files,
               static_cast<double>(g_bytes) / 1e6);
  char buffer[256];
  while (read(0, buffer, sizeof buffer) > 0) {
  }
  return 0;
}
