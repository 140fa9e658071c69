// Writes frames laid out as a survey drone writes them: an EXIF segment of
// about 21.6 KB (a maker note, the usual tags, a body serial, sub-second
// time and zone, GPS, a thumbnail named by IFD1), then the drone's XMP
// packet in its own APP1 segment, then the picture. A 16 KiB head ends
// inside the EXIF segment, as it does on real frames.
#ifndef EXIFCHECK_TESTS_SUPPORT_DRONE_FRAME_H_
#define EXIFCHECK_TESTS_SUPPORT_DRONE_FRAME_H_

#include <cstddef>
#include <optional>
#include <string>

#include "support/jpeg_writer.h"

namespace testsupport {

struct DroneFrame {
  DroneFrame();
  SurveyFrame camera;  ///< make "DJI", a 20 MP body, 8.8 mm (24 mm in 35 mm terms)
  std::string serial = "0K8TG2R0020001";  ///< BodySerialNumber; empty: none
  std::string lens;                       ///< LensModel; empty: none
  std::string sub_seconds = "120";
  std::string offset = "+08:00";
  /// The XMP packet's values; a value left empty is not written.
  std::optional<double> relative_altitude = 100.0;
  std::optional<double> absolute_altitude = 150.0;
  std::optional<double> gimbal_pitch = -90.0;
  std::optional<double> gimbal_roll = 0.0;
  std::optional<double> gimbal_yaw = 0.0;
  std::optional<double> flight_yaw = 0.0;
  std::optional<int> rtk_flag = 50;
  std::optional<double> rtk_std = 0.02;  ///< RtkStdLon, RtkStdLat and RtkStdHgt alike
  bool xmp = true;
  /// The EXIF segment is padded with its maker note to about this size.
  std::size_t exif_bytes = 21600;
  std::size_t thumbnail_bytes = 12000;
  /// Entropy-coded bytes after the scan header.
  std::size_t picture_bytes = 60000;
};

/// The drone's XMP packet for `frame`, in its attribute form.
std::string DroneXmp(const DroneFrame& frame);
Bytes MakeDroneJpeg(const DroneFrame& frame);

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_DRONE_FRAME_H_
