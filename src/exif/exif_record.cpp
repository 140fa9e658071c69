// The EXIF record, its reset state, and the location of the EXIF payload in
// a JPEG file held in memory.
#include "exif/exif_record.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "exif/exif_walk.h"

namespace {

// An APP1 segment starts with FF E1 and a 16-bit length that counts itself;
// a shorter one cannot hold "Exif\0\0" and a TIFF header.
constexpr uint64_t kMarkerAndLength = 4;
constexpr uint32_t kShortestApp1 = 16;

// The position just past the last FF D9 pair of the file, or 0 when there
// is none. Only pairs from bytes 1-2 on are tested: bytes 0-1 are the start
// marker. The search runs over the tail; empty when it would have to go on
// before the tail.
std::optional<uint32_t> find_end_marker(const FileBytes& f) {
  const uint32_t tail_start = f.size - f.tail_size;
  const uint64_t lowest = std::max<uint64_t>(3, uint64_t{tail_start} + 2);
  for (uint64_t n = f.size; n >= lowest; --n) {
    const unsigned char* pair = f.tail + (n - 2 - tail_start);
    if (pair[0] == 0xFF && pair[1] == 0xD9) return static_cast<uint32_t>(n);
  }
  if (tail_start <= 1) return 0;
  return std::nullopt;
}

// A plain byte search for FF E1 before `end`, not a walk over segment
// headers: the first pair wins, wherever it sits. Returns end - 1 when there
// is none; empty when the search would have to go on past the head.
std::optional<uint32_t> find_app1_marker(const FileBytes& f, uint32_t end) {
  if (end < 2) return 0;
  const uint32_t last = end - 1;  // a pair starts before it
  // Pairs that start before the head's last byte lie wholly in the head.
  const uint32_t limit = std::min(last, f.head_size == 0 ? 0 : f.head_size - 1);
  // A file without EXIF data is searched to its end: memchr finds the FF
  // bytes some thirty times faster than a loop over every byte.
  uint32_t i = 0;
  while (i < limit) {
    const void* hit = std::memchr(f.head + i, 0xFF, limit - i);
    if (hit == nullptr) break;
    i = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - f.head);
    if (f.head[i + 1] == 0xE1) return i;
    ++i;
  }
  if (limit == last) return last;
  return std::nullopt;
}

}  // namespace

// The member initialisers hold the reset values, so reset() can build on the
// constructor.
ExifRecord::ExifRecord() = default;

void ExifRecord::reset() { *this = ExifRecord(); }

ExifResult ExifRecord::read_jpeg(const unsigned char* data, uint32_t length) {
  // With the whole file at hand, needs_whole_file cannot come back.
  return read_jpeg(WholeFile(data, length));
}

ExifResult ExifRecord::read_jpeg(const FileBytes& given) {
  FileBytes f = given;
  f.head_size = std::min(f.head_size, f.size);
  f.tail_size = std::min(f.tail_size, f.size);
  if (f.head == nullptr || f.size < 4) return exif_result::not_jpeg;
  if (f.head_size < 2) return exif_result::needs_whole_file;
  if (f.head[0] != 0xFF || f.head[1] != 0xD8) return exif_result::not_jpeg;
  // Everything from the end marker on (padding, appended data) is ignored.
  const std::optional<uint32_t> end = find_end_marker(f);
  if (!end) return exif_result::needs_whole_file;
  if (*end == 0) return exif_result::not_jpeg;
  reset();

  const std::optional<uint32_t> app1 = find_app1_marker(f, *end);
  if (!app1) return exif_result::needs_whole_file;
  if (uint64_t{*app1} + kMarkerAndLength > *end) return exif_result::no_exif_data;
  if (uint64_t{*app1} + kMarkerAndLength > f.head_size) return exif_result::needs_whole_file;
  const uint32_t segment_length = read_u16(f.head + *app1 + 2, false);  // always big-endian
  if (uint64_t{*app1} + 2 + segment_length > *end || segment_length < kShortestApp1) {
    return exif_result::bad_structure;
  }
  // The length field only vets the segment: the payload handed on runs to
  // the end marker, and every bound of the walk is the distance to it.
  const uint32_t payload = *app1 + kMarkerAndLength;
  const uint32_t length = *end - payload;
  const uint32_t held = std::min(length, f.head_size - payload);
  return walk_exif_payload(PayloadBytes{f.head + payload, length, held}, *this);
}
