// Medians, time differences and the local plane of the survey.
#include "survey/survey_math.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180.0;
// The mean earth radius; at survey scale the ellipsoid changes nothing a
// rule measures.
constexpr double kMetresPerDegree = 6371008.8 * kRadians;

// Longitude difference folded into [-180, 180).
double Wrap(double degrees) {
  double wrapped = std::fmod(degrees + 180.0, 360.0);
  if (wrapped < 0) wrapped += 360.0;
  return wrapped - 180.0;
}

}  // namespace

double Median(std::vector<double> values) {
  // A NaN would break the ordering nth_element relies on.
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }),
               values.end());
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  // The lower middle is the largest of the half before it.
  return (*std::max_element(values.begin(), middle) + *middle) / 2.0;
}

bool Finite(const std::optional<double>& value) {
  return value.has_value() && std::isfinite(*value);
}

double SecondsBetween(const CaptureTime& from, const CaptureTime& to) {
  const double whole = static_cast<double>(to.clock_seconds - from.clock_seconds);
  const double fraction =
      (static_cast<double>(to.nanoseconds) - static_cast<double>(from.nanoseconds)) * 1e-9;
  return whole + fraction;
}

bool Earlier(const CaptureTime& a, const CaptureTime& b) {
  if (a.clock_seconds != b.clock_seconds) return a.clock_seconds < b.clock_seconds;
  return a.nanoseconds < b.nanoseconds;
}

LocalPlane FitPlane(const std::vector<double>& latitudes, const std::vector<double>& longitudes) {
  LocalPlane plane;
  plane.latitude = Median(latitudes);
  // The mean direction on the circle finds the survey's side of the globe;
  // the median of the offsets from it keeps a stray frame from pulling.
  double sum_sin = 0, sum_cos = 0;
  for (double longitude : longitudes) {
    sum_sin += std::sin(longitude * kRadians);
    sum_cos += std::cos(longitude * kRadians);
  }
  const double rough = std::atan2(sum_sin, sum_cos) / kRadians;
  std::vector<double> offsets;
  offsets.reserve(longitudes.size());
  for (double longitude : longitudes) offsets.push_back(Wrap(longitude - rough));
  plane.longitude = Wrap(rough + Median(offsets));
  plane.east_scale = kMetresPerDegree * std::cos(plane.latitude * kRadians);
  return plane;
}

PlanePoint ToPlane(const LocalPlane& plane, double latitude, double longitude) {
  return {Wrap(longitude - plane.longitude) * plane.east_scale,
          (latitude - plane.latitude) * kMetresPerDegree};
}

double Distance(PlanePoint a, PlanePoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

double CourseDegrees(PlanePoint from, PlanePoint to) {
  const double course = std::atan2(to.x - from.x, to.y - from.y) / kRadians;
  return course < 0 ? course + 360.0 : course;
}

double AngleBetween(double a_degrees, double b_degrees) {
  return std::fabs(Wrap(a_degrees - b_degrees));
}
