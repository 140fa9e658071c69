// The least a four-check run can cost: walks the survey once, then four
// times over (one pass per check) opens each file, takes its size, reads its
// first HEAD_BYTES and its last 4 KiB, and closes it; a file no longer than
// the two together is read in one piece, as exifcheck reads it. No parsing:
// the yardstick of the benchmark. Another tail size or number of passes
// splits a cold run's cost (what the tail's own disk read costs, what the
// passes after the first add). With no tail, the size is not asked for: a
// head that comes back short is the whole file.
//   -p  print the line exifcheck prints before each image, flushed (one write)
//   -a FILES  tell the kernel, FILES files ahead, to fetch each head
//       (posix_fadvise WILLNEED on the head range; at most FILES + 1 open)
//   floor [-p] [-a FILES] DIR [HEAD_BYTES [TAIL_BYTES [PASSES]]]   (16384, 4096, 4)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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
  unsigned long ahead = 0;
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
    } else if (std::strcmp(argv[i], "-a") == 0 && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &options->ahead)) return false;
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
  return options->head > 0;
}

// One write per line, as a flushed std::cout line costs the tool.
void PrintProgress(unsigned long sequence) {
  char line[64];
  const int length = std::snprintf(line, sizeof line, "%s%lu\n", kImageSequence, sequence);
  if (length > 0 && write(1, line, static_cast<size_t>(length)) < 0) return;
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
      fds[opened] = open(files[opened].c_str(), O_RDONLY | O_CLOEXEC);
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

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: floor [-p] [-a FILES] DIR [HEAD_BYTES [TAIL_BYTES [PASSES]]]\n");
    return 2;
  }
  std::vector<std::string> files;
  Walk(options.dir, &files);
  std::vector<unsigned char> buffer(options.head + options.tail);
  unsigned long long bytes = 0;
  for (unsigned long pass = 0; pass < options.passes; ++pass) {
    bytes += Pass(files, options, buffer.data());
  }
  std::printf("%zu files, %llu bytes read in %lu passes, %lu-byte head, %lu-byte tail, %lu ahead\n",
              files.size(), bytes, options.passes, options.head, options.tail, options.ahead);
  return 0;
}
