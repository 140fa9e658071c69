// POSIX implementation of the platform services. Directory listings are
// sorted by name because readdir has no order of its own, and links are
// followed the way the Windows enumeration reports them: as what they lead to.
// Reading an image file whole is in file_read_posix.cpp.
#include "platform/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

const char kPathSeparator = '/';

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void MakeFolder(const std::string& path) { (void)mkdir(path.c_str(), 0777); }

bool SameFolder(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

namespace {

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

bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries) {
  entries->clear();
  *id = FolderId();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  struct stat st;
  if (fstat(dirfd(dir), &st) == 0) {
    id->known = true;
    id->device = static_cast<std::uint64_t>(st.st_dev);
    id->inode = static_cast<std::uint64_t>(st.st_ino);
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

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  std::string temp = std::string(path.c_str()) + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    *error = std::string("cannot create a file beside ") + path.c_str() + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t put = write(fd, content.data() + done, content.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  const int write_errno = errno;
  const bool closed = close(fd) == 0;
  if (done < content.size() || !closed) {
    *error = std::string("cannot write ") + temp + ": " +
             std::strerror(done < content.size() ? write_errno : errno);
    unlink(temp.c_str());
    return false;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    *error = std::string("cannot replace ") + path.c_str() + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

void DropTextModeCarriageReturn(std::string* line, bool ended_by_newline) {
  if (ended_by_newline && !line->empty() && line->back() == '\r') line->pop_back();
}

}  // namespace platform
