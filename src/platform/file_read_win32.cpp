// Windows: image files opened for reads at any offset, with
// FILE_FLAG_RANDOM_ACCESS so that the cache manager reads no more than each
// read asks for. Reads, not a mapped view: an I/O error on a view (a USB
// drive pulled, a share dropping, a bad sector) raises an in-page exception
// that ends the run, where a read simply fails and the file is told as
// unread. Reads name their offset, so reader threads share nothing.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/paths_win32.h"
#include "platform/platform.h"
#include "platform/system_message_win32.h"

namespace platform {

struct ImageFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

FileRead Failed(FileRead result, const std::string& why_text, std::string* why) {
  *why = why_text;
  return result;
}

// Why a file the enumeration listed does not open.
FileRead OpenFailed(const std::string& path, DWORD error, std::string* why) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return Failed(FileRead::kMissing, "no longer there", why);
  }
  // A folder refuses an open for reading without backup semantics.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Failed(FileRead::kNotAFile, "a folder", why);
  }
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
      error == ERROR_LOCK_VIOLATION) {
    return Failed(FileRead::kCannotOpen,
                  "cannot be opened: another program holds it, or no permission", why);
  }
  return Failed(FileRead::kCannotOpen, "cannot be opened: " + SystemMessage(error), why);
}

}  // namespace

void CloseImageFile(ImageFile* file) {
  if (file == nullptr) return;
  if (file->handle != INVALID_HANDLE_VALUE) CloseHandle(file->handle);
  delete file;
}

FileRead OpenImageFile(const std::string& path, ImageFileHandle* file, std::uint64_t* size,
                       std::string* why, bool at_random) {
  // The enumeration hands out '?' for each character of a name that the
  // code page lacks, and '?' is in no Windows file name: no such name opens.
  if (path.find('?') != std::string::npos) {
    return Failed(FileRead::kCannotOpen, "its name has characters outside the system's code page",
                  why);
  }
  if (TooLongForNarrowCalls(path)) return Failed(FileRead::kCannotOpen, kPathTooLong, why);
  // Shared for reading and writing, as the C runtime's fopen shares a file:
  // a frame another program holds without sharing stays unreadable.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (at_random ? FILE_FLAG_RANDOM_ACCESS : 0);
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailed(path, GetLastError(), why);
  ImageFileHandle opened(new ImageFile{handle}, CloseImageFile);
  // A device name such as NUL or COM1 opens too, but holds no image.
  if (GetFileType(handle) != FILE_TYPE_DISK) return Failed(FileRead::kNotAFile, "a device", why);
  LARGE_INTEGER length;
  if (!GetFileSizeEx(handle, &length) || length.QuadPart < 0) {
    return Failed(FileRead::kReadShort, SystemMessage(GetLastError()), why);
  }
  *size = static_cast<std::uint64_t>(length.QuadPart);
  *file = std::move(opened);
  return FileRead::kRead;
}

bool ReadImageAt(ImageFile& file, unsigned char* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    if (!ReadFile(file.handle, data + done, chunk, &got, &position) || got == 0) return false;
    done += got;
  }
  return true;
}

// A file handle has no read-ahead call of its own here; the tail is read at
// its turn, and the reads in flight hide its wait behind other frames'.
void PrefetchImageRange(ImageFile& /*file*/, std::uint64_t /*offset*/, std::size_t /*size*/) {}

// Windows cannot read without waiting, so it cannot tell: every read may
// have waited, and the reads in flight start with the first frame.
std::size_t ReadCachedAt(ImageFile& /*file*/, unsigned char* /*data*/, std::size_t /*size*/,
                         std::uint64_t /*offset*/, bool* waited) {
  *waited = true;
  return 0;
}

}  // namespace platform
