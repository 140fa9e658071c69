// The least a four-check run can cost: walks the survey once, then four
// times over (one pass per check) opens each file, takes its size, reads its
// first HEAD_BYTES and its last 4 KiB, and closes it; a file no longer than
// the two together is read in one piece, as exifcheck reads it. No parsing:
// the yardstick of the benchmark. Another tail size or number of passes
// splits a cold run's cost (what the tail's own disk read costs, what the
// passes after the first add). With no tail, the size is not asked for: a
// head that comes back short is the whole file.
//
// With -t, the read-once floor: each file is opened once, its size taken,
// its head and tail read as above, and closed, by THREADS threads with one
// file each in flight; the results reach the main thread in list order, and
// only then does it print, from memory, the progress lines of PASSES checks
// as exifcheck prints them. -t 1 reads one file at a time. It is the least a
// run costs that reads each frame once, whatever waits a request has.
//
// With -r as well and no tail (floor -r -t 32 DIR 24576 0), the head-only
// floor: each file opened once, the kernel told that it is read at random
// (posix_fadvise RANDOM, so it reads exactly the pages asked for and nothing
// ahead of them), one pread of the first HEAD_BYTES, closed. That is the
// least a reader can cost whose frames need only their first HEAD_BYTES.
//   -p  print the line exifcheck prints before each image, flushed (one write)
//   -a FILES  tell the kernel, FILES files ahead, to fetch each head
//       (posix_fadvise WILLNEED on the head range; at most FILES + 1 open)
//   -t THREADS  read each file once, THREADS at a time (implies -p)
//   -r  read-ahead off on each file opened (posix_fadvise RANDOM)
//   floor [-p] [-r] [-a FILES | -t THREADS] DIR [HEAD_BYTES [TAIL_BYTES [PASSES]]]
//   (16384, 4096, 4)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The bytes exifcheck prints before each image ("影像序列: " in GBK).
constexpr char kImageSequence[] = "\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";

void Walk(const std::string& folder, std::vector<std::string>* files) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::pair<std::string, bool>> entries;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.emplace_back(name, entry->d_type == DT_DIR);
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    const std::string path = folder + "/" + entry.first;
    if (entry.second) {
      Walk(path, files);
    } else {
      files->push_back(path);
    }
  }
}

// One pread, as the tool issues it; a short count is taken as it comes.
unsigned long long ReadAt(int fd, unsigned char* data, unsigned long size, off_t offset) {
  const ssize_t got = pread(fd, data, size, offset);
  return got > 0 ? static_cast<unsigned long long>(got) : 0;
}

struct Options {
  bool progress = false;
  bool random = false;
  unsigned long ahead = 0;
  unsigned long threads = 0;  // 0: the passes of the other modes
  unsigned long head = 16384, tail = 4096, passes = 4;
  std::string dir;
};

bool ParseNumber(const char* text, unsigned long* value) {
  char* end = nullptr;
  *value = std::strtoul(text, &end, 10);
  return *text != '\0' && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options* options) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (std::strcmp(argv[i], "-p") == 0) {
      options->progress = true;
    } else if (std::strcmp(argv[i], "-r") == 0) {
      options->random = true;
    } else if (std::strcmp(argv[i], "-a") == 0 && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &options->ahead)) return false;
    } else if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &options->threads) || options->threads == 0) return false;
      options->progress = true;
    } else {
      return false;
    }
  }
  if (i >= argc || argc - i > 4) return false;
  options->dir = argv[i++];
  unsigned long* numbers[3] = {&options->head, &options->tail, &options->passes};
  for (int n = 0; i < argc; ++i, ++n) {
    if (!ParseNumber(argv[i], numbers[n])) return false;
  }
  return options->head > 0 && (options->threads == 0 || options->ahead == 0);
}

void WriteLine(const char* line, int length) {
  if (length > 0 && write(1, line, static_cast<size_t>(length)) < 0) return;
}

// One write per line, as a flushed std::cout line costs the tool.
void PrintProgress(unsigned long sequence) {
  char line[64];
  WriteLine(line, std::snprintf(line, sizeof line, "%s%lu\n", kImageSequence, sequence));
}

// What a check prints before its images: std::endl, then the count, each
// flushed on its own.
void PrintCount(size_t images) {
  char line[64];
  WriteLine("\n", 1);
  WriteLine(line, std::snprintf(line, sizeof line, "The number of images: %zu\n", images));
}

int OpenFile(const std::string& path, const Options& options) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && options.random) posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  return fd;
}

// Reads one open file as a check would; returns the bytes read.
unsigned long long ReadFile(int fd, const Options& options, unsigned char* buffer) {
  if (options.tail == 0) return ReadAt(fd, buffer, options.head, 0);
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_size <= 0) return 0;
  const auto size = static_cast<unsigned long long>(st.st_size);
  if (size <= options.head + options.tail) return ReadAt(fd, buffer, size, 0);
  return ReadAt(fd, buffer, options.head, 0) +
         ReadAt(fd, buffer + options.head, options.tail, static_cast<off_t>(size - options.tail));
}

// One pass in list order. With read-ahead, file i + FILES is opened and its
// head asked for before file i is read, so that up to FILES requests are in
// flight while the pass works on one file.
unsigned long long Pass(const std::vector<std::string>& files, const Options& options,
                        unsigned char* buffer) {
  std::vector<int> fds(files.size(), -1);
  size_t opened = 0;
  unsigned long long bytes = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (options.progress) PrintProgress(i + 1);
    for (; opened < files.size() && opened <= i + options.ahead; ++opened) {
      fds[opened] = OpenFile(files[opened], options);
      if (fds[opened] >= 0 && options.ahead > 0) {
        posix_fadvise(fds[opened], 0, static_cast<off_t>(options.head), POSIX_FADV_WILLNEED);
      }
    }
    if (fds[i] < 0) continue;
    bytes += ReadFile(fds[i], options, buffer);
    close(fds[i]);
  }
  return bytes;
}

// Files in list order, read once each by a pool of threads that take the
// next file as they come free; the main thread takes each result as soon as
// it and every file before it are done, as a reader handing frames to the
// checks in order must.
unsigned long long ReadOnce(const std::vector<std::string>& files, const Options& options) {
  std::vector<unsigned long long> got(files.size());
  std::vector<char> done(files.size(), 0);
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable ready;
  auto work = [&] {
    std::vector<unsigned char> buffer(options.head + options.tail);
    for (size_t i; (i = next.fetch_add(1)) < files.size();) {
      unsigned long long bytes = 0;
      const int fd = OpenFile(files[i], options);
      if (fd >= 0) {
        bytes = ReadFile(fd, options, buffer.data());
        close(fd);
      }
      std::lock_guard<std::mutex> lock(mutex);
      got[i] = bytes;
      done[i] = 1;
      ready.notify_one();
    }
  };
  std::vector<std::thread> pool;
  const size_t threads = std::min<size_t>(options.threads, std::max<size_t>(files.size(), 1));
  for (size_t t = 0; t < threads; ++t) pool.emplace_back(work);
  unsigned long long bytes = 0;
  {
    std::unique_lock<std::mutex> lock(mutex);
    for (size_t i = 0; i < files.size(); ++i) {
      ready.wait(lock, [&] { return done[i] != 0; });
      bytes += got[i];
    }
  }
  for (auto& thread : pool) thread.join();
  for (unsigned long pass = 0; pass < options.passes; ++pass) {
    PrintCount(files.size());
    for (size_t i = 0; i < files.size(); ++i) PrintProgress(i + 1);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: floor [-p] [-r] [-a FILES | -t THREADS] DIR "
                 "[HEAD_BYTES [TAIL_BYTES [PASSES]]]\n");
    return 2;
  }
  std::vector<std::string> files;
  Walk(options.dir, &files);
  unsigned long long bytes = 0;
  if (options.threads > 0) {
    bytes = ReadOnce(files, options);
    std::printf(
        "%zu files, %llu bytes read once by %lu threads, %lu-byte head, %lu-byte tail, "
        "%lu checks printed%s\n",
        files.size(), bytes, options.threads, options.head, options.tail, options.passes,
        options.random ? ", read-ahead off" : "");
    return 0;
  }
  std::vector<unsigned char> buffer(options.head + options.tail);
  for (unsigned long pass = 0; pass < options.passes; ++pass) {
    bytes += Pass(files, options, buffer.data());
  }
  std::printf("%zu files, %llu bytes read in %lu passes, %lu-byte head, %lu-byte tail, %lu ahead\n",
              files.size(), bytes, options.passes, options.head, options.tail, options.ahead);
  return 0;
}
