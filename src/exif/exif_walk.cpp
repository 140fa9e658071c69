// Walks the TIFF directories of an EXIF payload into the record: IFD0, the
// EXIF sub-directory and the GPS directory. The thumbnail directory that
// IFD0 links to is never read, and no other directory is visited.
#include <algorithm>
#include <iterator>
#include <optional>

#include "exif/exif_record.h"

namespace {

// TIFF offsets count from the header, which follows "Exif\0\0".
constexpr uint64_t kTiffStart = 6;
constexpr unsigned char kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint64_t kEntrySize = 12;

struct Payload {
  const unsigned char* data;
  uint32_t length;
  bool little_endian;
};

// Directory positions named by IFD0. Held in 64 bits: offset + 6 may pass
// 2^32 and must not wrap around to the start of the payload.
struct Links {
  std::optional<uint64_t> exif;
  std::optional<uint64_t> gps;
};

// The entries and the 4-byte link to the next directory lie inside the
// payload. Checked once per directory, so entry headers need no test.
bool directory_fits(const Payload& p, uint64_t position, uint16_t count) {
  return position + 6 + kEntrySize * count <= p.length;
}

uint32_t entry_position(uint64_t directory, uint64_t k) {
  // Below the payload length once directory_fits has passed.
  return static_cast<uint32_t>(directory + 2 + kEntrySize * k);
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

// Focal range then F numbers; a short list sets what it has.
void set_lens_specification(const DirectoryEntry& e, LensData& lens) {
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
    case 0xA432: set_lens_specification(e, r.lens); break;
    case 0xA433: set_text(e, r.lens.lens_make); break;
    case 0xA434: set_text(e, r.lens.lens_model); break;
    default: break;
  }
}

// A GPS entry as stored; GPS entries are read here, not by decode_entry.
struct GpsEntry {
  uint16_t tag;
  uint16_t format;
  uint32_t count;
  uint32_t value;        // value field as one number
  unsigned char letter;  // first byte of the value field, either byte order
};

bool is_rational_format(uint16_t format) { return format == 5 || format == 10; }

// Whether `n` rationals at the entry's offset lie inside the payload.
bool rationals_fit(const Payload& p, const GpsEntry& e, uint64_t n) {
  return kTiffStart + e.value + 8 * n <= p.length;
}

// A reference negates the coordinate stored so far and a coordinate consults
// the letter stored so far, so the sign is the same in either entry order.
void apply_gps_reference(const GpsEntry& e, char negative, DmsAngle& dms, double& coordinate) {
  dms.ref_letter = e.letter == 0 ? '?' : static_cast<char>(e.letter);
  if (dms.ref_letter == negative) coordinate = -coordinate;
}

void apply_gps_coordinate(const Payload& p, const GpsEntry& e, char negative, DmsAngle& dms,
                          double& coordinate) {
  if (!is_rational_format(e.format) || e.count != 3 || !rationals_fit(p, e, 3)) return;
  // Rationals are read unsigned also for SRATIONAL.
  const unsigned char* at = p.data + kTiffStart + e.value;
  dms.degrees = rational_value(at, p.little_endian);
  dms.minutes = rational_value(at + 8, p.little_endian);
  dms.seconds = rational_value(at + 16, p.little_endian);
  coordinate = (dms.minutes / 60 + dms.degrees) + dms.seconds / 3600;
  if (dms.ref_letter == negative) coordinate = -coordinate;
}

// The first rational of an altitude or DOP entry, if it is one and fits.
std::optional<double> gps_single_rational(const Payload& p, const GpsEntry& e) {
  if (!is_rational_format(e.format) || !rationals_fit(p, e, 1)) return std::nullopt;
  return rational_value(p.data + kTiffStart + e.value, p.little_endian);
}

void apply_gps_entry(const Payload& p, const GpsEntry& e, GpsPosition& gps) {
  switch (e.tag) {
    case 0x0001: apply_gps_reference(e, 'S', gps.latitude_dms, gps.latitude); break;
    case 0x0002: apply_gps_coordinate(p, e, 'S', gps.latitude_dms, gps.latitude); break;
    case 0x0003: apply_gps_reference(e, 'W', gps.longitude_dms, gps.longitude); break;
    case 0x0004: apply_gps_coordinate(p, e, 'W', gps.longitude_dms, gps.longitude); break;
    case 0x0005:
      gps.altitude_ref = e.letter;
      if (gps.altitude_ref == 1) gps.altitude = -gps.altitude;
      break;
    case 0x0006:
      if (const auto altitude = gps_single_rational(p, e)) {
        gps.altitude = gps.altitude_ref == 1 ? -*altitude : *altitude;
      }
      break;
    case 0x000B:
      if (const auto dop = gps_single_rational(p, e)) gps.dop = *dop;
      break;
    default: break;
  }
}

ExifResult read_ifd0(const Payload& p, uint64_t position, ExifRecord& r, Links& links) {
  if (position + 2 > p.length) return exif_result::bad_structure;
  const uint16_t count = read_u16(p.data + position, p.little_endian);
  if (!directory_fits(p, position, count)) return exif_result::bad_structure;
  for (uint64_t k = 0; k < count; ++k) {
    const DirectoryEntry e = decode_entry(p.data, p.length, entry_position(position, k), p.little_endian);
    apply_ifd0_entry(e, r, links);
  }
  return exif_result::ok;
}

// A sub-directory pointer into the last three bytes or beyond is skipped.
ExifResult read_exif_directory(const Payload& p, uint64_t position, ExifRecord& r) {
  if (position + 4 > p.length) return exif_result::ok;
  const uint16_t count = read_u16(p.data + position, p.little_endian);
  if (!directory_fits(p, position, count)) return exif_result::bad_structure;
  for (uint64_t k = 0; k < count; ++k) {
    const DirectoryEntry e = decode_entry(p.data, p.length, entry_position(position, k), p.little_endian);
    apply_exif_entry(e, r);
  }
  return exif_result::ok;
}

ExifResult read_gps_directory(const Payload& p, uint64_t position, GpsPosition& gps) {
  if (position + 4 > p.length) return exif_result::ok;
  const uint16_t count = read_u16(p.data + position, p.little_endian);
  if (!directory_fits(p, position, count)) return exif_result::bad_structure;
  for (uint64_t k = 0; k < count; ++k) {
    const unsigned char* stored = p.data + entry_position(position, k);
    GpsEntry e;
    e.tag = read_u16(stored, p.little_endian);
    e.format = read_u16(stored + 2, p.little_endian);
    e.count = read_u32(stored + 4, p.little_endian);
    e.value = read_u32(stored + 8, p.little_endian);
    e.letter = stored[8];
    apply_gps_entry(p, e, gps);
  }
  return exif_result::ok;
}

}  // namespace

ExifResult ExifRecord::read_exif_payload(const unsigned char* data, uint32_t length) {
  if (data == nullptr || length < 6 || !std::equal(kIdentifier, kIdentifier + 6, data)) {
    return exif_result::no_exif_data;
  }
  if (length < 14) return exif_result::bad_structure;
  if (data[6] == 'I' && data[7] == 'I') {
    little_endian = true;
  } else if (data[6] == 'M' && data[7] == 'M') {
    little_endian = false;
  } else {
    return exif_result::unknown_byte_order;
  }
  const Payload p{data, length, little_endian};
  if (read_u16(data + 8, little_endian) != 42) return exif_result::bad_structure;

  Links links;
  ExifResult result = read_ifd0(p, kTiffStart + read_u32(data + 10, little_endian), *this, links);
  if (result == exif_result::ok && links.exif) result = read_exif_directory(p, *links.exif, *this);
  if (result == exif_result::ok && links.gps) result = read_gps_directory(p, *links.gps, gps);
  return result;
}
