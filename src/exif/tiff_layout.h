// The byte layout of an EXIF payload in one place: its sizes, the readers
// of its numbers, and the bytes of it a reader has at hand.
//
// A payload is "Exif\0\0" followed by a TIFF structure; every offset stored
// in the structure counts from the TIFF header, six bytes in. Numbers are
// assembled byte by byte in the byte order of the TIFF header ("II": least
// significant byte first, "MM": most significant first), so nothing depends
// on the host's byte order or on alignment. The readers do no bounds checks
// of their own: every caller tests its bounds first.
#ifndef EXIFCHECK_EXIF_TIFF_LAYOUT_H_
#define EXIFCHECK_EXIF_TIFF_LAYOUT_H_

#include <cstdint>

#include "exif/file_bytes.h"

/// Payload position of the TIFF header.
constexpr uint64_t kTiffStart = 6;
/// Identifier, byte-order mark, magic number and the offset of IFD0.
constexpr uint64_t kTiffHeaderEnd = kTiffStart + 8;
/// A directory: its entry count, the entries, the link to the next one.
constexpr uint64_t kCountSize = 2;
constexpr uint64_t kEntrySize = 12;
constexpr uint64_t kLinkSize = 4;
/// Within an entry: the bytes that hold a short value or the offset of a
/// longer one.
constexpr uint64_t kValueField = 8;
constexpr uint64_t kInlineSize = 4;
/// Numerator and denominator, four bytes each.
constexpr uint64_t kRationalSize = 8;

/// An unsigned rational exactly as stored: no division, a zero denominator
/// stays zero.
struct Rational {
  uint32_t numerator = 0;
  uint32_t denominator = 0;
};

/// Reads the unsigned 16-bit number at p (2 bytes the caller has checked).
inline uint16_t read_u16(const unsigned char* p, bool little_endian) {
  const uint32_t b0 = p[0];
  const uint32_t b1 = p[1];
  return static_cast<uint16_t>(little_endian ? (b1 << 8) | b0 : (b0 << 8) | b1);
}

/// Reads the unsigned 32-bit number at p (4 bytes the caller has checked).
inline uint32_t read_u32(const unsigned char* p, bool little_endian) {
  const uint32_t b0 = p[0];
  const uint32_t b1 = p[1];
  const uint32_t b2 = p[2];
  const uint32_t b3 = p[3];
  return little_endian ? (b3 << 24) | (b2 << 16) | (b1 << 8) | b0
                       : (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

/// Reads 8 bytes at p as numerator then denominator (caller checks bounds).
inline Rational read_rational(const unsigned char* p, bool little_endian) {
  Rational r;
  r.numerator = read_u32(p, little_endian);
  r.denominator = read_u32(p + 4, little_endian);
  return r;
}

/// numerator / denominator in double precision; 0.0 for a zero denominator,
/// which means "unknown" in practice and must never be divided by.
inline double rational_to_double(uint32_t numerator, uint32_t denominator) {
  if (denominator == 0) return 0.0;
  return static_cast<double>(numerator) / static_cast<double>(denominator);
}

/// The fields of one stored 12-byte directory entry.
struct EntryHeader {
  uint16_t tag = 0;
  uint16_t format = 0;
  uint32_t count = 0;
  uint32_t value_field = 0;            ///< bytes 8 to 11 as one number
  unsigned char first_value_byte = 0;  ///< byte 8, the same in either byte order
};

/// Reads the entry at `stored` (12 bytes the caller has checked).
inline EntryHeader read_entry_header(const unsigned char* stored, bool little_endian) {
  EntryHeader e;
  e.tag = read_u16(stored, little_endian);
  e.format = read_u16(stored + 2, little_endian);
  e.count = read_u32(stored + 4, little_endian);
  e.value_field = read_u32(stored + kValueField, little_endian);
  e.first_value_byte = stored[kValueField];
  return e;
}

/// An EXIF payload of `length` bytes of which the first `held` are in
/// memory at `data` (all of them when the whole file was read). Bounds are
/// always tested against `length`; a byte that passes them but is not at
/// hand makes the reader ask for it instead of guessing.
///
/// For a file read in parts, `file` holds the payload's bytes, from file
/// position `offset` on, beyond the first `held`, and `request` receives
/// what is missing. `length` may then be only a lower bound, taken from an
/// end marker in the head: every test that passes against it passes against
/// the true length too, and one that fails asks for the end marker.
struct PayloadBytes {
  const unsigned char* data = nullptr;
  uint32_t length = 0;
  uint32_t held = 0;
  const FileBytes* file = nullptr;
  uint32_t offset = 0;
  bool length_is_bound = false;
  ByteRequest* request = nullptr;
};

/// Whether the payload runs at least to position `end`. A no against a
/// lower bound is no answer, so it also asks for the end marker.
inline bool reaches(const PayloadBytes& p, uint64_t end) {
  if (end <= p.length) return true;
  if (p.length_is_bound && p.request != nullptr) p.request->end_marker = true;
  return false;
}

/// The `size` bytes from payload position `position`, which the caller has
/// tested with reaches; null when they are not at hand, and then the first
/// such range is asked for.
inline const unsigned char* held_at(const PayloadBytes& p, uint64_t position, uint64_t size) {
  if (position + size <= p.held) return p.data + position;
  const unsigned char* at =
      p.file == nullptr ? nullptr : bytes_at(*p.file, p.offset + position, size);
  if (at == nullptr && p.request != nullptr && p.request->from == p.request->to) {
    // Within the file: the caller has tested position + size against length.
    p.request->from = static_cast<uint32_t>(p.offset + position);
    p.request->to = static_cast<uint32_t>(p.offset + position + size);
  }
  return at;
}

#endif  // EXIFCHECK_EXIF_TIFF_LAYOUT_H_
