// POSIX: image files handed to the checks. The reader looks at a few
// kilobytes of a frame, at its head and its tail, so a large file is read as
// just those two pieces, and whole only when the reader asks for more.
// Reads, not a mapping: a fault on a mapping reads ahead by the device's
// read-ahead window (8 MiB on some disks, so a whole frame), and a file cut
// while mapped would end the run with SIGBUS. A read that comes up short is
// simply a file that could not be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace platform {

#if EXIFCHECK_PLAIN_READ
const bool kReadsWholeFiles = true;
#else
const bool kReadsWholeFiles = false;
#endif

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

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

FileRead Failed(FileRead result, const std::string& reason, std::string* why) {
  *why = reason;
  return result;
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
        return Failed(FileRead::kMissing, "a link to nothing", why);
      }
      return Failed(FileRead::kMissing, "no longer there", why);
    case ENXIO:  // a socket, or a device without its driver
      if (stat(path.c_str(), &st) == 0) return Failed(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
      break;
    default:
      break;
  }
  return Failed(FileRead::kCannotOpen, std::string("cannot be opened: ") + std::strerror(error), why);
}

const char kShrank[] = "read short: the file changed while it was read, or the disk failed";

FileRead ReadOpened(int fd, std::uint32_t head, std::uint32_t tail, const PartsConsumer& consume,
                    std::string* why) {
  struct stat st;
  if (fstat(fd, &st) != 0) return Failed(FileRead::kReadShort, std::strerror(errno), why);
  if (!S_ISREG(st.st_mode)) return Failed(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (size >= kMaxImageSize) return Failed(FileRead::kTooLarge, "2 GiB or larger", why);
  const auto length = static_cast<std::uint32_t>(size);

  // Not value-initialised: every byte is overwritten by the read.
  std::unique_ptr<unsigned char[]> whole;
  if (!kReadsWholeFiles && std::uint64_t{head} + tail < size) {
    std::unique_ptr<unsigned char[]> ends(new unsigned char[std::size_t{head} + tail]);
    if (!ReadFully(fd, ends.get(), head, 0) ||
        !ReadFully(fd, ends.get() + head, tail, static_cast<off_t>(length - tail))) {
      return Failed(FileRead::kReadShort, kShrank, why);
    }
    if (consume(FileParts{ends.get(), head, ends.get() + head, tail, length})) return FileRead::kRead;
    // The head is read already; only the rest is read again.
    whole.reset(new unsigned char[length]);
    std::memcpy(whole.get(), ends.get(), head);
    if (!ReadFully(fd, whole.get() + head, length - head, static_cast<off_t>(head))) {
      return Failed(FileRead::kReadShort, kShrank, why);
    }
  } else {
    whole.reset(new unsigned char[length]);
    if (!ReadFully(fd, whole.get(), length, 0)) return Failed(FileRead::kReadShort, kShrank, why);
  }
  consume(FileParts{whole.get(), length, whole.get(), length, length});
  return FileRead::kRead;
}

}  // namespace

FileRead ReadImageFile(const std::string& path, std::uint32_t head, std::uint32_t tail,
                       const PartsConsumer& consume, std::string* why) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailed(path, errno, why);
  const FileRead result = ReadOpened(fd, head, tail, consume, why);
  close(fd);
  return result;
}

}  // namespace platform
