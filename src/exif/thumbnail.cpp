// Finding IFD1's thumbnail: the EXIF segment, the TIFF header, IFD0's link
// to the next directory, and that directory's two thumbnail entries.
#include "exif/thumbnail.h"

#include <cstring>

#include "exif/tiff_layout.h"

namespace {

constexpr uint16_t kThumbnailOffsetTag = 0x0201;
constexpr uint16_t kThumbnailLengthTag = 0x0202;
constexpr uint16_t kLongFormat = 4;

// Whether `size` bytes from `position` lie within `length`; cannot wrap.
bool fits(uint64_t position, uint64_t size, uint64_t length) {
  return position <= length && length - position >= size;
}

// Where the TIFF header of the first FF E1 segment that carries "Exif\0\0"
// starts, and where that segment ends.
struct ExifSegment {
  uint32_t tiff = 0;
  uint64_t end = 0;
};

// The first FF E1 segment that carries "Exif\0\0"; a TIFF header at 0 when
// there is none.
ExifSegment find_exif_segment(const unsigned char* data, uint32_t length) {
  static const unsigned char kIdentifier[] = {'E', 'x', 'i', 'f', 0, 0};
  for (uint32_t i = 2; fits(i, 4 + sizeof kIdentifier, length); ++i) {
    if (data[i] != 0xFF || data[i + 1] != 0xE1) continue;
    if (std::memcmp(data + i + 4, kIdentifier, sizeof kIdentifier) != 0) return ExifSegment{};
    // The length counts itself but not the marker.
    const uint64_t end = uint64_t{i} + 2 + read_u16(data + i + 2, false);
    return ExifSegment{i + 4 + static_cast<uint32_t>(sizeof kIdentifier), end};
  }
  return ExifSegment{};
}

}  // namespace

bool find_thumbnail(const unsigned char* data, uint32_t length, uint32_t file_size,
                    ThumbnailPlace* place, bool* needs_more) {
  // A directory past the bytes given but within the file may yet be read.
  const auto within = [length, file_size, needs_more](uint64_t position, uint64_t size) {
    if (fits(position, size, length)) return true;
    if (needs_more != nullptr && fits(position, size, file_size)) *needs_more = true;
    return false;
  };
  if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  const ExifSegment segment = find_exif_segment(data, length);
  const uint32_t tiff = segment.tiff;
  if (tiff == 0 || !within(tiff, 8)) return false;
  const unsigned char* header = data + tiff;
  const bool le = header[0] == 'I' && header[1] == 'I';
  if (!le && !(header[0] == 'M' && header[1] == 'M')) return false;
  if (read_u16(header + 2, le) != 42) return false;

  // IFD0's entry count, then past its entries the link to IFD1.
  const uint64_t ifd0 = uint64_t{tiff} + read_u32(header + 4, le);
  if (!within(ifd0, kCountSize)) return false;
  const uint64_t link = ifd0 + kCountSize + kEntrySize * read_u16(data + ifd0, le);
  if (!within(link, kLinkSize)) return false;
  const uint32_t ifd1_offset = read_u32(data + link, le);
  if (ifd1_offset == 0) return false;
  const uint64_t ifd1 = uint64_t{tiff} + ifd1_offset;
  if (!within(ifd1, kCountSize)) return false;
  const uint16_t count = read_u16(data + ifd1, le);

  uint64_t offset = 0, size = 0;
  bool has_offset = false, has_size = false;
  for (uint32_t k = 0; k < count; ++k) {
    const uint64_t at = ifd1 + kCountSize + kEntrySize * k;
    if (!within(at, kEntrySize)) return false;
    const EntryHeader e = read_entry_header(data + at, le);
    if (e.format != kLongFormat || e.count != 1) continue;
    if (e.tag == kThumbnailOffsetTag) {
      offset = uint64_t{tiff} + e.value_field;
      has_offset = true;
    } else if (e.tag == kThumbnailLengthTag) {
      size = e.value_field;
      has_size = true;
    }
  }
  if (!has_offset || !has_size || size == 0 || !fits(offset, size, file_size)) return false;
  // A camera stores the thumbnail inside the EXIF segment, so it is never
  // more than 64 KiB; a length that reaches past the segment is a broken or
  // hostile directory, and taking it at its word would read megabytes of
  // the frame for a picture that is not there. The offset counts from the
  // TIFF header, so the thumbnail cannot start before the segment.
  if (!fits(offset, size, segment.end)) return false;
  place->offset = static_cast<uint32_t>(offset);
  place->size = static_cast<uint32_t>(size);
  return true;
}
