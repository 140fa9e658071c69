// The image part of the base JPEG that ImageMagick made, shared by the
// survey writers: each frame is a head of its own followed by these bytes.
#ifndef EXIFCHECK_BENCH_BASE_JPEG_H_
#define EXIFCHECK_BENCH_BASE_JPEG_H_

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct BaseJpeg {
  std::vector<unsigned char> body;  // everything after SOI and the APPn segments
  uint32_t width = 0;
  uint32_t height = 0;
};

// Drops the start marker and the leading APPn segments, and takes the size
// from the frame header, so the EXIF dimensions are the image's own.
inline bool LoadBaseJpeg(const std::string& path, BaseJpeg* base) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return false;
  std::size_t pos = 2;
  while (pos + 4 <= file.size() && file[pos] == 0xFF && file[pos + 1] >= 0xE0 &&
         file[pos + 1] <= 0xEF) {
    pos += 2 + ((std::size_t{file[pos + 2]} << 8) | file[pos + 3]);
  }
  if (pos >= file.size()) return false;
  base->body.assign(file.begin() + static_cast<std::ptrdiff_t>(pos), file.end());
  for (std::size_t i = pos; i + 9 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      base->height = (uint32_t{file[i + 5]} << 8) | file[i + 6];
      base->width = (uint32_t{file[i + 7]} << 8) | file[i + 8];
      return true;
    }
  }
  return false;
}

// One frame: its own head, then the base image's bytes.
inline bool WriteFrame(const std::string& path, const std::vector<unsigned char>& head,
                       const std::vector<unsigned char>& body) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  iovec parts[2] = {{const_cast<unsigned char*>(head.data()), head.size()},
                    {const_cast<unsigned char*>(body.data()), body.size()}};
  const ssize_t want = static_cast<ssize_t>(head.size() + body.size());
  const bool ok = writev(fd, parts, 2) == want;
  return close(fd) == 0 && ok;
}

#endif  // EXIFCHECK_BENCH_BASE_JPEG_H_
