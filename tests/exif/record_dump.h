// Renders every field of an ExifRecord as one text, so tests can compare
// whole records.
#ifndef EXIFCHECK_TESTS_EXIF_RECORD_DUMP_H_
#define EXIFCHECK_TESTS_EXIF_RECORD_DUMP_H_

#include <sstream>
#include <string>

#include "exif/exif_record.h"

template <typename... T>
void DumpFields(std::ostream& out, const T&... fields) {
  ((out << fields << '|'), ...);
}

inline std::string Dump(const ExifRecord& r) {
  std::ostringstream o;
  o.precision(17);
  DumpFields(o, r.little_endian, r.image_description, r.make, r.model, r.orientation,
             r.bits_per_sample, r.software, r.date_time, r.date_time_original,
             r.date_time_digitized, r.sub_sec_time_original, r.offset_time_original, r.copyright,
             r.exposure_time, r.f_number, r.exposure_program, r.iso_speed_ratings,
             r.shutter_speed_value, r.exposure_bias_value, r.subject_distance, r.focal_length,
             r.focal_length_in_35mm_film, r.flash_fired, r.flash_return, r.flash_mode,
             r.metering_mode, r.pixel_x_dimension, r.pixel_y_dimension, r.body_serial_number);
  const GpsPosition& g = r.gps;
  DumpFields(o, g.latitude, g.longitude, g.altitude, int{g.altitude_ref}, g.dop, g.latitude_given,
             g.longitude_given, g.altitude_given);
  for (const DmsAngle& a : {g.latitude_dms, g.longitude_dms})
    DumpFields(o, a.degrees, a.minutes, a.seconds, a.ref_letter);
  const LensData& l = r.lens;
  DumpFields(o, l.f_number_at_shortest, l.f_number_at_longest, l.shortest_focal_length,
             l.longest_focal_length, l.focal_plane_x_resolution, l.focal_plane_y_resolution,
             l.focal_plane_resolution_unit, l.lens_make, l.lens_model);
  return o.str();
}

#endif  // EXIFCHECK_TESTS_EXIF_RECORD_DUMP_H_
