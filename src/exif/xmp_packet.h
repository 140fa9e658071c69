// The few values the checks before processing take from a frame's XMP
// packet: where the drone and its gimbal stood and pointed, the state of
// its RTK fix, and the camera's serial number.
//
// read_xmp_packet is a small reader of its own, not an XML parser: it
// follows the markup far enough to know which namespace each name is in and
// which element it sits in, and skips all else. Any input is answered; it
// prints nothing and throws nothing of its own (running out of memory still
// raises std::bad_alloc), and keeps no pointer into the caller's buffer.
#ifndef EXIFCHECK_EXIF_XMP_PACKET_H_
#define EXIFCHECK_EXIF_XMP_PACKET_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// The reader looks at no more than this many bytes of a packet: one APP1
/// segment holds less.
constexpr uint32_t kXmpPacketLimit = 64 * 1024;
/// camera_serial holds at most this many bytes.
constexpr size_t kXmpSerialLimit = 256;

/// Values of a packet; each is empty when the packet does not give it, or
/// gives it first in a form that is no number.
struct XmpValues {
  // From the drone's own namespace.
  std::optional<double> relative_altitude;  ///< metres above the take-off point
  std::optional<double> absolute_altitude;  ///< metres
  std::optional<double> gimbal_pitch_degree;
  std::optional<double> gimbal_roll_degree;
  std::optional<double> gimbal_yaw_degree;
  std::optional<double> flight_pitch_degree;
  std::optional<double> flight_roll_degree;
  std::optional<double> flight_yaw_degree;
  std::optional<int> rtk_flag;
  std::optional<double> rtk_std_lon;  ///< metres
  std::optional<double> rtk_std_lat;  ///< metres
  std::optional<double> rtk_std_hgt;  ///< metres
  /// The first of aux SerialNumber, BodySerialNumber and the drone's
  /// CameraSerialNumber that the packet gives, without surrounding blanks
  /// and cut to kXmpSerialLimit bytes; empty when there is none. Its bytes
  /// are as given: the place that shows it escapes them.
  std::string camera_serial;
};

/// Reads the packet of `size` bytes at `data` (the APP1 payload after the
/// XMP identifier; null only with size 0), of which the first
/// kXmpPacketLimit bytes at most are looked at. Values are taken from the
/// attributes of an rdf:Description directly inside rdf:RDF and from its
/// child elements that hold text alone; names match by namespace, whatever
/// prefix the packet binds to it. A value given twice counts the first
/// time. Markup the reader cannot follow ends the reading, and what was
/// read up to it is kept.
XmpValues read_xmp_packet(const unsigned char* data, uint32_t size);

#endif  // EXIFCHECK_EXIF_XMP_PACKET_H_
