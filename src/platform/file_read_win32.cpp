// Windows: image files handed to the checks, through the C runtime's own
// calls. A large file is read as its head, then exactly the pieces the
// reader asks for. While a check walks its list, overlapped reads fetch the
// heads of the next files, so a cold disk serves several requests at once
// on the one thread. Reads, not a mapped view: an I/O error on a view
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
#include <deque>
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
                       const PartsConsumer& consume, std::string* why) {
  // The enumeration hands out '?' for each character of a name that the
  // code page lacks, and '?' is in no Windows file name: no such name opens.
  if (path.find('?') != std::string::npos) {
    return FailedRead(FileRead::kCannotOpen,
                      "its name has characters outside the system's code page", why);
  }
  if (TooLongForNarrowCalls(path)) return FailedRead(FileRead::kCannotOpen, kPathTooLong, why);
  if (_access(path.c_str(), 0) != 0) return FailedRead(FileRead::kMissing, "no longer there", why);
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return OpenFailed(path, errno, why);
  return ReadOpened(file.get(), head, tail, consume, why);
}

// A head read in flight for a file ahead of its turn.
struct PendingHead {
  std::size_t index = 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
  std::unique_ptr<unsigned char[]> buffer;
};

// A deque: its elements stay in place while the system writes into them.
struct PendingHeads {
  std::deque<PendingHead> reads;
};

namespace {

// Waits for the read in flight and lets the file go.
void FinishHead(PendingHead& pending) {
  DWORD got = 0;
  GetOverlappedResult(pending.file, &pending.overlapped, &got, TRUE);
  CloseHandle(pending.file);
}

// Starts the read of a file's head. A file that does not open here, or is
// no file on a disk, is left to its turn, which says why as ReadImageFile
// does. Every sharing mode is granted, so no other program is kept from the
// file while it waits.
void StartHead(PendingHeads& pending, std::size_t index, const std::string& path,
               std::uint32_t head) {
  if (path.find('?') != std::string::npos || TooLongForNarrowCalls(path)) return;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return;
  }
  pending.reads.emplace_back();
  PendingHead& read = pending.reads.back();
  read.index = index;
  read.file = file;
  read.buffer.reset(new unsigned char[head]);
  if (!ReadFile(file, read.buffer.get(), head, nullptr, &read.overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    CloseHandle(file);
    pending.reads.pop_back();
  }
}

}  // namespace

void ClosePendingHeads(PendingHeads* pending) {
  for (PendingHead& read : pending->reads) {
    CancelIoEx(read.file, &read.overlapped);
    FinishHead(read);
  }
  delete pending;
}

FileRead ReadListedImage(ListReader& reader, std::size_t index, const PartsConsumer& consume,
                         std::string* why) {
  if (reader.window > 0) {
    if (!reader.pending) reader.pending.reset(new PendingHeads);
    std::deque<PendingHead>& reads = reader.pending->reads;
    // At most the window and this file are open: what was fetched for a
    // file passed over goes first.
    while (!reads.empty() && reads.front().index < index) {
      FinishHead(reads.front());
      reads.pop_front();
    }
    const std::size_t end = std::min(index + reader.window + 1, reader.paths->size());
    for (reader.asked_to = std::max(reader.asked_to, index + 1); reader.asked_to < end;
         ++reader.asked_to) {
      StartHead(*reader.pending, reader.asked_to, (*reader.paths)[reader.asked_to], reader.head);
    }
    // Its head is in the system's cache once the read is done. The file is
    // read again by its path, as ReadImageFile reads any file, so one that
    // vanished, shrank or was locked meanwhile is told as it is now.
    if (!reads.empty() && reads.front().index == index) {
      FinishHead(reads.front());
      reads.pop_front();
    }
  }
  return ReadImageFile((*reader.paths)[index], reader.head, reader.tail, consume, why);
}

}  // namespace platform
