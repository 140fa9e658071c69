// POSIX: image files handed to the checks. The reader looks at a few
// kilobytes of a frame, mostly at its head, so a large file is read as its
// head, then exactly the pieces the reader asks for.
// Reads, not a mapping: a fault on a mapping reads ahead by the device's
// read-ahead window (8 MiB on some disks, so a whole frame), and a file cut
// while mapped would end the run with SIGBUS. A read that comes up short is
// simply a file that could not be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_parts.h"
#include "platform/platform.h"

namespace platform {

namespace {

// Reads exactly `size` bytes from `offset` on, unless the file ends early or
// a read fails.
bool ReadFully(int fd, unsigned char* data, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

FileRead OpenFailed(const std::string& path, int error, std::string* why) {
  struct stat st;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        return FailedRead(FileRead::kMissing, "a link to nothing", why);
      }
      return FailedRead(FileRead::kMissing, "no longer there", why);
    case ENXIO:  // a socket, or a device without its driver
      if (stat(path.c_str(), &st) == 0)
        return FailedRead(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
      break;
    default: break;
  }
  return FailedRead(FileRead::kCannotOpen, std::string("cannot be opened: ") + std::strerror(error),
                    why);
}

// Reads what it can of `size` bytes from `offset` without waiting for the
// storage, and tells how many; `waited` is set when that was not all of
// them. A file system that cannot tell (a share, a FUSE mount) is taken as
// one that waits: reading ahead is what such storage needs.
std::size_t ReadCached(int fd, unsigned char* data, std::size_t size, off_t offset, bool* waited) {
  iovec part{data, size};
  ssize_t got = -1;
  do {
    got = preadv2(fd, &part, 1, offset, RWF_NOWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0) got = 0;
  if (static_cast<std::size_t>(got) < size) *waited = true;
  return static_cast<std::size_t>(got);
}

FileRead ReadOpened(int fd, std::uint32_t head, std::uint32_t tail, const PartsConsumer& consume,
                    std::string* why, bool* waited) {
  struct stat st;
  if (fstat(fd, &st) != 0) return FailedRead(FileRead::kReadShort, std::strerror(errno), why);
  if (!S_ISREG(st.st_mode)) return FailedRead(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
  const auto read_at = [fd, &waited](unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    if (waited != nullptr) {
      // The probe is the first read itself: a cold one goes on from where it stopped.
      done = ReadCached(fd, data, size, static_cast<off_t>(offset), waited);
      waited = nullptr;
    }
    return ReadFully(fd, data + done, size - done, static_cast<off_t>(offset + done));
  };
  return ReadSizedFile(static_cast<std::uint64_t>(st.st_size), head, tail, read_at, consume, why);
}

}  // namespace

FileRead ReadImageFile(const std::string& path, std::uint32_t head, std::uint32_t tail,
                       const PartsConsumer& consume, std::string* why, bool* waited) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailed(path, errno, why);
  const FileRead result = ReadOpened(fd, head, tail, consume, why, waited);
  close(fd);
  return result;
}

}  // namespace platform
