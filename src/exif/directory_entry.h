// Decodes one 12-byte TIFF directory entry of an EXIF payload into a value.
// Every read is bounded by the payload length; the byte layout and its
// readers are in tiff_layout.h.
#ifndef EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_
#define EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "exif/tiff_layout.h"

/// Tag and format value that mark an entry as not decoded / without format.
constexpr uint16_t kNoTag = 0xFF;
constexpr uint16_t kNoFormat = 0xFF;

/// The decoded components of an entry. The alternative follows the format:
/// none, BYTE (1), ASCII (2), SHORT (3), LONG (4), RATIONAL (5).
using EntryValue =
    std::variant<std::monostate, std::vector<uint8_t>, std::string, std::vector<uint16_t>,
                 std::vector<uint32_t>, std::vector<Rational>>;

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

/// Decodes the entry at payload position `position`. Offsets stored in the
/// entry count from the TIFF header at payload position 6. An entry or value
/// that does not fit in `length` bytes, or an unsupported format, comes back
/// with tag 0xFF.
DirectoryEntry decode_entry(const unsigned char* payload, uint32_t length, uint32_t position,
                            bool little_endian);

/// decode_entry over a payload of which only some bytes may be at hand.
/// Returns false, leaving `entry` undefined, when a byte it would read is
/// not; otherwise fills `entry` exactly as decode_entry does.
bool decode_held_entry(const PayloadBytes& payload, uint32_t position, bool little_endian,
                       DirectoryEntry* entry);

#endif  // EXIFCHECK_EXIF_DIRECTORY_ENTRY_H_
