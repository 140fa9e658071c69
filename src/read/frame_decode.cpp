// The frame decode: the EXIF reader over the parts given, then what the
// findings before processing take of the record.
#include "read/frame_decode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "exif/jpeg_segments.h"
#include "exif/xmp_packet.h"
#include "survey/survey_math.h"

namespace {

// A text from a file as the findings keep it: up to its first NUL, at most
// kLongestFactText bytes.
std::string FactText(const std::string& text, bool* cut) {
  std::string kept = text.c_str();
  if (kept.size() > kLongestFactText) {
    kept.resize(kLongestFactText);
    *cut = true;
  }
  return kept;
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int* value) {
  if (at > text.size() || text.size() - at < count) return false;
  int v = 0;
  for (std::size_t k = at; k < at + count; ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    v = v * 10 + (text[k] - '0');
  }
  *value = v;
  return true;
}

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

std::string Trimmed(const std::string& text) {
  std::string kept = text.c_str();
  const std::size_t first = kept.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return kept.substr(first, kept.find_last_not_of(' ') - first + 1);
}

// Whether the head holds the whole payload of `segment`.
bool Held(const FileBytes& parts, const SegmentPlace& segment) {
  return std::uint64_t{segment.payload} + segment.payload_size <= parts.head_size;
}

// Both halves of the 128-bit product, folded: one multiply mixes sixteen
// bytes.
__extension__ typedef unsigned __int128 Product;
std::uint64_t Fold(std::uint64_t a, std::uint64_t b) {
  const Product product = static_cast<Product>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

// A digest of the EXIF segment, so that two frames carrying the same one
// are told apart from frames that merely share a size and a time. Two
// lanes, so that the multiplies do not wait on each other: a drone's 21 KB
// segment costs about a microsecond, where one multiply per eight
// bytes cost a tenth of a warm run. Not for adversaries; a match only
// names a frame on the page.
std::uint64_t Digest(const unsigned char* data, std::size_t size) {
  constexpr std::uint64_t kKeys[] = {0xA0761D6478BD642Full, 0xE7037ED1A0B428DBull,
                                     0x8EBC6AF09C88C6E3ull};
  std::uint64_t a = size ^ kKeys[0], b = ~std::uint64_t{size} ^ kKeys[1];
  std::size_t at = 0;
  for (; size - at >= 32; at += 32) {
    std::uint64_t words[4];
    std::memcpy(words, data + at, sizeof words);
    a = Fold(words[0] ^ kKeys[1], words[1] ^ a);
    b = Fold(words[2] ^ kKeys[2], words[3] ^ b);
  }
  for (; at < size; ++at) a = Fold(a ^ data[at], kKeys[2]);
  return Fold(a ^ kKeys[0], b ^ kKeys[1]);
}

void KeepXmp(const XmpValues& xmp, FrameFacts* facts) {
  facts->relative_altitude = xmp.relative_altitude;
  facts->absolute_altitude = xmp.absolute_altitude;
  facts->gimbal_pitch = xmp.gimbal_pitch_degree;
  facts->gimbal_roll = xmp.gimbal_roll_degree;
  facts->gimbal_yaw = xmp.gimbal_yaw_degree;
  facts->flight_pitch = xmp.flight_pitch_degree;
  facts->flight_roll = xmp.flight_roll_degree;
  facts->flight_yaw = xmp.flight_yaw_degree;
  facts->rtk_flag = xmp.rtk_flag;
  facts->rtk_std_lon = xmp.rtk_std_lon;
  facts->rtk_std_lat = xmp.rtk_std_lat;
  facts->rtk_std_hgt = xmp.rtk_std_hgt;
  if (facts->serial.empty()) facts->serial = FactText(xmp.camera_serial, &facts->texts_cut);
}

// Keeps what the checks key their groups on, and the rest for the findings.
void KeepFields(const ExifRecord& record, Frame* frame, FrameFacts* kept) {
  frame->focal_length_in_35mm_film = record.focal_length_in_35mm_film;
  frame->pixel_x_dimension = record.pixel_x_dimension;
  frame->pixel_y_dimension = record.pixel_y_dimension;
  frame->latitude = record.gps.latitude;
  frame->longitude = record.gps.longitude;
  frame->altitude = record.gps.altitude;
  frame->make = record.make.c_str();  // up to the first NUL, if any

  FrameFacts& facts = *kept;
  facts.exif = true;
  facts.make = frame->make;
  facts.model = FactText(record.model, &facts.texts_cut);
  facts.lens = FactText(record.lens.lens_model, &facts.texts_cut);
  facts.serial = FactText(record.body_serial_number, &facts.texts_cut);
  facts.width = record.pixel_x_dimension;
  facts.height = record.pixel_y_dimension;
  facts.focal_35mm = record.focal_length_in_35mm_film;
  if (record.focal_length > 0) facts.focal_mm = record.focal_length;
  if (record.exposure_time > 0) facts.exposure_time = record.exposure_time;
  facts.time = ParseCaptureTime(record.date_time_original, record.sub_sec_time_original,
                                record.offset_time_original);
  facts.has_latitude = record.gps.latitude_given;
  facts.has_longitude = record.gps.longitude_given;
  if (record.gps.altitude_given) facts.gps_altitude = record.gps.altitude;
  facts.latitude = record.gps.latitude;
  facts.longitude = record.gps.longitude;
  facts.latitude_ref = record.gps.latitude_dms.ref_letter;
  facts.longitude_ref = record.gps.longitude_dms.ref_letter;
  facts.gps_altitude_ref = record.gps.altitude_ref;
}

}  // namespace

std::optional<CaptureTime> ParseCaptureTime(const std::string& date_time,
                                            const std::string& sub_seconds,
                                            const std::string& offset) {
  // "YYYY:MM:DD HH:MM:SS"; some writers use '-' in the date.
  const std::string text = Trimmed(date_time);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() != 19 || !Digits(text, 0, 4, &year) || !Digits(text, 5, 2, &month) ||
      !Digits(text, 8, 2, &day) || !Digits(text, 11, 2, &hour) || !Digits(text, 14, 2, &minute) ||
      !Digits(text, 17, 2, &second)) {
    return std::nullopt;
  }
  const char date_mark = text[4];
  if ((date_mark != ':' && date_mark != '-') || text[7] != date_mark || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  CaptureTime time;
  time.clock_seconds = DaysFromCivil(year, month, day) * 86400 + std::int64_t{hour} * 3600 +
                       std::int64_t{minute} * 60 + second;
  const std::string fraction = Trimmed(sub_seconds);
  std::uint32_t nanoseconds = 0;
  std::size_t digits = 0;
  for (; digits < fraction.size() && fraction[digits] >= '0' && fraction[digits] <= '9'; ++digits) {
    if (digits < 9)
      nanoseconds = nanoseconds * 10 + static_cast<std::uint32_t>(fraction[digits] - '0');
  }
  if (digits > 0 && digits == fraction.size()) {
    const std::size_t used = digits < 9 ? digits : 9;
    for (std::size_t k = used; k < 9; ++k) nanoseconds *= 10;
    time.nanoseconds = nanoseconds;
    time.fraction_digits = static_cast<std::uint8_t>(used);
  }
  // "+08:00", "-05:30"; "   :  " and anything else say nothing.
  const std::string zone = Trimmed(offset);
  int zone_hours = 0, zone_minutes = 0;
  if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':' &&
      Digits(zone, 1, 2, &zone_hours) && Digits(zone, 4, 2, &zone_minutes) && zone_hours <= 14 &&
      zone_minutes <= 59) {
    const int minutes = zone_hours * 60 + zone_minutes;
    time.offset_minutes = static_cast<std::int16_t>(zone[0] == '-' ? -minutes : minutes);
  }
  return time;
}

namespace {

// How far the walk over the segments needs the head to reach: the end of
// the metadata segments it found, or the bytes it lacks to find them.
std::uint32_t MetadataNeed(const FileBytes& parts, MetadataSegments* segments) {
  ByteRequest walk;
  // A camera writes its metadata first; past this the walk gives up rather
  // than read a frame's other segments one request at a time.
  if (!find_metadata_segments(parts, segments, &walk) && walk.from < kMetadataReach) {
    return std::min(std::max(walk.to, segments->metadata_end), parts.size);
  }
  return segments->metadata_end;
}

}  // namespace

std::optional<ByteRequest> DecodeFrame(const FileBytes& parts, FrameRead* read) {
  Frame* frame = &read->frame;
  FrameFacts* facts = &read->facts;
  ExifRecord record;
  ByteRequest more;
  frame->result = record.read_jpeg(parts, &more);
  // Where the EXIF and XMP segments lie. What is still missing of them is
  // asked for as one range that grows the head, together with what the
  // reader lacks: on the first frames of a survey the rest of a long EXIF
  // segment and the XMP packet after it, later never, once the head has
  // learned how far they reach. The range often brings the thumbnail's end
  // marker into the head too, and with it the bound that spares the tail.
  MetadataSegments segments;
  const std::uint32_t need = MetadataNeed(parts, &segments);
  const bool grows_head = need > parts.head_size && parts.head_size < parts.size;
  if (frame->result == exif_result::needs_more_bytes) {
    if (!more.end_marker && more.from <= parts.head_size && grows_head) {
      return ByteRequest{false, parts.head_size, std::max(more.to, need)};
    }
    if (more.end_marker && grows_head) return ByteRequest{false, parts.head_size, need};
    return more;
  }
  *facts = FrameFacts();
  facts->file_size = parts.size;
  if (frame->result != exif_result::ok) return std::nullopt;
  if (grows_head) return ByteRequest{false, parts.head_size, need};
  KeepFields(record, frame, facts);
  frame->metadata_end = segments.metadata_end;
  if (segments.exif && Held(parts, *segments.exif)) {
    const SegmentPlace& exif = *segments.exif;
    facts->exif_size = exif.payload_size;
    facts->exif_digest = Digest(parts.head + exif.payload, exif.payload_size);
    ThumbnailPlace place;
    if (find_thumbnail(parts.head, parts.head_size, parts.size, &place)) frame->thumbnail = place;
  }
  if (segments.xmp && Held(parts, *segments.xmp) &&
      segments.xmp->payload_size > kXmpIdentifierSize) {
    const SegmentPlace& xmp = *segments.xmp;
    KeepXmp(read_xmp_packet(parts.head + xmp.payload + kXmpIdentifierSize,
                            xmp.payload_size - kXmpIdentifierSize),
            facts);
  }
  return std::nullopt;
}
