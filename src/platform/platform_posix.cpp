// POSIX paths, folders and files' identities. Directory listings are sorted
// by name because readdir has no order of its own, and links are followed
// the way the Windows enumeration reports them: as what they lead to. Image
// files are read in file_read_posix.cpp, error.json and the page are written
// in replace_file_posix.cpp.
#include <dirent.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '/';
const char kPathSeparators[] = "/";

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeFolder(const std::string& path) { (void)mkdir(path.c_str(), 0777); }

FileId IdentifyFile(const std::string& path, bool follow_link) {
  FileId id;
  struct stat st;
  if ((follow_link ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) == 0) {
    id.known = true;
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
  }
  return id;
}

namespace {

// strerror_r has two forms: the GNU one returns the text, which need not be
// in the buffer; the XSI one fills the buffer and returns 0.
[[maybe_unused]] const char* ErrorTextOf(const char* gnu_text, const char* /*buffer*/) {
  return gnu_text;
}
[[maybe_unused]] const char* ErrorTextOf(int xsi_result, const char* buffer) {
  return xsi_result == 0 ? buffer : nullptr;
}

// d_type saves a stat per entry on most filesystems; links and filesystems
// that do not fill it in need one to learn what the name leads to.
bool EntryIsFolder(const std::string& folder, const dirent& entry) {
#ifdef DT_DIR
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
#endif
  struct stat st;
  if (stat(JoinPath(folder, entry.d_name).c_str(), &st) != 0) return false;  // broken link
  return S_ISDIR(st.st_mode);
}

}  // namespace

bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries,
                std::string* why) {
  entries->clear();
  *id = FolderId();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    if (why != nullptr) *why = ErrorText(errno);
    return false;
  }
  struct stat st;
  if (fstat(dirfd(dir), &st) == 0) {
    id->known = true;
    id->volume = static_cast<std::uint64_t>(st.st_dev);
    id->index = static_cast<std::uint64_t>(st.st_ino);
  }
  // The C string of the folder is what opendir saw; join names to that.
  const std::string base = folder.c_str();
  while (const dirent* entry = readdir(dir)) {
    FolderEntry item;
    item.name = entry->d_name;
    item.is_folder = EntryIsFolder(base, *entry);
    entries->push_back(std::move(item));
  }
  closedir(dir);
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

std::string ErrorText(int code) {
  char buffer[256] = "";
  const char* text = ErrorTextOf(strerror_r(code, buffer, sizeof buffer), buffer);
  if (text == nullptr || *text == '\0') return "error " + std::to_string(code);
  return text;
}

void DropTextModeCarriageReturn(std::string* line, bool ended_by_newline) {
  if (ended_by_newline && !line->empty() && line->back() == '\r') line->pop_back();
}

std::string NamesCharset() {
  // Names are bytes here; the locale says how the user's programs show them.
  std::string charset = nl_langinfo(CODESET);
  for (char& c : charset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (charset == "utf-8" || charset == "utf8" || charset == "ansi_x3.4-1968") return "utf-8";
  if (charset == "gb2312" || charset == "gbk") return "gbk";
  return charset;
}

}  // namespace platform
