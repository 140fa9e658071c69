// Medians, time differences and the local plane of the survey.
#include "survey/survey_math.h"

#include <algorithm>
#include <cmath>

namespace {

// The mean earth radius; at survey scale the ellipsoid changes nothing a
// rule measures.
constexpr double kMetresPerDegree = 6371008.8 * kRadiansPerDegree;

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

std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return std::int64_t{era} * 146097 + day_of_era - 719468;
}

CivilTime CivilTimeOf(std::int64_t clock_seconds) {
  std::int64_t days =
      clock_seconds >= 0 ? clock_seconds / 86400 : -((-clock_seconds + 86399) / 86400);
  const auto of_day = static_cast<int>(clock_seconds - days * 86400);
  // DaysFromCivil undone: eras of 400 years, years that start in March.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  CivilTime civil;
  civil.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  civil.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  civil.year = year_of_era + era * 400 + (civil.month <= 2 ? 1 : 0);
  civil.hour = of_day / 3600;
  civil.minute = of_day / 60 % 60;
  civil.second = of_day % 60;
  return civil;
}

LocalPlane FitPlane(const std::vector<double>& latitudes, const std::vector<double>& longitudes) {
  LocalPlane plane;
  plane.latitude = Median(latitudes);
  // The mean direction on the circle finds the survey's side of the globe;
  // the median of the offsets from it keeps a stray frame from pulling.
  double sum_sin = 0, sum_cos = 0;
  for (double longitude : longitudes) {
    sum_sin += std::sin(longitude * kRadiansPerDegree);
    sum_cos += std::cos(longitude * kRadiansPerDegree);
  }
  const double rough = std::atan2(sum_sin, sum_cos) / kRadiansPerDegree;
  std::vector<double> offsets;
  offsets.reserve(longitudes.size());
  for (double longitude : longitudes) offsets.push_back(Wrap(longitude - rough));
  plane.longitude = Wrap(rough + Median(offsets));
  plane.east_scale = kMetresPerDegree * std::cos(plane.latitude * kRadiansPerDegree);
  return plane;
}

PlanePoint ToPlane(const LocalPlane& plane, double latitude, double longitude) {
  return {Wrap(longitude - plane.longitude) * plane.east_scale,
          (latitude - plane.latitude) * kMetresPerDegree};
}

double Distance(PlanePoint a, PlanePoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

double CourseDegrees(PlanePoint from, PlanePoint to) {
  const double course = std::atan2(to.x - from.x, to.y - from.y) / kRadiansPerDegree;
  return course < 0 ? course + 360.0 : course;
}

double AngleBetween(double a_degrees, double b_degrees) {
  return std::fabs(Wrap(a_degrees - b_degrees));
}
