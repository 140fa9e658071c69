// Decodes single TIFF directory entries, bounded by the EXIF payload.
#include "exif/directory_entry.h"

namespace {

// Bytes per component in the file, for the formats that carry a value.
uint64_t element_size(uint16_t format) {
  switch (format) {
    case 1:
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    case 5: return 8;
    default: return 0;
  }
}

// Fills the empty value that set_format created from `count` components at
// `source`, which the caller has bounds-tested. The value is sized only now,
// so a count that does not fit the payload never reaches an allocation.
struct ValueFiller {
  const unsigned char* source;
  uint32_t count;
  bool little_endian;

  void operator()(std::monostate&) const {}
  void operator()(std::vector<uint8_t>& bytes) const { bytes.assign(source, source + count); }
  void operator()(std::string& text) const {
    text.assign(reinterpret_cast<const char*>(source), count);
    // Only the one terminating NUL goes; NULs before it or inside stay.
    if (!text.empty() && text.back() == '\0') text.pop_back();
  }
  void operator()(std::vector<uint16_t>& shorts) const {
    shorts.resize(count);
    for (uint64_t k = 0; k < count; ++k) shorts[k] = read_u16(source + 2 * k, little_endian);
  }
  void operator()(std::vector<uint32_t>& longs) const {
    longs.resize(count);
    for (uint64_t k = 0; k < count; ++k) longs[k] = read_u32(source + 4 * k, little_endian);
  }
  void operator()(std::vector<Rational>& rationals) const {
    rationals.resize(count);
    for (uint64_t k = 0; k < count; ++k) {
      rationals[k].numerator = read_u32(source + 8 * k, little_endian);
      rationals[k].denominator = read_u32(source + 8 * k + 4, little_endian);
    }
  }
};

}  // namespace

bool DirectoryEntry::set_format(uint16_t code) {
  switch (code) {
    case 1: value.emplace<std::vector<uint8_t>>(); break;
    case 2: value.emplace<std::string>(); break;
    case 3: value.emplace<std::vector<uint16_t>>(); break;
    case 4: value.emplace<std::vector<uint32_t>>(); break;
    case 5: value.emplace<std::vector<Rational>>(); break;
    case 7:
    case 9:
    case 10:
    case kNoFormat: value.emplace<std::monostate>(); break;
    default: return false;
  }
  format = code;
  return true;
}

void DirectoryEntry::clear_value() { value.emplace<std::monostate>(); }

DirectoryEntry decode_entry(const unsigned char* payload, uint32_t length, uint32_t position,
                            bool little_endian) {
  DirectoryEntry entry;
  // With every byte held, nothing can be missing.
  decode_held_entry(PayloadBytes{payload, length, length}, position, little_endian, &entry);
  return entry;
}

bool decode_held_entry(const PayloadBytes& payload, uint32_t position, bool little_endian,
                       DirectoryEntry* entry) {
  *entry = DirectoryEntry();
  if (!reaches(payload, uint64_t{position} + kEntrySize)) return true;
  const unsigned char* stored = held_at(payload, position, kEntrySize);
  if (stored == nullptr) return false;
  const EntryHeader header = read_entry_header(stored, little_endian);
  entry->tag = header.tag;
  // A refused code leaves the no-format mark, which is handled below.
  entry->set_format(header.format);
  entry->count = header.count;
  entry->value_or_offset = header.value_field;

  switch (entry->format) {
    case 7:
    case 9:
    case 10:
      // Accepted without a value: callers see only count and value field.
      return true;
    case kNoFormat: entry->tag = kNoTag; return true;
    default: break;
  }

  // At most 2^32 - 1 components of 8 bytes: the product fits in 64 bits.
  const uint64_t size = entry->count * element_size(entry->format);
  const unsigned char* source = stored + kValueField;
  if (size > kInlineSize) {
    const uint64_t start = kTiffStart + entry->value_or_offset;
    if (!reaches(payload, start + size)) {
      entry->tag = kNoTag;  // keeps the empty value of its kind
      return true;
    }
    source = held_at(payload, start, size);
    if (source == nullptr) return false;
  }
  // Should sizing throw std::bad_alloc, the unwinding destroys the caller's
  // entry and with it whatever value was filled so far.
  std::visit(ValueFiller{source, entry->count, little_endian}, entry->value);
  return true;
}
