// POSIX: image files opened for reads at any offset. Reads, not a mapping:
// a fault on a mapping reads ahead by the device's read-ahead window (8 MiB
// on some disks, so a whole frame), and a file cut while mapped would end
// the run with SIGBUS. A read that comes up short is simply a file that
// could not be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/image_file_posix.h"
#include "platform/platform.h"

namespace platform {

namespace {

FileRead Failed(FileRead result, const std::string& why_text, std::string* why) {
  *why = why_text;
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
      if (stat(path.c_str(), &st) == 0)
        return Failed(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
      break;
    default: break;
  }
  return Failed(FileRead::kCannotOpen, "cannot be opened: " + ErrorText(error), why);
}

}  // namespace

void CloseImageFile(ImageFile* file) {
  if (file == nullptr) return;
  if (file->fd >= 0) close(file->fd);
  delete file;
}

FileRead OpenImageFile(const std::string& path, ImageFileHandle* file, std::uint64_t* size,
                       std::string* why, bool at_random) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailed(path, errno, why);
  ImageFileHandle opened(new ImageFile{fd}, CloseImageFile);
  struct stat st;
  if (fstat(fd, &st) != 0) return Failed(FileRead::kReadShort, ErrorText(errno), why);
  if (!S_ISREG(st.st_mode)) return Failed(FileRead::kNotAFile, KindOfFile(st.st_mode), why);
  // Without this the kernel reads 64 KiB or more ahead of a 16 KiB head:
  // three times the bytes a card reader must deliver. A file system that
  // ignores the advice reads as before.
  if (at_random) (void)posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  *size = static_cast<std::uint64_t>(st.st_size);
  *file = std::move(opened);
  return FileRead::kRead;
}

// In steps: on a FUSE mount one piece of advice fetched a single read-ahead
// window, and a 4 MB frame read whole then took twice as long as with no
// advice at all; advised a window at a time, a tenth.
constexpr std::size_t kAdviceStep = std::size_t{128} * 1024;

void PrefetchImageRange(ImageFile& file, std::uint64_t offset, std::size_t size) {
  for (std::size_t done = 0, step = 0; done < size; done += step) {
    step = size - done < kAdviceStep ? size - done : kAdviceStep;
    (void)posix_fadvise(file.fd, static_cast<off_t>(offset + done), static_cast<off_t>(step),
                        POSIX_FADV_WILLNEED);
  }
}

bool ReadImageAt(ImageFile& file, unsigned char* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(file.fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace platform
