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

// Where the reader takes the end marker from: the position just past the
// last FF D9 pair (0 when there is none), or a lower bound on it.
struct EndMarker {
  uint32_t position = 0;
  bool exact = true;
};

// The position just past the last FF D9 pair of the file, or 0 when there
// is none. Only pairs from bytes 1-2 on are tested: bytes 0-1 are the start
// marker. The search runs back from the end over the bytes given; empty
// when it meets a byte not given first.
std::optional<uint32_t> find_end_marker(const FileBytes& f) {
  // Byte by byte: the pair may straddle two of the parts given.
  for (uint64_t n = f.size; n >= 3; --n) {
    const unsigned char* second = bytes_at(f, n - 1, 1);
    if (second == nullptr) return std::nullopt;
    if (*second != 0xD9) continue;
    const unsigned char* first = bytes_at(f, n - 2, 1);
    if (first == nullptr) return std::nullopt;
    if (*first == 0xFF) return static_cast<uint32_t>(n);
  }
  return 0;
}

// The last FF D9 pair in the head: the file's last one ends there or later.
// A camera frame carries its thumbnail's end marker inside the EXIF block,
// so this bound usually settles every test the reader makes. 0 when the
// head holds none. Forward from FF to FF with memchr: a frame without a
// thumbnail has no pair in its head, and a loop back over every byte of it
// cost more than the rest of the reader together.
uint32_t end_marker_in_head(const FileBytes& f) {
  if (f.head_size < 3) return 0;
  const uint32_t limit = f.head_size - 1;  // a pair starts before the last byte
  uint32_t found = 0;
  uint32_t i = 1;  // bytes 0-1 are the start marker
  while (i < limit) {
    const void* hit = std::memchr(f.head + i, 0xFF, limit - i);
    if (hit == nullptr) break;
    i = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - f.head);
    if (f.head[i + 1] == 0xD9) found = i + 2;
    ++i;
  }
  return found;
}

// A plain byte search for FF E1 before the end marker, not a walk over
// segment headers: the first pair wins, wherever it sits. Returns end - 1
// when there is none; empty, with `want` set, when the search would have to
// go on past the head or past a lower bound.
std::optional<uint32_t> find_app1_marker(const FileBytes& f, const EndMarker& end,
                                         ByteRequest* want) {
  if (end.position < 2) return 0;
  const uint32_t last = end.position - 1;  // a pair starts before it
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
  if (limit == last && end.exact) return last;
  if (limit == last) {
    want->end_marker = true;
  } else {
    // The head ends before the exact end marker: the rest up to it in one
    // read. A frame without EXIF data is searched to its end, and steps of
    // 64 KiB and more took twice the CPU time of one read there, with the
    // same bytes from the disk.
    *want = ByteRequest{false, f.head_size, end.position};
  }
  return std::nullopt;
}

ExifResult ask_for(ByteRequest* want, uint32_t from, uint32_t to) {
  *want = ByteRequest{false, from, to};
  return exif_result::needs_more_bytes;
}

// read_jpeg over `f`; `want` receives what it lacks.
ExifResult read_parts(const FileBytes& f, ExifRecord& record, ByteRequest* want) {
  if (f.head == nullptr || f.size < 4) return exif_result::not_jpeg;
  if (f.head_size < 2) return ask_for(want, 0, 2);
  if (f.head[0] != 0xFF || f.head[1] != 0xD8) return exif_result::not_jpeg;
  // Everything from the end marker on (padding, appended data) is ignored.
  EndMarker end;
  if (const std::optional<uint32_t> found = find_end_marker(f)) {
    end.position = *found;
  } else {
    end = EndMarker{end_marker_in_head(f), false};
    if (end.position == 0) {
      want->end_marker = true;
      return exif_result::needs_more_bytes;
    }
  }
  if (end.position == 0) return exif_result::not_jpeg;
  record.reset();

  const std::optional<uint32_t> app1 = find_app1_marker(f, end, want);
  if (!app1) return exif_result::needs_more_bytes;
  // A test that fails against a lower bound is no verdict: it asks for the
  // end marker, and read_jpeg answers needs_more_bytes.
  const auto reaches_end = [&](uint64_t needed) {
    if (needed <= end.position) return true;
    if (!end.exact) want->end_marker = true;
    return false;
  };
  if (!reaches_end(uint64_t{*app1} + kMarkerAndLength)) return exif_result::no_exif_data;
  const unsigned char* field = bytes_at(f, *app1 + 2, 2);
  if (field == nullptr) return ask_for(want, *app1 + 2, *app1 + 4);
  const uint32_t segment_length = read_u16(field, false);  // always big-endian
  if (segment_length < kShortestApp1) return exif_result::bad_structure;
  if (!reaches_end(uint64_t{*app1} + 2 + segment_length)) return exif_result::bad_structure;
  // The length field only vets the segment: the payload handed on runs to
  // the end marker, and every bound of the walk is the distance to it.
  const uint32_t payload = *app1 + kMarkerAndLength;
  const uint32_t length = end.position - payload;
  const uint32_t held = payload < f.head_size ? std::min(length, f.head_size - payload) : 0;
  const unsigned char* data = held > 0 ? f.head + payload : nullptr;
  const ExifResult walked =
      walk_exif_payload(PayloadBytes{data, length, held, &f, payload, !end.exact, want}, record);
  // The directories a camera writes lie in the segment, at most 64 KiB:
  // when the walk lacks bytes of it, the rest of it comes in one read, where
  // a maker note ahead of IFD0 would cost a read for each directory.
  const uint64_t segment_end = uint64_t{*app1} + 2 + segment_length;
  if (walked == exif_result::needs_more_bytes && !want->end_marker && want->to <= segment_end &&
      segment_end > f.head_size) {
    *want =
        ByteRequest{false, std::min(want->from, f.head_size), static_cast<uint32_t>(segment_end)};
  }
  return walked;
}

}  // namespace

// The member initialisers hold the reset values, so reset() can build on the
// constructor.
ExifRecord::ExifRecord() = default;

void ExifRecord::reset() { *this = ExifRecord(); }

ExifResult ExifRecord::read_jpeg(const unsigned char* data, uint32_t length) {
  // With the whole file at hand, needs_more_bytes cannot come back.
  return read_jpeg(WholeFile(data, length));
}

ExifResult ExifRecord::read_jpeg(const FileBytes& given, ByteRequest* request) {
  FileBytes f = given;
  f.head_size = std::min(f.head_size, f.size);
  f.tail_size = std::min(f.tail_size, f.size);
  ByteRequest want;
  ExifResult result = read_parts(f, *this, &want);
  if (want.end_marker) {
    result = exif_result::needs_more_bytes;
    // A tail given and still no end marker: what lies between head and tail.
    if (f.tail_size > 0) want = ByteRequest{false, f.head_size, f.size - f.tail_size};
  }
  if (result == exif_result::needs_more_bytes && request != nullptr) *request = want;
  return result;
}
