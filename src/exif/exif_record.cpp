// The EXIF record, its reset state, and the location of the EXIF payload in
// a JPEG file held in memory.
#include "exif/exif_record.h"

#include <cstring>

namespace {

// Returns the position just past the last FF D9 pair of the file, or 0 when
// there is none. Only pairs from bytes 1-2 on are tested: bytes 0-1 are the
// start marker.
uint32_t find_end_marker(const unsigned char* data, uint32_t length) {
  for (uint32_t n = length; n >= 3; --n) {
    if (data[n - 2] == 0xFF && data[n - 1] == 0xD9) return n;
  }
  return 0;
}

// A plain byte search for FF E1 before `end`, not a walk over segment
// headers: the first pair wins, wherever it sits. Returns end - 1 when there
// is none.
uint32_t find_app1_marker(const unsigned char* data, uint32_t end) {
  if (end < 2) return 0;
  // A file without EXIF data is searched to its end: memchr finds the FF
  // bytes some thirty times faster than a loop over every byte.
  const uint32_t last = end - 1;  // a pair starts before it
  uint32_t i = 0;
  while (i < last) {
    const void* hit = std::memchr(data + i, 0xFF, last - i);
    if (hit == nullptr) return last;
    i = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - data);
    if (data[i + 1] == 0xE1) return i;
    ++i;
  }
  return last;
}

}  // namespace

// The member initialisers hold the reset values, so reset() can build on the
// constructor.
ExifRecord::ExifRecord() = default;

void ExifRecord::reset() { *this = ExifRecord(); }

ExifResult ExifRecord::read_jpeg(const unsigned char* data, uint32_t length) {
  if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    return exif_result::not_jpeg;
  }
  // Everything from the end marker on (padding, appended data) is ignored.
  const uint32_t end = find_end_marker(data, length);
  if (end == 0) return exif_result::not_jpeg;
  reset();

  const uint32_t app1 = find_app1_marker(data, end);
  if (uint64_t{app1} + 4 > end) return exif_result::no_exif_data;
  const uint32_t segment_length = (uint32_t{data[app1 + 2]} << 8) | data[app1 + 3];
  if (uint64_t{app1} + 2 + segment_length > end || segment_length < 16) {
    return exif_result::bad_structure;
  }
  // The length field only vets the segment: the payload handed on runs to
  // the end marker, and every bound of the walk is the distance to it.
  const uint32_t payload = app1 + 4;
  return read_exif_payload(data + payload, end - payload);
}

Rational read_rational(const unsigned char* p, bool little_endian) {
  Rational r;
  r.numerator = read_u32(p, little_endian);
  r.denominator = read_u32(p + 4, little_endian);
  return r;
}

double rational_to_double(uint32_t numerator, uint32_t denominator) {
  // A zero denominator means "unknown" in practice; never divide by it.
  if (denominator == 0) return 0.0;
  return static_cast<double>(numerator) / static_cast<double>(denominator);
}
