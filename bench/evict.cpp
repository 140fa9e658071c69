// Drops the page-cache pages of every file under the given folders, so that
// the next run reads the survey from the disk, without touching the cache of
// anything else on a shared machine. Pages that stay (locked by
// keep_resident, dirty, or held for a moment by the kernel's own reclaim)
// are asked for again, then counted with mincore and reported; more than
// 1 MB left fails, because a cold figure measured over them would be a warm
// one. The bytes that were cached before are reported too (dropped).
//   evict DIR...
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "walk_files.h"

namespace {

unsigned long long g_files = 0;
unsigned long long g_bytes = 0;
unsigned long long g_resident = 0;
unsigned long long g_dropped = 0;

unsigned long long ResidentBytes(int fd, size_t size) {
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return 0;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> in_core((size + page - 1) / page);
  unsigned long long resident = 0;
  if (mincore(map, size, in_core.data()) == 0) {
    for (const unsigned char flag : in_core) resident += (flag & 1) ? page : 0;
  }
  munmap(map, size);
  return resident;
}

void Evict(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto size = static_cast<size_t>(st.st_size);
    unsigned long long resident = ResidentBytes(fd, size);
    g_dropped += resident;
    for (int attempt = 0; attempt < 3; ++attempt) {
      posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      resident = ResidentBytes(fd, size);
      if (resident == 0) break;
      usleep(1000);
    }
    ++g_files;
    g_bytes += size;
    g_resident += resident;
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: evict DIR...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) ForEachFile(argv[i], Evict);
  std::printf("evict: %llu files, %.1f MB, %llu bytes dropped, %.1f KB still in memory\n", g_files,
              static_cast<double>(g_bytes) / 1e6, g_dropped - g_resident,
              static_cast<double>(g_resident) / 1e3);
  return g_resident <= 1000000 ? 0 : 1;
}
