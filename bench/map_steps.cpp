// Splits the cost of one mapped read into its steps, averaged over the
// files named on standard input (three passes, warm cache): open and fstat,
// mmap, the first touch of the head, the first touch of the last byte,
// munmap, close. Shows what bounds exifcheck against the floor model.
//   find DIR -type f | map_steps
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
volatile unsigned g_sink;

double Micros(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

}  // namespace

int main() {
  std::vector<std::string> files;
  for (std::string line; std::getline(std::cin, line);) files.push_back(line);
  const char* const names[] = {"open+fstat", "mmap", "head fault", "tail fault", "munmap", "close"};
  double total[6] = {};
  long reads = 0;
  for (int pass = 0; pass < 3; ++pass) {
    for (const std::string& path : files) {
      const Clock::time_point t0 = Clock::now();
      const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      struct stat st;
      if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 2) {
        if (fd >= 0) close(fd);
        continue;
      }
      const size_t size = static_cast<size_t>(st.st_size);
      const Clock::time_point t1 = Clock::now();
      void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (map == MAP_FAILED) {
        close(fd);
        continue;
      }
      const unsigned char* data = static_cast<const unsigned char*>(map);
      const Clock::time_point t2 = Clock::now();
      g_sink = data[0] + data[size < 3000 ? 1 : 3000];
      const Clock::time_point t3 = Clock::now();
      g_sink = data[size - 1];
      const Clock::time_point t4 = Clock::now();
      munmap(map, size);
      const Clock::time_point t5 = Clock::now();
      close(fd);
      const Clock::time_point t6 = Clock::now();
      const Clock::time_point marks[] = {t0, t1, t2, t3, t4, t5, t6};
      for (int i = 0; i < 6; ++i) total[i] += Micros(marks[i], marks[i + 1]);
      ++reads;
    }
  }
  if (reads == 0) return 1;
  double sum = 0;
  for (int i = 0; i < 6; ++i) {
    std::printf("%-11s %6.2f us\n", names[i], total[i] / static_cast<double>(reads));
    sum += total[i] / static_cast<double>(reads);
  }
  std::printf("%-11s %6.2f us per mapped read\n", "all", sum);
  return 0;
}
