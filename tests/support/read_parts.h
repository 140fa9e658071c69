// What an image file read hands its consumer, recorded for the file-read
// tests of every system.
#ifndef EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_
#define EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace testsupport {

using ByteVector = std::vector<unsigned char>;

/// A byte pattern whose period (251) is no power of two, so a misplaced
/// piece or an offset error shows as wrong bytes.
inline ByteVector Pattern(std::size_t size) {
  ByteVector bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i % 251);
  return bytes;
}

struct Delivered {
  platform::FileRead result = platform::FileRead::kRead;
  std::string why;
  std::vector<platform::FileParts> calls;  // pointers are stale after the read
  std::vector<ByteVector> heads, tails;     // copies of what they pointed to
};

/// Reads `path` with a consumer that asks for the whole file `refusals` times.
inline Delivered ReadParts(const std::string& path, std::uint32_t head, std::uint32_t tail,
                           int refusals = 0) {
  Delivered out;
  out.result = platform::ReadImageFile(
      path, head, tail,
      [&](const platform::FileParts& parts) {
        out.calls.push_back(parts);
        out.heads.emplace_back(parts.head, parts.head + parts.head_size);
        out.tails.emplace_back(parts.tail, parts.tail + parts.tail_size);
        return static_cast<int>(out.calls.size()) > refusals;
      },
      &out.why);
  return out;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_
