// What the image readers of both systems share, once each has opened a
// file and taken its size: the choice between head and tail or the whole
// file, and the reads that fill them. For the sources of this folder only.
#ifndef EXIFCHECK_PLATFORM_FILE_PARTS_H_
#define EXIFCHECK_PLATFORM_FILE_PARTS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace platform {

/// Reads exactly `size` bytes from `offset` into `data`; false when the file
/// ends early or a read fails.
using ReadAt = std::function<bool(unsigned char* data, std::size_t size, std::uint64_t offset)>;

/// Sets `why` and returns `result`.
FileRead FailedRead(FileRead result, const std::string& why_text, std::string* why);

/// Reads an open file of `size` bytes through `read_at` and hands it to
/// `consume` as ReadImageFile promises. `read_tail`, when not null, tells
/// whether the consumer asked for the tail.
FileRead ReadSizedFile(std::uint64_t size, std::uint32_t head, std::uint32_t tail,
                       const ReadAt& read_at, const PartsConsumer& consume, std::string* why,
                       bool* read_tail = nullptr);

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_FILE_PARTS_H_
