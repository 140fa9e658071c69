// Decodes one 12-byte TIFF directory entry of an EXIF payload into a value.
//
// Numbers are assembled byte by byte in the byte order of the TIFF header
// ("II": least significant byte first, "MM": most significant first), so the
// decoder depends neither on the host's byte order nor on alignment. Every
// read of decode_entry is bounded by the payload length; read_u16 and
// read_u32 do no bounds checks of their own.
#ifndef EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_
#define EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

/// An unsigned rational exactly as stored: no division, a zero denominator
/// stays zero.
struct Rational {
  uint32_t numerator = 0;
  uint32_t denominator = 0;
};

/// Tag and format value that mark an entry as not decoded / without format.
constexpr uint16_t kNoTag = 0xFF;
constexpr uint16_t kNoFormat = 0xFF;

/// The decoded components of an entry. The alternative follows the format:
/// none, BYTE (1), ASCII (2), SHORT (3), LONG (4), RATIONAL (5).
using EntryValue = std::variant<std::monostate, std::vector<uint8_t>, std::string,
                                std::vector<uint16_t>, std::vector<uint32_t>,
                                std::vector<Rational>>;

/// One directory entry. Owns its value; nothing in it points into a payload.
struct DirectoryEntry {
  uint16_t tag = kNoTag;
  uint16_t format = kNoFormat;
  uint32_t value_or_offset = 0;
  uint32_t count = 0;
  EntryValue value;

  /// Accepts 1, 2, 3, 4, 5, 7, 9, 10 and 0xFF: replaces the value by an
  /// empty one of the code's kind and returns true. Any other code leaves
  /// the entry unchanged and returns false.
  bool set_format(uint16_t code);

  /// Releases the value and leaves none; the format is kept.
  void clear_value();
};

/// Reads the unsigned 16-bit number at p (2 bytes the caller has checked).
uint16_t read_u16(const unsigned char* p, bool little_endian);

/// Reads the unsigned 32-bit number at p (4 bytes the caller has checked).
uint32_t read_u32(const unsigned char* p, bool little_endian);

/// Decodes the entry at payload position `position`. Offsets stored in the
/// entry count from the TIFF header at payload position 6. An entry or value
/// that does not fit in `length` bytes, or an unsupported format, comes back
/// with tag 0xFF.
DirectoryEntry decode_entry(const unsigned char* payload, uint32_t length,
                            uint32_t position, bool little_endian);

#endif  // EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_
