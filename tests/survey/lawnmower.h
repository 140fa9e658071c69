// Synthetic drone surveys for the findings before processing: frames built
// in metres around one spot, and a whole lawnmower survey with turns, GPS
// and altitude noise, as a mapping drone flies it. The benchmark uses it too.
#ifndef EXIFCHECK_TESTS_SURVEY_LAWNMOWER_H_
#define EXIFCHECK_TESTS_SURVEY_LAWNMOWER_H_

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"

namespace survey_test {

constexpr double kMetresPerDegree = 6371008.8 * 3.14159265358979323846 / 180.0;
constexpr std::int64_t kStart = 1717200000;  // 2024-06-01 00:00:00

inline CaptureTime TimeAt(double seconds) {
  CaptureTime t;
  const double whole = std::floor(seconds);
  t.clock_seconds = kStart + static_cast<std::int64_t>(whole);
  t.nanoseconds = static_cast<std::uint32_t>(std::lround((seconds - whole) * 1000.0)) * 1000000U;
  if (t.nanoseconds >= 1000000000U) {
    t.nanoseconds -= 1000000000U;
    ++t.clock_seconds;
  }
  t.fraction_digits = 3;
  return t;
}

/// Sets a frame's coordinate from signed degrees, with the letters they take.
inline void PlaceAt(FrameFacts* f, double latitude, double longitude) {
  if (longitude >= 180.0) longitude -= 360.0;
  if (longitude < -180.0) longitude += 360.0;
  f->has_latitude = f->has_longitude = true;
  f->latitude = latitude;
  f->longitude = longitude;
  f->latitude_ref = latitude < 0 ? 'S' : 'N';
  f->longitude_ref = longitude < 0 ? 'W' : 'E';
}

/// Moves a frame by metres east and north.
inline void MoveBy(FrameFacts* f, double east, double north) {
  const double scale = kMetresPerDegree * std::cos(f->latitude * 3.14159265358979323846 / 180.0);
  PlaceAt(f, f->latitude + north / kMetresPerDegree, f->longitude + east / scale);
}

/// A read frame of a mapping drone (1" sensor, 24 mm equivalent, 5472 x
/// 3648, 1/1600 s, RTK fixed, looking down, 100 m up) `east` and `north`
/// metres from (latitude, longitude), taken `seconds` after the start and
/// flying along `yaw`. `number` makes its file and segment its own.
inline FrameFacts FrameAt(double east, double north, double seconds, std::size_t number,
                          double yaw = 0.0, double latitude = 30.26, double longitude = 120.12) {
  FrameFacts f;
  f.exif = true;
  f.file_size = 8000000 + number * 17;
  f.exif_digest = 0x9e3779b97f4a7c15ULL * (number + 1);
  f.exif_size = 21000;
  f.make = "DJI";
  f.model = "FC6310R";
  f.serial = "0K8TG7F0011";
  f.width = 5472;
  f.height = 3648;
  f.focal_35mm = 24;
  f.focal_mm = 8.8;
  f.exposure_time = 1.0 / 1600.0;
  f.time = TimeAt(seconds);
  PlaceAt(&f, latitude, longitude);
  MoveBy(&f, east, north);
  f.gps_altitude = 120.0;
  f.gps_altitude_ref = 0;
  f.relative_altitude = 100.0;
  f.gimbal_pitch = -89.9;
  f.gimbal_roll = 0.0;
  f.gimbal_yaw = yaw;
  f.flight_yaw = yaw;
  f.rtk_flag = 50;
  f.rtk_std_lon = f.rtk_std_lat = 0.012;
  f.rtk_std_hgt = 0.025;
  return f;
}

struct LawnmowerPlan {
  std::size_t lines = 6;
  std::size_t frames_per_line = 21;
  double spacing_m = 15.0;   // 85 % forward overlap at 100 m
  double line_gap_m = 40.0;  // 73 % side overlap
  double speed_mps = 6.0;
  double turn_s = 12.0;
  bool crossing_frames = true;  // one frame halfway across every other turn
  double noise_m = 1.0;         // GPS noise, up to this far each way on each axis
  double altitude_noise_m = 0.5;
  double latitude = 30.26;
  double longitude = 120.12;
  std::uint32_t seed = 1;
};

struct Lawnmower {
  std::vector<FrameFacts> frames;
  std::vector<std::size_t> line_first;  // list position of each line's first frame
};

/// Lines flown north and south in turn, each a line gap east of the last.
inline Lawnmower FlyLawnmower(const LawnmowerPlan& plan) {
  Lawnmower survey;
  std::uint32_t state = plan.seed;
  auto noise = [&state](double amount) {
    state = state * 1664525U + 1013904223U;
    return ((state >> 8) / 16777216.0 * 2.0 - 1.0) * amount;
  };
  const double length = plan.spacing_m * static_cast<double>(plan.frames_per_line - 1);
  const double interval = plan.spacing_m / plan.speed_mps;
  double seconds = 0;
  auto add = [&](double east, double north, double yaw) {
    FrameFacts f = FrameAt(east + noise(plan.noise_m), north + noise(plan.noise_m), seconds,
                           survey.frames.size(), yaw, plan.latitude, plan.longitude);
    *f.relative_altitude += noise(plan.altitude_noise_m);
    *f.gps_altitude += noise(plan.altitude_noise_m);
    *f.gimbal_pitch += noise(0.1);
    *f.gimbal_roll += noise(0.3);
    survey.frames.push_back(f);
  };
  for (std::size_t line = 0; line < plan.lines; ++line) {
    const bool north = line % 2 == 0;
    const double east = plan.line_gap_m * static_cast<double>(line);
    if (line > 0) {
      if (plan.crossing_frames && line % 2 == 1) {
        seconds += plan.turn_s / 2;
        add(east - plan.line_gap_m / 2, north ? 0.0 : length, 90.0);
        seconds += plan.turn_s / 2;
      } else {
        seconds += plan.turn_s;
      }
    }
    survey.line_first.push_back(survey.frames.size());
    for (std::size_t k = 0; k < plan.frames_per_line; ++k) {
      if (k > 0) seconds += interval;
      const double along = plan.spacing_m * static_cast<double>(k);
      add(east, north ? along : length - along, north ? 0.0 : 180.0);
    }
  }
  return survey;
}

/// Frames flown north at `speed` m/s, one at each of `along` metres.
inline std::vector<FrameFacts> StraightLine(const std::vector<double>& along, double speed = 6.0) {
  std::vector<FrameFacts> frames;
  for (double metres : along) frames.push_back(FrameAt(0, metres, metres / speed, frames.size()));
  return frames;
}

/// The frames `found` names with `id`.
inline std::vector<std::size_t> NamedBy(const SurveyFindings& found, Finding id) {
  std::vector<std::size_t> named;
  for (std::size_t i = 0; i < found.frames.size(); ++i) {
    if (Names(found.frames[i].findings, id)) named.push_back(i);
  }
  return named;
}

/// Frame and the findings naming it, for every named frame.
inline std::vector<std::pair<std::size_t, FindingSet>> NamedFrames(const SurveyFindings& found) {
  std::vector<std::pair<std::size_t, FindingSet>> named;
  for (std::size_t i = 0; i < found.frames.size(); ++i) {
    if (found.frames[i].findings != 0) named.emplace_back(i, found.frames[i].findings);
  }
  return named;
}

}  // namespace survey_test

#endif  // EXIFCHECK_TESTS_SURVEY_LAWNMOWER_H_
