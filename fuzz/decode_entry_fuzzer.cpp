// One directory entry at a chosen position of a payload.
//
// Input: a flag byte, a 32-bit position (least significant byte first),
// then the payload. Flag bit 0 picks little-endian entries. Bit 1 takes the
// position as it stands, to reach the offsets near 2^32 where bounds sums
// wrap; otherwise it is folded into the payload and a little past its end,
// where nearly every input should land.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "exif/directory_entry.h"

namespace {
constexpr size_t kHeaderSize = 5;
constexpr uint32_t kPastEnd = 16;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize || size - kHeaderSize > std::numeric_limits<uint32_t>::max() - kPastEnd) {
    return 0;
  }
  const bool little_endian = (data[0] & 1U) != 0;
  const bool raw_position = (data[0] & 2U) != 0;
  uint32_t position = static_cast<uint32_t>(data[1]) | static_cast<uint32_t>(data[2]) << 8U |
                      static_cast<uint32_t>(data[3]) << 16U |
                      static_cast<uint32_t>(data[4]) << 24U;
  const auto length = static_cast<uint32_t>(size - kHeaderSize);
  if (!raw_position) position %= length + kPastEnd;
  // The payload ends where the fuzzer's buffer ends, so a read past
  // `length` is a heap overflow the sanitizer reports.
  decode_entry(data + kHeaderSize, length, position, little_endian);
  return 0;
}
