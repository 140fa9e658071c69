// Walks the TIFF directories of an EXIF payload into the record: IFD0, the
// EXIF sub-directory and the GPS directory. The thumbnail directory that
// IFD0 links to is never read, and no other directory is visited.
//
// Each bound is tested against the payload's length first, exactly as for a
// payload held whole; only a byte that passes it and still is not at hand
// makes the walk stop with needs_more_bytes.
#include "exif/exif_walk.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

constexpr unsigned char kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};

struct Payload {
  PayloadBytes bytes;
  bool little_endian;
};

// Directory positions named by IFD0. Held in 64 bits: offset + 6 may pass
// 2^32 and must not wrap around to the start of the payload.
struct Links {
  std::optional<uint64_t> exif;
  std::optional<uint64_t> gps;
};

// Reads the entry count of the directory at `position` and tests, once for
// the whole directory, that its entries and the link after them fit the
// payload, so the entry headers need no test of their own. A directory with
// fewer than `room` bytes left is `when_short`: malformed for IFD0, which
// needs room for its count; skipped for a sub-directory, which needs four
// bytes. A skipped directory has no entries to walk.
ExifResult open_directory(const Payload& p, uint64_t position, uint64_t room, ExifResult when_short,
                          uint16_t* count) {
  *count = 0;
  if (!reaches(p.bytes, position + room)) return when_short;
  const unsigned char* at = held_at(p.bytes, position, kCountSize);
  if (at == nullptr) return exif_result::needs_more_bytes;
  *count = read_u16(at, p.little_endian);
  const uint64_t entries = kEntrySize * *count;
  if (!reaches(p.bytes, position + kCountSize + entries + kLinkSize)) {
    *count = 0;
    return exif_result::bad_structure;
  }
  // The link is never followed, so it need not be at hand.
  if (entries > 0 && held_at(p.bytes, position + kCountSize, entries) == nullptr) {
    return exif_result::needs_more_bytes;
  }
  return exif_result::ok;
}

// Hands each entry position of the directory at `position` to `visit`, in
// file order, after open_directory; `visit` returns false when a byte it
// needs is not at hand.
template <typename Visit>
ExifResult walk_directory(const Payload& p, uint64_t position, uint64_t room, ExifResult when_short,
                          Visit visit) {
  uint16_t count = 0;
  const ExifResult opened = open_directory(p, position, room, when_short, &count);
  if (opened != exif_result::ok) return opened;
  for (uint64_t k = 0; k < count; ++k) {
    // Below the payload length once open_directory has passed.
    const auto entry = static_cast<uint32_t>(position + kCountSize + kEntrySize * k);
    if (!visit(entry)) return exif_result::needs_more_bytes;
  }
  return exif_result::ok;
}

double rational_value(const unsigned char* p, bool little_endian) {
  const Rational r = read_rational(p, little_endian);
  return rational_to_double(r.numerator, r.denominator);
}

// Field setters for the IFD0 and EXIF tables. An entry of another format
// than the field needs, or an empty list, leaves the field as it is.
void set_text(const DirectoryEntry& e, std::string& field) {
  if (const auto* text = std::get_if<std::string>(&e.value)) field = *text;
}

void set_short(const DirectoryEntry& e, uint16_t& field) {
  const auto* shorts = std::get_if<std::vector<uint16_t>>(&e.value);
  if (shorts != nullptr && !shorts->empty()) field = shorts->front();
}

void set_rational(const DirectoryEntry& e, double& field) {
  const auto* rationals = std::get_if<std::vector<Rational>>(&e.value);
  if (rationals == nullptr || rationals->empty()) return;
  field = rational_to_double(rationals->front().numerator, rationals->front().denominator);
}

// Pixel dimensions come as LONG or, from many cameras, as SHORT.
void set_dimension(const DirectoryEntry& e, uint32_t& field) {
  if (const auto* longs = std::get_if<std::vector<uint32_t>>(&e.value)) {
    if (!longs->empty()) field = longs->front();
  } else if (const auto* shorts = std::get_if<std::vector<uint16_t>>(&e.value)) {
    if (!shorts->empty()) field = shorts->front();
  }
}

void set_flash(const DirectoryEntry& e, ExifRecord& r) {
  const auto* shorts = std::get_if<std::vector<uint16_t>>(&e.value);
  if (shorts == nullptr || shorts->empty()) return;
  const uint16_t v = shorts->front();
  r.flash_fired = (v & 1) != 0;
  r.flash_return = static_cast<uint16_t>((v >> 1) & 3);
  r.flash_mode = static_cast<uint16_t>((v >> 3) & 3);
}

// LensInfo: focal range then F numbers; a short list sets what it has.
void set_lens_info(const DirectoryEntry& e, LensData& lens) {
  const auto* rationals = std::get_if<std::vector<Rational>>(&e.value);
  if (rationals == nullptr) return;
  double* const targets[] = {&lens.shortest_focal_length, &lens.longest_focal_length,
                             &lens.f_number_at_shortest, &lens.f_number_at_longest};
  const size_t n = std::min(rationals->size(), std::size(targets));
  for (size_t k = 0; k < n; ++k) {
    *targets[k] = rational_to_double((*rationals)[k].numerator, (*rationals)[k].denominator);
  }
}

void apply_ifd0_entry(const DirectoryEntry& e, ExifRecord& r, Links& links) {
  switch (e.tag) {
    case 0x0102: set_short(e, r.bits_per_sample); break;
    case 0x010E: set_text(e, r.image_description); break;
    case 0x010F: set_text(e, r.make); break;
    case 0x0110: set_text(e, r.model); break;
    case 0x0112: set_short(e, r.orientation); break;
    case 0x0131: set_text(e, r.software); break;
    case 0x0132: set_text(e, r.date_time); break;
    case 0x8298: set_text(e, r.copyright); break;
    // The pointers are taken from the value field whatever the format.
    case 0x8769: links.exif = kTiffStart + e.value_or_offset; break;
    case 0x8825: links.gps = kTiffStart + e.value_or_offset; break;
    default: break;
  }
}

void apply_exif_entry(const DirectoryEntry& e, ExifRecord& r) {
  switch (e.tag) {
    case 0x829A: set_rational(e, r.exposure_time); break;
    case 0x829D: set_rational(e, r.f_number); break;
    case 0x8822: set_short(e, r.exposure_program); break;
    case 0x8827: set_short(e, r.iso_speed_ratings); break;
    case 0x9003: set_text(e, r.date_time_original); break;
    case 0x9004: set_text(e, r.date_time_digitized); break;
    case 0x9011: set_text(e, r.offset_time_original); break;
    case 0x9201: set_rational(e, r.shutter_speed_value); break;
    case 0x9204: set_rational(e, r.exposure_bias_value); break;
    case 0x9206: set_rational(e, r.subject_distance); break;
    case 0x9207: set_short(e, r.metering_mode); break;
    case 0x9209: set_flash(e, r); break;
    case 0x920A: set_rational(e, r.focal_length); break;
    case 0x9291: set_text(e, r.sub_sec_time_original); break;
    case 0xA002: set_dimension(e, r.pixel_x_dimension); break;
    case 0xA003: set_dimension(e, r.pixel_y_dimension); break;
    case 0xA20E: set_rational(e, r.lens.focal_plane_x_resolution); break;
    case 0xA20F: set_rational(e, r.lens.focal_plane_y_resolution); break;
    case 0xA210: set_short(e, r.lens.focal_plane_resolution_unit); break;
    case 0xA405: set_short(e, r.focal_length_in_35mm_film); break;
    case 0xA431: set_text(e, r.body_serial_number); break;
    case 0xA432: set_lens_info(e, r.lens); break;
    case 0xA433: set_text(e, r.lens.lens_make); break;
    case 0xA434: set_text(e, r.lens.lens_model); break;
    default: break;
  }
}

bool is_rational_format(uint16_t format) { return format == 5 || format == 10; }

// Where the `n` rationals an entry points to start, when they lie inside
// the payload; otherwise the entry is ignored, as decode_entry ignores a
// value that does not fit.
std::optional<uint64_t> rationals_at(const Payload& p, const EntryHeader& e, uint64_t n) {
  const uint64_t start = kTiffStart + e.value_field;
  if (!reaches(p.bytes, start + kRationalSize * n)) return std::nullopt;
  return start;
}

// A reference negates the coordinate stored so far and a coordinate consults
// the letter stored so far, so the sign is the same in either entry order.
void apply_gps_reference(const EntryHeader& e, char negative, DmsAngle& dms, double& coordinate) {
  dms.ref_letter = e.first_value_byte == 0 ? '?' : static_cast<char>(e.first_value_byte);
  if (dms.ref_letter == negative) coordinate = -coordinate;
}

// Returns false when the rationals fit the payload but are not at hand.
bool apply_gps_coordinate(const Payload& p, const EntryHeader& e, char negative, DmsAngle& dms,
                          double& coordinate, bool& given) {
  if (!is_rational_format(e.format) || e.count != 3) return true;
  const std::optional<uint64_t> start = rationals_at(p, e, 3);
  if (!start) return true;
  const unsigned char* at = held_at(p.bytes, *start, 3 * kRationalSize);
  if (at == nullptr) return false;
  // Rationals are read unsigned also for SRATIONAL.
  dms.degrees = rational_value(at, p.little_endian);
  dms.minutes = rational_value(at + kRationalSize, p.little_endian);
  dms.seconds = rational_value(at + 2 * kRationalSize, p.little_endian);
  coordinate = (dms.minutes / 60 + dms.degrees) + dms.seconds / 3600;
  if (dms.ref_letter == negative) coordinate = -coordinate;
  given = true;
  return true;
}

// The first rational of an altitude or DOP entry into `value`, if it is one
// and fits. Returns false when it fits but is not at hand.
bool gps_single_rational(const Payload& p, const EntryHeader& e, std::optional<double>* value) {
  if (!is_rational_format(e.format)) return true;
  const std::optional<uint64_t> start = rationals_at(p, e, 1);
  if (!start) return true;
  const unsigned char* at = held_at(p.bytes, *start, kRationalSize);
  if (at == nullptr) return false;
  *value = rational_value(at, p.little_endian);
  return true;
}

// Returns false when a value the entry points to is not at hand.
bool apply_gps_entry(const Payload& p, const EntryHeader& e, GpsPosition& gps) {
  std::optional<double> value;
  switch (e.tag) {
    case 0x0001: apply_gps_reference(e, 'S', gps.latitude_dms, gps.latitude); return true;
    case 0x0002:
      return apply_gps_coordinate(p, e, 'S', gps.latitude_dms, gps.latitude, gps.latitude_given);
    case 0x0003: apply_gps_reference(e, 'W', gps.longitude_dms, gps.longitude); return true;
    case 0x0004:
      return apply_gps_coordinate(p, e, 'W', gps.longitude_dms, gps.longitude, gps.longitude_given);
    case 0x0005:
      gps.altitude_ref = e.first_value_byte;
      if (gps.altitude_ref == 1) gps.altitude = -gps.altitude;
      return true;
    case 0x0006:
      if (!gps_single_rational(p, e, &value)) return false;
      if (value) {
        gps.altitude = gps.altitude_ref == 1 ? -*value : *value;
        gps.altitude_given = true;
      }
      return true;
    case 0x000B:
      if (!gps_single_rational(p, e, &value)) return false;
      if (value) gps.dop = *value;
      return true;
    default: return true;
  }
}

ExifResult read_ifd0(const Payload& p, uint64_t position, ExifRecord& r, Links& links) {
  return walk_directory(p, position, kCountSize, exif_result::bad_structure, [&](uint32_t entry) {
    DirectoryEntry e;
    if (!decode_held_entry(p.bytes, entry, p.little_endian, &e)) return false;
    apply_ifd0_entry(e, r, links);
    return true;
  });
}

// A sub-directory pointer into the last three bytes or beyond is skipped.
constexpr uint64_t kSubDirectoryRoom = 4;

ExifResult read_exif_directory(const Payload& p, uint64_t position, ExifRecord& r) {
  return walk_directory(p, position, kSubDirectoryRoom, exif_result::ok, [&](uint32_t entry) {
    DirectoryEntry e;
    if (!decode_held_entry(p.bytes, entry, p.little_endian, &e)) return false;
    apply_exif_entry(e, r);
    return true;
  });
}

// GPS entries are read here, not by decode_entry: their values are taken
// straight from the entry (a reference letter is its first value byte in
// either byte order, where decode_entry would make a text of it) or from
// the rationals it points to, whose count is tested only for coordinates.
ExifResult read_gps_directory(const Payload& p, uint64_t position, GpsPosition& gps) {
  return walk_directory(p, position, kSubDirectoryRoom, exif_result::ok, [&](uint32_t entry) {
    // Held: open_directory found every entry at hand.
    const unsigned char* at = held_at(p.bytes, entry, kEntrySize);
    return at != nullptr && apply_gps_entry(p, read_entry_header(at, p.little_endian), gps);
  });
}

}  // namespace

ExifResult walk_exif_payload(const PayloadBytes& bytes, ExifRecord& record) {
  if ((bytes.data == nullptr && bytes.file == nullptr) || !reaches(bytes, 6)) {
    return exif_result::no_exif_data;
  }
  // The header is tested as one piece: a payload that holds less of it is rare.
  const unsigned char* data = held_at(bytes, 0, std::min<uint64_t>(bytes.length, kTiffHeaderEnd));
  if (data == nullptr) return exif_result::needs_more_bytes;
  if (!std::equal(kIdentifier, kIdentifier + 6, data)) return exif_result::no_exif_data;
  if (!reaches(bytes, kTiffHeaderEnd)) return exif_result::bad_structure;
  if (data[6] == 'I' && data[7] == 'I') {
    record.little_endian = true;
  } else if (data[6] == 'M' && data[7] == 'M') {
    record.little_endian = false;
  } else {
    return exif_result::unknown_byte_order;
  }
  const Payload p{bytes, record.little_endian};
  if (read_u16(data + 8, p.little_endian) != 42) return exif_result::bad_structure;

  Links links;
  ExifResult result =
      read_ifd0(p, kTiffStart + read_u32(data + 10, p.little_endian), record, links);
  if (result == exif_result::ok && links.exif) {
    result = read_exif_directory(p, *links.exif, record);
  }
  if (result == exif_result::ok && links.gps) {
    result = read_gps_directory(p, *links.gps, record.gps);
  }
  return result;
}

ExifResult ExifRecord::read_exif_payload(const unsigned char* data, uint32_t length) {
  return walk_exif_payload(PayloadBytes{data, length, length}, *this);
}
