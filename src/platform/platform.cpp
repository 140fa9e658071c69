// The platform services that read the same on every system; what differs
// lives in the _posix and _win32 sources beside this one.
#include "platform/platform.h"

#include <iostream>

namespace platform {

void Warn(const std::string& message) { std::cerr << "exifcheck: " << message << std::endl; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool SameFolder(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

}  // namespace platform
