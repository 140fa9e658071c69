// Windows: image files handed to the checks, through the C runtime's own
// calls. A large file is read as its head and its tail, and whole only when
// the reader asks for more. Reads, not a mapped view: an I/O error on a view
// (a USB drive pulled, a share dropping, a bad sector) raises an in-page
// exception that ends the run, where a read simply fails and the file is
// told as unread.
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// 2 GiB: the largest size a signed 32-bit file position can tell. ftell
// gives a 32-bit long here, so sizes are taken with the 64-bit calls.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

// The longest path the narrow calls take, its terminating NUL included.
constexpr std::size_t kMaxPath = 260;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

FileRead Failed(FileRead result, const std::string& reason, std::string* why) {
  *why = reason;
  return result;
}

bool ReadAt(std::FILE* file, unsigned char* data, std::size_t size, std::uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0 &&
         std::fread(data, 1, size, file) == size;
}

const char kShrank[] = "read short: the file changed while it was read, or the disk failed";

// Why a file the enumeration listed does not open.
FileRead OpenFailed(const std::string& path, int error, std::string* why) {
  struct _stat64 st;
  if (_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR) {
    return Failed(FileRead::kNotAFile, "a folder", why);
  }
  if (error == EACCES) {
    return Failed(FileRead::kCannotOpen,
                  "cannot be opened: another program holds it, or no permission", why);
  }
  return Failed(FileRead::kCannotOpen, std::string("cannot be opened: ") + std::strerror(error),
                why);
}

FileRead ReadOpened(std::FILE* file, std::uint32_t head, std::uint32_t tail,
                    const PartsConsumer& consume, std::string* why) {
  // The reads go straight into our buffers, not through the runtime's.
  std::setvbuf(file, nullptr, _IONBF, 0);
  // A device name such as NUL or COM1 opens too, but holds no image.
  struct _stat64 st;
  if (_fstat64(_fileno(file), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    return Failed(FileRead::kNotAFile, "a device", why);
  }
  if (_fseeki64(file, 0, SEEK_END) != 0) return Failed(FileRead::kReadShort, kShrank, why);
  const __int64 end = _ftelli64(file);
  if (end < 0) return Failed(FileRead::kReadShort, kShrank, why);
  const std::uint64_t size = static_cast<std::uint64_t>(end);
  if (size >= kMaxImageSize) return Failed(FileRead::kTooLarge, "2 GiB or larger", why);
  const auto length = static_cast<std::uint32_t>(size);

  // Not value-initialised: every byte is overwritten by the read.
  std::unique_ptr<unsigned char[]> whole;
  if (!kReadsWholeFiles && std::uint64_t{head} + tail < size) {
    std::unique_ptr<unsigned char[]> ends(new unsigned char[std::size_t{head} + tail]);
    if (!ReadAt(file, ends.get(), head, 0) || !ReadAt(file, ends.get() + head, tail, length - tail)) {
      return Failed(FileRead::kReadShort, kShrank, why);
    }
    if (consume(FileParts{ends.get(), head, ends.get() + head, tail, length})) return FileRead::kRead;
    // The head is read already; only the rest is read again.
    whole.reset(new unsigned char[length]);
    std::memcpy(whole.get(), ends.get(), head);
    if (!ReadAt(file, whole.get() + head, length - head, head)) {
      return Failed(FileRead::kReadShort, kShrank, why);
    }
  } else {
    whole.reset(new unsigned char[length]);
    if (!ReadAt(file, whole.get(), length, 0)) return Failed(FileRead::kReadShort, kShrank, why);
  }
  consume(FileParts{whole.get(), length, whole.get(), length, length});
  return FileRead::kRead;
}

}  // namespace

FileRead ReadImageFile(const std::string& path, std::uint32_t head, std::uint32_t tail,
                       const PartsConsumer& consume, std::string* why) {
  // The enumeration hands out '?' for each character of a name that the
  // code page lacks, and '?' is in no Windows file name: no such name opens.
  if (path.find('?') != std::string::npos) {
    return Failed(FileRead::kCannotOpen,
                  "its name has characters outside the system's code page", why);
  }
  if (std::strlen(path.c_str()) >= kMaxPath) {
    return Failed(FileRead::kCannotOpen, "its path is longer than Windows paths may be (259)",
                  why);
  }
  if (_access(path.c_str(), 0) != 0) return Failed(FileRead::kMissing, "no longer there", why);
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return OpenFailed(path, errno, why);
  return ReadOpened(file.get(), head, tail, consume, why);
}

}  // namespace platform
