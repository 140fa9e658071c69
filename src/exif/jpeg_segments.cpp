// The walk over the marker segments at the start of a JPEG frame, for its
// EXIF and XMP APP1 segments. Each segment is FF, a code and, for all but a
// few codes, a 16-bit big-endian length that counts itself; the payload
// follows. Positions are held in 64 bits, so no sum of a position and a
// length can wrap.
#include "exif/jpeg_segments.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMaxSegments = 64;
// Fill bytes are rare and few; a longer run is taken as no marker, and this
// bound keeps a run with its segment header inside one request.
constexpr uint64_t kMaxFillBytes = 1024;
// A segment is at most 2 + 65535 bytes. A request for 64 KiB from the
// start of a segment whose header is missing holds that header and the
// start of its payload, so one read settles the segment and its
// identifier; asking for just the bytes missing would cost a read for the
// header and another for the identifier, each a wait on a cold disk.
constexpr uint64_t kRequestSize = uint64_t{64} * 1024;
constexpr unsigned char kExifIdentifier[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr unsigned char kApp1 = 0xE1;

enum class Step { go_on, stop, missing };

// A segment header: the position of its FF and its code, and where the
// segment ends (just past the code for a segment without a length).
struct Header {
  uint64_t marker = 0;
  unsigned char code = 0;
  uint64_t end = 0;
};

// Codes that stand alone, without a length: TEM and the restart markers.
bool stands_alone(unsigned char code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

// Reads the header of the segment that starts at `position`: FF, any fill
// bytes FF, the code and the length.
Step read_header(const FileBytes& f, uint64_t position, Header* h) {
  // The FF that starts the segment, then any fill bytes FF, then the code.
  uint64_t at = position;
  unsigned char code = 0;
  do {
    if (at >= f.size || at - position > kMaxFillBytes) return Step::stop;
    const unsigned char* byte = bytes_at(f, at, 1);
    if (byte == nullptr) return Step::missing;
    if (at == position && *byte != 0xFF) return Step::stop;  // not a marker
    code = at == position ? 0xFF : *byte;
    ++at;
  } while (code == 0xFF);
  // `at` is now just past the code, where the length starts.
  h->marker = at - 2;
  h->code = code;
  // FF 00 is a stuffed data byte; a second start marker, a start of scan
  // or an end marker ends the segments that can hold metadata.
  if (code == 0x00 || code == 0xD8 || code == 0xD9 || code == 0xDA) return Step::stop;
  if (stands_alone(code)) {
    h->end = at;
    return Step::go_on;
  }
  if (at >= f.size || f.size - at < 2) return Step::stop;  // the file ends inside the length
  const unsigned char* length_field = bytes_at(f, at, 2);
  if (length_field == nullptr) return Step::missing;
  const uint64_t length = uint64_t{length_field[0]} << 8U | length_field[1];
  if (length < 2) return Step::stop;
  h->end = at + length;
  return h->end <= f.size ? Step::go_on : Step::stop;
}

// Files an APP1 segment under EXIF or XMP by its identifier, unless one of
// that kind came before.
Step take_app1(const FileBytes& f, const Header& h, MetadataSegments* found) {
  SegmentPlace place;
  place.marker = static_cast<uint32_t>(h.marker);
  place.payload = static_cast<uint32_t>(h.marker + 4);
  place.payload_size = static_cast<uint32_t>(h.end - place.payload);
  const uint64_t tested = std::min<uint64_t>(place.payload_size, kXmpIdentifierSize);
  const unsigned char* id = bytes_at(f, place.payload, tested);
  if (id == nullptr) return Step::missing;
  if (!found->exif && tested >= sizeof kExifIdentifier &&
      std::memcmp(id, kExifIdentifier, sizeof kExifIdentifier) == 0) {
    found->exif = place;
  } else if (!found->xmp && tested == kXmpIdentifierSize &&
             std::memcmp(id, kXmpIdentifier, kXmpIdentifierSize) == 0) {
    found->xmp = place;
  }
  return Step::go_on;
}

uint32_t end_of(const std::optional<SegmentPlace>& place) {
  return place ? place->payload + place->payload_size : 0;
}

// Walks from `position` on; `*position` is left at the segment where the
// walk stopped.
Step walk(const FileBytes& f, uint64_t* position, MetadataSegments* found) {
  for (uint32_t k = 0; k < kMaxSegments && !(found->exif && found->xmp); ++k) {
    Header h;
    Step step = read_header(f, *position, &h);
    if (step == Step::go_on && h.code == kApp1) step = take_app1(f, h, found);
    if (step != Step::go_on) return step;
    *position = h.end;
  }
  return Step::stop;
}

}  // namespace

bool find_metadata_segments(const FileBytes& given, MetadataSegments* found, ByteRequest* request) {
  *found = MetadataSegments{};
  FileBytes f = given;
  f.head_size = std::min(f.head_size, f.size);
  f.tail_size = std::min(f.tail_size, f.size);
  uint64_t position = 0;
  Step step = Step::stop;
  if (f.size >= 2) {
    const unsigned char* start = bytes_at(f, 0, 2);
    if (start == nullptr) {
      step = Step::missing;
    } else if (start[0] == 0xFF && start[1] == 0xD8) {
      position = 2;
      step = walk(f, &position, found);
    }
  }
  found->metadata_end = std::max(end_of(found->exif), end_of(found->xmp));
  if (step != Step::missing) return true;
  if (request != nullptr) {
    *request =
        ByteRequest{false, static_cast<uint32_t>(position),
                    static_cast<uint32_t>(std::min<uint64_t>(position + kRequestSize, f.size))};
  }
  return false;
}
