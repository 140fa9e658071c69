// File names of reported images.
#include "checks/check_findings.h"

std::string FileNameFromPath(std::string path) {
  // Both separators count, so names read the same whichever system made the path.
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const std::string::size_type last = path.rfind('\\');
  return last == std::string::npos ? path : path.substr(last + 1);
}
