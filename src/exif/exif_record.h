// The EXIF metadata of one JPEG image, and the reader that fills it.
//
// read_jpeg checks the JPEG framing, finds the APP1 segment and walks its
// TIFF directories (IFD0, the EXIF sub-directory and the GPS directory) into
// an ExifRecord. Any input, of any length and content, is answered with an
// ExifResult code; the reader prints nothing, throws nothing of its own
// (running out of memory still raises std::bad_alloc), and keeps no pointer
// into the caller's buffer.
#ifndef EXIFCHECK_EXIF_EXIF_RECORD_H_
#define EXIFCHECK_EXIF_EXIF_RECORD_H_

#include <cstdint>
#include <string>

#include "exif/directory_entry.h"
#include "exif/file_bytes.h"

/// The reader's result: 0 on success, else one of the failure codes below.
using ExifResult = int;

namespace exif_result {
/// The EXIF data was walked to the end.
constexpr ExifResult ok = 0;
/// No data, under 4 bytes, no FF D8 at the start, or no FF D9 pair.
constexpr ExifResult not_jpeg = 1982;
/// No FF E1 pair with room for a length, or no "Exif\0\0" identifier.
constexpr ExifResult no_exif_data = 1983;
/// The TIFF byte-order mark is neither "II" nor "MM".
constexpr ExifResult unknown_byte_order = 1984;
/// Bad APP1 length, short payload, magic not 42, or a directory that does
/// not fit the payload.
constexpr ExifResult bad_structure = 1985;
/// Not a verdict on the file: a byte the reader needs is not among those
/// it was given. Only a read of part of a file answers this, naming the
/// bytes it needs; the caller reads them and asks again.
constexpr ExifResult needs_more_bytes = -1;
}  // namespace exif_result

/// A GPS coordinate as degrees, minutes and seconds, with its reference
/// letter ('?' when there is none).
struct DmsAngle {
  double degrees = 0.0;
  double minutes = 0.0;
  double seconds = 0.0;
  char ref_letter = '?';
};

struct GpsPosition {
  double latitude = 0.0;   ///< decimal degrees, negative south
  double longitude = 0.0;  ///< decimal degrees, negative west
  double altitude = 0.0;   ///< metres, negative below sea level
  uint8_t altitude_ref = 0;
  double dop = 0.0;
  DmsAngle latitude_dms;
  DmsAngle longitude_dms;
  /// Whether three rationals were read into the coordinate: a latitude of
  /// 0.0 is then the equator, not a missing entry.
  bool latitude_given = false;
  bool longitude_given = false;
  /// Whether an altitude rational was read (a reference alone is not one).
  bool altitude_given = false;
};

struct LensData {
  double f_number_at_shortest = 0.0;
  double f_number_at_longest = 0.0;
  double shortest_focal_length = 0.0;  ///< millimetres
  double longest_focal_length = 0.0;   ///< millimetres
  double focal_plane_x_resolution = 0.0;
  double focal_plane_y_resolution = 0.0;
  uint16_t focal_plane_resolution_unit = 0;
  std::string lens_make;
  std::string lens_model;
};

/// Decoded metadata of one image. Fields the image does not carry keep
/// their reset values; a missing entry and a zero entry look the same.
struct ExifRecord {
  bool little_endian = false;
  std::string image_description;
  std::string make;
  std::string model;
  uint16_t orientation = 0;
  uint16_t bits_per_sample = 0;
  std::string software;
  std::string date_time;
  std::string date_time_original;
  std::string date_time_digitized;
  std::string sub_sec_time_original;
  std::string offset_time_original;  ///< e.g. "+08:00", the zone of date_time_original
  std::string copyright;
  double exposure_time = 0.0;  ///< seconds
  double f_number = 0.0;
  uint16_t exposure_program = 0;
  uint16_t iso_speed_ratings = 0;
  double shutter_speed_value = 0.0;
  double exposure_bias_value = 0.0;
  double subject_distance = 0.0;  ///< metres
  double focal_length = 0.0;      ///< millimetres
  uint16_t focal_length_in_35mm_film = 0;
  bool flash_fired = false;
  uint16_t flash_return = 0;  ///< Flash bits 1 and 2
  uint16_t flash_mode = 0;    ///< Flash bits 3 and 4
  uint16_t metering_mode = 0;
  uint32_t pixel_x_dimension = 0;
  uint32_t pixel_y_dimension = 0;
  std::string body_serial_number;
  GpsPosition gps;
  LensData lens;

  /// A new record equals a reset one.
  ExifRecord();

  /// Empties every text and zeroes every number; reference letters '?'.
  void reset();

  /// Reads the whole content of one JPEG file (`data` may be null). Resets
  /// the record once the framing is found sound, then fills it. A result
  /// other than ok may leave the record partly filled.
  ExifResult read_jpeg(const unsigned char* data, uint32_t length);

  /// read_jpeg over the parts of a file given. Every bound is tested
  /// against the file's true end marker, or against a lower bound on it
  /// that an end marker in the head gives; so the answer is the one a read
  /// of the whole file gives, or needs_more_bytes when a byte that answer
  /// depends on is not among those given. `request`, when not null, then
  /// names what to read next.
  ExifResult read_jpeg(const FileBytes& file, ByteRequest* request = nullptr);

  /// Walks an APP1 payload: "Exif\0\0", the TIFF header and its
  /// directories. Does not reset the record.
  ExifResult read_exif_payload(const unsigned char* data, uint32_t length);
};

#endif  // EXIFCHECK_EXIF_EXIF_RECORD_H_
