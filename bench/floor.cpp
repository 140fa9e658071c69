// The least a four-check run can cost: walks the survey once, then four
// times over (one pass per check) opens each file, takes its size, reads its
// first HEAD_BYTES and its last 4 KiB, and closes it; a file no longer than
// the two together is read in one piece, as exifcheck reads it. No parsing,
// no output per file: the yardstick of the benchmark. Another tail size or
// number of passes splits a cold run's cost (what the tail's own disk read
// costs, what the passes after the first add).
//   floor DIR [HEAD_BYTES [TAIL_BYTES [PASSES]]]     (16384, 4096, 4)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {


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

}  // namespace

int main(int argc, char** argv) {
  unsigned long numbers[3] = {16384, 4096, 4};  // head, tail, passes
  bool usable = argc >= 2 && argc <= 5;
  for (int i = 2; usable && i < argc; ++i) {
    char* end = nullptr;
    numbers[i - 2] = std::strtoul(argv[i], &end, 10);
    usable = *argv[i] != '\0' && *end == '\0';
  }
  const unsigned long head = numbers[0], tail = numbers[1], passes = numbers[2];
  if (!usable || head == 0) {
    std::fprintf(stderr, "usage: floor DIR [HEAD_BYTES [TAIL_BYTES [PASSES]]]\n");
    return 2;
  }
  std::vector<std::string> files;
  Walk(argv[1], &files);
  std::vector<unsigned char> buffer(head + tail);
  unsigned long long bytes = 0;
  for (unsigned long pass = 0; pass < passes; ++pass) {
    for (const std::string& path : files) {
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      struct stat st;
      if (fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<unsigned long long>(st.st_size);
        if (size > head + tail) {
          bytes += ReadAt(fd, buffer.data(), head, 0);
          if (tail > 0) {
            bytes += ReadAt(fd, buffer.data() + head, tail, static_cast<off_t>(size - tail));
          }
        } else {
          bytes += ReadAt(fd, buffer.data(), size, 0);
        }
      }
      close(fd);
    }
  }
  std::printf("%zu files, %llu bytes read in %lu passes, %lu-byte head, %lu-byte tail\n",
              files.size(), bytes, passes, head, tail);
  return 0;
}
