// Any bytes as an XMP packet: the reader reads nothing past them (a heap
// block of exactly their size), looks at no byte past kXmpPacketLimit, and
// keeps only finite numbers and a serial within its bound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "exif/xmp_packet.h"

namespace {
bool Same(const std::optional<double>& a, const std::optional<double>& b) {
  if (a && !std::isfinite(*a)) std::abort();
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

bool Same(const XmpValues& a, const XmpValues& b) {
  return Same(a.relative_altitude, b.relative_altitude) &&
         Same(a.absolute_altitude, b.absolute_altitude) &&
         Same(a.gimbal_pitch_degree, b.gimbal_pitch_degree) &&
         Same(a.gimbal_roll_degree, b.gimbal_roll_degree) &&
         Same(a.gimbal_yaw_degree, b.gimbal_yaw_degree) &&
         Same(a.flight_pitch_degree, b.flight_pitch_degree) &&
         Same(a.flight_roll_degree, b.flight_roll_degree) &&
         Same(a.flight_yaw_degree, b.flight_yaw_degree) && Same(a.rtk_std_lon, b.rtk_std_lon) &&
         Same(a.rtk_std_lat, b.rtk_std_lat) && Same(a.rtk_std_hgt, b.rtk_std_hgt) &&
         a.rtk_flag == b.rtk_flag && a.camera_serial == b.camera_serial;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  std::unique_ptr<unsigned char[]> block(new unsigned char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(block.get(), data, size);
  const XmpValues values = read_xmp_packet(block.get(), static_cast<uint32_t>(size));
  if (values.camera_serial.size() > kXmpSerialLimit) std::abort();
  if (size > kXmpPacketLimit) {
    // The bytes past the limit change nothing.
    std::memset(block.get() + kXmpPacketLimit, '<', size - kXmpPacketLimit);
    if (!Same(values, read_xmp_packet(block.get(), static_cast<uint32_t>(size)))) std::abort();
  }
  if (!Same(values, values)) std::abort();  // every number finite
  return 0;
}
