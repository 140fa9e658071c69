// Windows implementation of the platform services, on the C runtime's own
// calls: _access, _mkdir, the _findfirst64i32 enumeration, fopen. Folders
// are listed in the order the system delivers them, "." and ".." included.
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

#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace platform {

const char kPathSeparator = '\\';

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool PathExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

void MakeFolder(const std::string& path) { (void)_mkdir(path.c_str()); }

// The enumeration gives no identity of a folder, so no two are known to be
// the same; a link that leads back in ends where the path grows too long.
bool SameFolder(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries) {
  entries->clear();
  *id = FolderId();
  // "*.*" matches every name, with or without a dot.
  const std::string pattern = std::string(folder.c_str()) + "\\*.*";
  struct _finddata64i32_t found;
  const intptr_t search = _findfirst64i32(pattern.c_str(), &found);
  if (search == -1) return false;
  do {
    FolderEntry item;
    item.name = found.name;
    item.is_folder = (found.attrib & _A_SUBDIR) != 0;
    entries->push_back(std::move(item));
  } while (_findnext64i32(search, &found) == 0);
  _findclose(search);
  return true;
}

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

namespace {

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length)
                                                      : "system error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  const std::string target = path.c_str();
  // The process id keeps two runs that share an output folder apart.
  const std::string temp = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  std::FILE* file = std::fopen(temp.c_str(), "wt");
  if (file == nullptr) {
    *error = "cannot create a file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + temp + ": " + std::strerror(written ? errno : write_errno);
    std::remove(temp.c_str());
    return false;
  }
  if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    *error = "cannot replace " + target + ": " + SystemMessage(GetLastError());
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// Text mode has dropped the CR of every CR LF already.
void DropTextModeCarriageReturn(std::string* /*line*/, bool /*ended_by_newline*/) {}

}  // namespace platform
