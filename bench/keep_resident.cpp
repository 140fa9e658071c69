// Keeps every file under the given folders in the page cache while the
// benchmark runs: maps and locks each one, then waits until standard input
// closes or it is terminated. This machine reclaims page cache left idle,
// which would turn a warm measurement into a disk measurement.
//   keep_resident DIR... < control
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "walk_files.h"

namespace {

unsigned long long g_files = 0;
unsigned long long g_bytes = 0;

void Lock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const size_t size = static_cast<size_t>(st.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map != MAP_FAILED && mlock(map, size) == 0) {
      ++g_files;
      g_bytes += size;
    }
  }
  close(fd);
}


}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) ForEachFile(argv[i], Lock);
  std::fprintf(stderr, "keep_resident: %llu files, %.1f MB locked in memory\n", g_files,
               static_cast<double>(g_bytes) / 1e6);
  char buffer[256];
  while (read(0, buffer, sizeof buffer) > 0) {
  }
  return 0;
}
