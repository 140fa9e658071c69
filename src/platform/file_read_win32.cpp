// Windows: image files handed to the checks, through the C runtime's own
// calls. A large file is read as its head, then exactly the pieces the
// reader asks for. Reads, not a mapped view: an I/O error on a view
// (a USB drive pulled, a share dropping, a bad sector) raises an in-page
// exception that ends the run, where a read simply fails and the file is
// told as unread.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file_parts.h"
#include "platform/paths_win32.h"
#include "platform/platform.h"

namespace platform {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Why a file the enumeration listed does not open.
FileRead OpenFailed(const std::string& path, int error, std::string* why) {
  struct _stat64 st;
  if (_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR) {
    return FailedRead(FileRead::kNotAFile, "a folder", why);
  }
  if (error == EACCES) {
    return FailedRead(FileRead::kCannotOpen,
                      "cannot be opened: another program holds it, or no permission", why);
  }
  return FailedRead(FileRead::kCannotOpen, std::string("cannot be opened: ") + std::strerror(error),
                    why);
}

FileRead ReadOpened(std::FILE* file, std::uint32_t head, std::uint32_t tail,
                    const PartsConsumer& consume, std::string* why) {
  // The reads go straight into our buffers, not through the runtime's.
  std::setvbuf(file, nullptr, _IONBF, 0);
  // A device name such as NUL or COM1 opens too, but holds no image.
  struct _stat64 st;
  if (_fstat64(_fileno(file), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    return FailedRead(FileRead::kNotAFile, "a device", why);
  }
  // ftell gives a 32-bit long here, so the size is taken with the 64-bit calls.
  const __int64 end = _fseeki64(file, 0, SEEK_END) == 0 ? _ftelli64(file) : -1;
  if (end < 0) return FailedRead(FileRead::kReadShort, std::strerror(errno), why);
  const auto read_at = [file](unsigned char* data, std::size_t size, std::uint64_t offset) {
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0 &&
           std::fread(data, 1, size, file) == size;
  };
  return ReadSizedFile(static_cast<std::uint64_t>(end), head, tail, read_at, consume, why);
}

}  // namespace

FileRead ReadImageFile(const std::string& path, std::uint32_t head, std::uint32_t tail,
                       const PartsConsumer& consume, std::string* why, bool* waited) {
  // Windows cannot read without waiting, so it cannot tell: every read may
  // have waited, and the reads in flight start at once.
  if (waited != nullptr) *waited = true;
  // The enumeration hands out '?' for each character of a name that the
  // code page lacks, and '?' is in no Windows file name: no such name opens.
  if (path.find('?') != std::string::npos) {
    return FailedRead(FileRead::kCannotOpen,
                      "its name has characters outside the system's code page", why);
  }
  if (TooLongForNarrowCalls(path)) return FailedRead(FileRead::kCannotOpen, kPathTooLong, why);
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    // Asked only once the open failed: on a share every request waits.
    const int error = errno;
    if (_access(path.c_str(), 0) != 0)
      return FailedRead(FileRead::kMissing, "no longer there", why);
    return OpenFailed(path, error, why);
  }
  return ReadOpened(file.get(), head, tail, consume, why);
}

}  // namespace platform
