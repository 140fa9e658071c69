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

bool SameFile(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

ReportWrite ReplaceFile(const std::string& path, const std::string& content, std::string* error,
                        LinkPolicy links) {
  ReplacementHandle replacement = BeginReplace(path, links, error);
  if (!replacement) return ReportWrite::kFailed;
  AppendToReplacement(*replacement, content.data(), content.size());
  return FinishReplace(std::move(replacement), error);
}

}  // namespace platform
