// What an image file read hands its consumer, recorded for the file-read
// tests of every system.
#ifndef EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_
#define EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "read/file_parts.h"

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
  std::vector<FileBytes> calls;          // pointers are stale after the read
  std::vector<ByteVector> heads, tails;  // copies of what they pointed to
};

/// Reads `path` with a consumer that asks for the tail first, when there is
/// one to ask for, then for the whole file, `refusals` times in all.
inline Delivered ReadParts(const std::string& path, std::uint32_t head, std::uint32_t tail,
                           int refusals = 0) {
  Delivered out;
  out.result = reading::ReadFileParts(
      path, reading::ReadPlan{head, false}, tail,
      [&](const FileBytes& parts) -> std::optional<ByteRequest> {
        out.calls.push_back(parts);
        out.heads.emplace_back(parts.head, parts.head + parts.head_size);
        out.tails.emplace_back(parts.tail, parts.tail + parts.tail_size);
        if (static_cast<int>(out.calls.size()) > refusals) return std::nullopt;
        if (parts.tail_size == 0) return ByteRequest{true, 0, 0};
        return ByteRequest{false, 0, parts.size};
      },
      &out.why);
  return out;
}

/// A file that cannot be read, and what a read of it must answer.
struct Unreadable {
  std::string path;
  platform::FileRead result;
  const char* why;
};

/// Reads each file and expects its answer, its reason and no call of the
/// consumer.
inline void ExpectUnreadable(const std::vector<Unreadable>& cases) {
  for (const Unreadable& c : cases) {
    const Delivered got = ReadParts(c.path, 16, 4);
    EXPECT_EQ(got.result, c.result) << c.path;
    EXPECT_EQ(got.why, c.why) << c.path;
    EXPECT_TRUE(got.calls.empty()) << c.path;
  }
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_READ_PARTS_H_
