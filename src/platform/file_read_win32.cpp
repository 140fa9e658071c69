// Windows: image files handed to the checks.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for ReplaceFileA; ours is a function.
#undef ReplaceFile

#include <io.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace platform {

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell. ftell
// gives a 32-bit long here, so sizes are taken with the 64-bit calls.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The whole file by one fread into a buffer, as the C runtime reads it.
FileRead ReadPlain(const std::string& path, const FileConsumer& consume) {
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return FileRead::kUnreadable;
  // A device name such as NUL or COM1 opens too, but holds no image.
  struct _stat64 st;
  if (_fstat64(_fileno(file.get()), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    return FileRead::kUnreadable;
  }
  if (_fseeki64(file.get(), 0, SEEK_END) != 0) return FileRead::kUnreadable;
  const __int64 end = _ftelli64(file.get());
  if (end < 0) return FileRead::kUnreadable;
  const std::uint64_t size = static_cast<std::uint64_t>(end);
  if (size >= kMaxImageSize) return FileRead::kTooLarge;
  std::rewind(file.get());
  // Not value-initialised: every byte is overwritten by the read.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
  if (std::fread(buffer.get(), 1, size, file.get()) != size) return FileRead::kUnreadable;
  consume(buffer.get(), static_cast<std::uint32_t>(size));
  return FileRead::kRead;
}

#if !EXIFCHECK_PLAIN_READ

struct HandleCloser {
  void operator()(void* handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct ViewCloser {
  void operator()(const void* view) const { UnmapViewOfFile(view); }
};
using View = std::unique_ptr<const void, ViewCloser>;

enum class Mapped { kRead, kTooLarge, kNotMapped };

// The reader looks at a few kilobytes of each image, its head and its tail,
// so mapping costs a few page faults where a plain read copies the file.
// The mapping is made with the size taken before it, so a file that shrank
// in between is refused and read plainly; once mapped, Windows refuses to
// cut the file below the view, so every byte of it stays readable.
Mapped ReadMapped(const std::string& path, const FileConsumer& consume) {
  // Shared the way fopen shares: a file another program writes still reads.
  const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Mapped::kNotMapped;
  const Handle file(opened);
  LARGE_INTEGER size;
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size) ||
      size.QuadPart <= 0) {
    return Mapped::kNotMapped;  // empty files cannot be mapped
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(size.QuadPart);
  if (bytes >= kMaxImageSize) return Mapped::kTooLarge;
  const Handle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0,
                                          static_cast<DWORD>(bytes), nullptr));
  if (!mapping) return Mapped::kNotMapped;
  const View view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(bytes)));
  if (!view) return Mapped::kNotMapped;
  consume(static_cast<const unsigned char*>(view.get()), static_cast<std::uint32_t>(bytes));
  return Mapped::kRead;
}

#endif  // !EXIFCHECK_PLAIN_READ

}  // namespace

FileRead ReadWholeFile(const std::string& path, const FileConsumer& consume) {
  if (_access(path.c_str(), 0) != 0) return FileRead::kUnreadable;
#if !EXIFCHECK_PLAIN_READ
  switch (ReadMapped(path, consume)) {
    case Mapped::kRead:
      return FileRead::kRead;
    case Mapped::kTooLarge:
      return FileRead::kTooLarge;
    case Mapped::kNotMapped:
      break;
  }
#endif
  return ReadPlain(path, consume);
}

}  // namespace platform
