// Windows paths and folders, on the C runtime's own calls: _access, _mkdir
// and the _findfirst64i32 enumeration. Folders are listed in the order the
// system delivers them, "." and ".." included. The enumeration gives no
// identity of a folder, so no two are known to be the same; a link that
// leads back in ends where the path grows too long. A file's identity comes
// from its handle. Image files are read in file_read_win32.cpp, error.json
// and the page are written in replace_file_win32.cpp.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/paths_win32.h"
#include "platform/platform.h"
#include "platform/system_message_win32.h"

namespace platform {

std::string SystemMessage(unsigned long code) {
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

const char kPathSeparator = '\\';
const char kPathSeparators[] = "\\/";

bool PathExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

bool IsFolder(const std::string& path) {
  struct _stat64 st;
  return _stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR;
}

void MakeFolder(const std::string& path) { (void)_mkdir(path.c_str()); }

FileId IdentifyFile(const std::string& path, bool follow_link) {
  FileId id;
  // No access asked for: the identity is there even for a file another
  // program holds open, a browser showing the page, say.
  const HANDLE file = CreateFileA(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (follow_link ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
      nullptr);
  if (file == INVALID_HANDLE_VALUE) return id;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info)) {
    id.known = true;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  CloseHandle(file);
  return id;
}

std::string ErrorText(int code) {
  char text[256] = "";
  if (strerror_s(text, sizeof text, code) != 0 || text[0] == '\0') {
    return "error " + std::to_string(code);
  }
  return text;
}

bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries,
                std::string* why) {
  entries->clear();
  *id = FolderId();
  // "*.*" matches every name, with or without a dot.
  const std::string pattern = std::string(folder.c_str()) + "\\*.*";
  struct _finddata64i32_t found;
  const intptr_t search = _findfirst64i32(pattern.c_str(), &found);
  if (search == -1) {
    // The enumeration says "no such file" for a missing folder and for a
    // file, and "invalid argument" for a name it cannot take.
    if (why != nullptr) {
      *why = errno == ENOENT && TooLongForNarrowCalls(pattern) ? kPathTooLong : ErrorText(errno);
    }
    return false;
  }
  do {
    FolderEntry item;
    item.name = found.name;
    item.is_folder = (found.attrib & _A_SUBDIR) != 0;
    entries->push_back(std::move(item));
  } while (_findnext64i32(search, &found) == 0);
  _findclose(search);
  return true;
}

// Text mode has dropped the CR of every CR LF already.
void DropTextModeCarriageReturn(std::string* /*line*/, bool /*ended_by_newline*/) {}

std::string NamesCharset() {
  // The narrow names the runtime hands out are in the ANSI code page.
  switch (GetACP()) {
    case 936: return "gbk";
    case 950: return "big5";
    case 932: return "shift_jis";
    case 949: return "euc-kr";
    case 65001: return "utf-8";
    default: return "windows-" + std::to_string(GetACP());
  }
}

}  // namespace platform
