// How this build's POSIX ReadWholeFile reads a file of a given size, so that
// tests can pick sizes on either side of the choice and know which read
// path they exercise.
#ifndef EXIFCHECK_PLATFORM_FILE_READ_POSIX_H_
#define EXIFCHECK_PLATFORM_FILE_READ_POSIX_H_

#include <cstdint>

namespace platform {

/// The smallest file ReadWholeFile maps rather than reads; smaller files,
/// and every file in a plain-read build, are read whole into a buffer.
std::uint64_t SmallestMappedFile();

/// Whether ReadWholeFile maps a regular file of `size` bytes in this build
/// (when the system lets it; a failed mapping falls back to a plain read).
bool MapsFileOfSize(std::uint64_t size);

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_FILE_READ_POSIX_H_
