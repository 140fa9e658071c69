// The longest path Windows' narrow calls take, shared by the Windows sources
// of this folder that test for it.
#ifndef EXIFCHECK_PLATFORM_PATHS_WIN32_H_
#define EXIFCHECK_PLATFORM_PATHS_WIN32_H_

#include <cstddef>
#include <cstring>
#include <string>

namespace platform {

/// MAX_PATH: 259 characters and the terminating NUL.
constexpr std::size_t kMaxNarrowPath = 260;

/// Whether `path`, up to a NUL as the system sees it, is too long for them.
inline bool TooLongForNarrowCalls(const std::string& path) {
  return std::strlen(path.c_str()) >= kMaxNarrowPath;
}

/// What the tool says of such a path.
constexpr char kPathTooLong[] = "its path is longer than Windows paths may be (259)";

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_PATHS_WIN32_H_
