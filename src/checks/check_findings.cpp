// File names of reported images.
#include "checks/check_findings.h"

#include "platform/platform.h"

std::string FileNameFromPath(const std::string& path) {
  // On Windows both slashes end a folder name; on POSIX only '/' does, and
  // x\y.jpg is one file of that name, reported as such.
  const std::string::size_type last = path.find_last_of(platform::kPathSeparators);
  return last == std::string::npos ? path : path.substr(last + 1);
}
