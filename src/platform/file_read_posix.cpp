// POSIX: image files handed to the checks. The reader looks at a few
// kilobytes of a frame, mostly at its head, so a large file is read as its
// head, then exactly the pieces the reader asks for. While a check walks its
// list on a cold cache, the kernel is told which heads come next, so the
// disk serves several requests at once.
// Reads, not a mapping: a fault on a mapping reads ahead by the device's
// read-ahead window (8 MiB on some disks, so a whole frame), and a file cut
// while mapped would end the run with SIGBUS. A read that comes up short is
// simply a file that could not be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
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

// Reads what it can of `size` bytes from `offset` without waiting for the
// disk, and tells how many. `cold` is set when that was less than all of
// them. A system or file system that cannot tell says warm: hints are then
// never paid for.
std::size_t ReadCached(int fd, unsigned char* data, std::size_t size, off_t offset, bool* cold) {
  iovec part{data, size};
  ssize_t got = -1;
  do {
    got = preadv2(fd, &part, 1, offset, RWF_NOWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    *cold = errno == EAGAIN;
    return 0;
  }
  *cold = static_cast<std::size_t>(got) < size;
  return static_cast<std::size_t>(got);
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

// What a read tells the list reader: whether its first read found the
// cache cold, and whether the file's tail was asked for.
struct ReadSeen {
  bool cold = false;
  bool tail = false;
};

// `seen`, when not null, receives what the read found.
FileRead ReadOpened(int fd, std::uint32_t head, std::uint32_t tail, const PartsConsumer& consume,
                    ReadSeen* seen, std::string* why) {
  struct stat st;
  if (fstat(fd, &st) != 0) return FailedRead(FileRead::kReadShort, std::strerror(errno), why);
  if (!S_ISREG(st.st_mode)) return FailedRead(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
  // Once the list reader knows the cache is cold, a probe would only add a
  // system call to every read.
  bool* cold = seen == nullptr || seen->cold ? nullptr : &seen->cold;
  const auto read_at = [fd, &cold](unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    if (cold != nullptr) {
      // The probe is the first read itself: a cold one goes on from where it stopped.
      done = ReadCached(fd, data, size, static_cast<off_t>(offset), cold);
      cold = nullptr;
    }
    return ReadFully(fd, data + done, size - done, static_cast<off_t>(offset + done));
  };
  return ReadSizedFile(static_cast<std::uint64_t>(st.st_size), head, tail, read_at, consume, why,
                       seen == nullptr ? nullptr : &seen->tail);
}

FileRead ReadPath(const std::string& path, std::uint32_t head, std::uint32_t tail,
                  const PartsConsumer& consume, ReadSeen* seen, std::string* why) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailed(path, errno, why);
  const FileRead result = ReadOpened(fd, head, tail, consume, seen, why);
  close(fd);
  return result;
}

// Tells the kernel to read the heads of the files up to `last` now, and
// their tails when the last file read needed its tail: a survey's frames
// are alike. Each is opened for that alone and closed again: the read at
// its turn opens it by its path, so a file that vanishes or changes
// meanwhile is told as today, and at most one more file is open. The
// kernel reads exactly the ranges asked for, where a read would pull in
// its whole read-ahead window.
void FetchAhead(ListReader& reader, std::size_t last, bool tails) {
  const std::size_t end = std::min(last + 1, reader.paths->size());
  for (; reader.asked_to < end; ++reader.asked_to) {
    const int fd =
        open((*reader.paths)[reader.asked_to].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // its turn says why
    posix_fadvise(fd, 0, reader.head, POSIX_FADV_WILLNEED);
    struct stat st;
    if (tails && fstat(fd, &st) == 0 && st.st_size > off_t{reader.head} + reader.tail) {
      posix_fadvise(fd, st.st_size - reader.tail, reader.tail, POSIX_FADV_WILLNEED);
    }
    close(fd);
  }
}

}  // namespace

void ClosePendingHeads(PendingHeads*) {}

FileRead ReadImageFile(const std::string& path, std::uint32_t head, std::uint32_t tail,
                       const PartsConsumer& consume, std::string* why) {
  return ReadPath(path, head, tail, consume, nullptr, why);
}

FileRead ReadListedImage(ListReader& reader, std::size_t index, const PartsConsumer& consume,
                         std::string* why) {
  reader.asked_to = std::max(reader.asked_to, index + 1);
  // A warm cache pays one probe per file and no hints.
  ReadSeen seen;
  seen.cold = reader.cold;
  const FileRead result = ReadPath((*reader.paths)[index], reader.head, reader.tail, consume,
                                   reader.window == 0 ? nullptr : &seen, why);
  reader.cold = reader.cold || seen.cold;
  if (reader.cold) FetchAhead(reader, index + reader.window, seen.tail);
  return result;
}

}  // namespace platform
