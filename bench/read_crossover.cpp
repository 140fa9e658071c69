// Times the two ways exifcheck can hand a file to the reader, per file and
// by file size, on a warm page cache: a plain read into a fresh buffer, and
// a private read-only mapping (with and without MADV_RANDOM). Each way then
// touches what the reader touches: the first 4 KiB and the last bytes.
// Prints nanoseconds per file; the crossover sets the size from which the
// tool maps.
//   read_crossover DIR   (DIR is made and filled with test files)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile unsigned g_sink;

unsigned Touch(const unsigned char* data, size_t size) {
  unsigned sum = 0;
  const size_t head = std::min<size_t>(size, 4096);
  for (size_t i = 0; i < head; i += 64) sum += data[i];
  return sum + data[size - 1] + data[size - 2];
}

void ReadPlain(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, buffer.get() + done, size - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  g_sink = Touch(buffer.get(), size);
}

void ReadMapped(const std::string& path, bool random) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (random) madvise(map, size, MADV_RANDOM);
  g_sink = Touch(static_cast<const unsigned char*>(map), size);
  munmap(map, size);
  close(fd);
}

template <typename F>
double NanosPerFile(const std::vector<std::string>& files, F read_one) {
  std::vector<double> runs;
  for (int r = 0; r < 7; ++r) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& f : files) read_one(f);
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    runs.push_back(took.count() / static_cast<double>(files.size()));
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_crossover DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0777);
  const size_t kib_sizes[] = {4, 16, 32, 64, 96, 128, 160, 192, 224, 256, 512, 1024, 4096};
  std::printf("%8s %12s %12s %12s   (ns per file, median of 7 passes)\n", "size", "plain",
              "mmap", "mmap+random");
  for (const size_t kib : kib_sizes) {
    const size_t size = kib * 1024 + 123;  // not page-aligned, like real files
    const int count = kib >= 1024 ? 200 : 1000;
    std::vector<unsigned char> content(size);
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<unsigned char>(i * 7);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      files.push_back(dir + "/" + std::to_string(kib) + "k_" + std::to_string(i));
      FILE* out = std::fopen(files.back().c_str(), "wb");
      std::fwrite(content.data(), 1, size, out);
      std::fclose(out);
    }
    const double plain = NanosPerFile(files, ReadPlain);
    const double mapped = NanosPerFile(files, [](const std::string& f) { ReadMapped(f, false); });
    const double random = NanosPerFile(files, [](const std::string& f) { ReadMapped(f, true); });
    std::printf("%6zuKiB %12.0f %12.0f %12.0f\n", kib, plain, mapped, random);
    for (const std::string& f : files) unlink(f.c_str());
  }
  return 0;
}
