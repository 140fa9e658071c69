// find_thumbnail over any bytes as the head of a file that may go on past
// them: it reads nothing past the head (a heap block of exactly its size),
// and a place it finds lies in the file and is never larger than an APP1
// segment can hold, whatever size the directories claim.
//
// Input: a 16-bit selector (least significant byte first) that picks the
// head size among 0 to the bytes that follow, a 16-bit count of bytes the
// file runs on past them, in KiB, then the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "exif/thumbnail.h"

namespace {
constexpr size_t kSelectors = 4;
// The most a segment holds: its 16-bit length counts itself.
constexpr uint64_t kLargestPayload = 65535 - 2;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSelectors || size - kSelectors > UINT32_MAX / 2) return 0;
  const size_t length = size - kSelectors;
  const size_t head = (data[0] | size_t{data[1]} << 8U) % (length + 1);
  const uint64_t file_size = length + (uint64_t{data[2]} | uint64_t{data[3]} << 8U) * 1024;
  std::unique_ptr<unsigned char[]> block(new unsigned char[head == 0 ? 1 : head]);
  if (head > 0) std::memcpy(block.get(), data + kSelectors, head);

  ThumbnailPlace place;
  bool needs_more = false;
  if (!find_thumbnail(block.get(), static_cast<uint32_t>(head), static_cast<uint32_t>(file_size),
                      &place, &needs_more)) {
    return 0;
  }
  if (place.size == 0 || place.size > kLargestPayload) std::abort();
  if (uint64_t{place.offset} + place.size > file_size) std::abort();
  return 0;
}
