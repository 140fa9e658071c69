// What one frame says of itself that the before-processing findings look
// at: capture time, camera body, position and the drone's own record of
// its height, gimbal and RTK fix. Filled by the frame reads, read by the
// findings, the page and the per-frame table. Every value is optional: a
// frame that does not carry it leaves it empty, never zero.
#ifndef EXIFCHECK_SURVEY_FRAME_FACTS_H_
#define EXIFCHECK_SURVEY_FRAME_FACTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// DateTimeOriginal with SubSecTimeOriginal and OffsetTimeOriginal.
struct CaptureTime {
  /// The camera's clock reading as seconds since 1970-01-01 00:00:00,
  /// taken as if it were UTC: two readings of one camera compare as they
  /// stand, whatever zone its clock was set to.
  std::int64_t clock_seconds = 0;
  /// The fraction of the second SubSecTimeOriginal gave, and how many
  /// digits it had (0: none).
  std::uint32_t nanoseconds = 0;
  std::uint8_t fraction_digits = 0;
  /// OffsetTimeOriginal ("+08:00") in minutes east of UTC, when given.
  std::optional<std::int16_t> offset_minutes;
};

/// The longest text kept of a model, serial or lens name: longer ones are
/// cut there, and `texts_cut` says so.
constexpr std::size_t kLongestFactText = 256;

struct FrameFacts {
  /// Read, and its EXIF data decoded. When false, every field below but
  /// `folder` and `file_size` is empty.
  bool exif = false;
  /// Frames of one folder of the image list share this number; folders
  /// are numbered in list order.
  std::size_t folder = 0;
  std::uint64_t file_size = 0;
  /// The EXIF segment (its APP1 payload) as a 64-bit digest and its
  /// length: two frames with equal digests and lengths carry the same
  /// segment.
  std::uint64_t exif_digest = 0;
  std::uint32_t exif_size = 0;

  // The camera.
  std::string make;  ///< up to its first NUL, as the maker check keys it
  std::string model;
  std::string serial;  ///< BodySerialNumber, else the serial the XMP packet names
  std::string lens;    ///< LensModel
  bool texts_cut = false;
  std::uint32_t width = 0;  ///< PixelXDimension, 0 when not given
  std::uint32_t height = 0;
  std::uint16_t focal_35mm = 0;         ///< FocalLengthIn35mmFilm, 0 when not given
  std::optional<double> focal_mm;       ///< FocalLength, when given and above 0
  std::optional<double> exposure_time;  ///< seconds, when given and above 0
  std::optional<CaptureTime> time;      ///< when DateTimeOriginal parses as a date

  // The GPS directory. A coordinate is signed by its reference letter, as
  // the checks read it; the letters are kept as given ('?' when missing).
  bool has_latitude = false;  ///< a GPSLatitude entry of three rationals was read
  bool has_longitude = false;
  double latitude = 0.0;
  double longitude = 0.0;
  char latitude_ref = '?';
  char longitude_ref = '?';
  std::optional<double> gps_altitude;  ///< metres, signed by GPSAltitudeRef
  std::uint8_t gps_altitude_ref = 0;

  // The drone's XMP record (http://www.dji.com/drone-dji/1.0/).
  std::optional<double> relative_altitude;  ///< metres above the take-off point
  std::optional<double> absolute_altitude;
  std::optional<double> gimbal_pitch;  ///< degrees; -90 looks straight down
  std::optional<double> gimbal_roll;
  std::optional<double> gimbal_yaw;  ///< degrees clockwise from north
  std::optional<double> flight_pitch;
  std::optional<double> flight_roll;
  std::optional<double> flight_yaw;
  std::optional<int> rtk_flag;        ///< 50 fixed, 34 float, 16 single, 0 none
  std::optional<double> rtk_std_lon;  ///< metres
  std::optional<double> rtk_std_lat;
  std::optional<double> rtk_std_hgt;
};

#endif  // EXIFCHECK_SURVEY_FRAME_FACTS_H_
