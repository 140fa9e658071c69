// The arithmetic every rule before processing shares: medians, capture-time
// differences, and a flat plane in metres around the survey.
#ifndef EXIFCHECK_SURVEY_SURVEY_MATH_H_
#define EXIFCHECK_SURVEY_SURVEY_MATH_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "survey/frame_facts.h"

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;

/// Metres east and north of the survey's middle.
struct PlanePoint {
  double x = 0.0;
  double y = 0.0;
};

/// The median of `values` (the mean of the two middle ones for an even
/// count), in linear time; 0 for none. NaNs are left out.
double Median(std::vector<double> values);

/// A value that is given and a number: what a file says may be neither.
bool Finite(const std::optional<double>& value);

/// Seconds from `from` to `to`, negative when `to` is earlier; the clock
/// readings compare as they stand, whatever zone the camera was set to.
double SecondsBetween(const CaptureTime& from, const CaptureTime& to);
bool Earlier(const CaptureTime& a, const CaptureTime& b);

/// Days from 1970-01-01 to the given day of the proleptic Gregorian
/// calendar, negative before it.
std::int64_t DaysFromCivil(int year, int month, int day);

/// A clock reading of CaptureTime::clock_seconds as the calendar and the
/// clock show it.
struct CivilTime {
  std::int64_t year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
CivilTime CivilTimeOf(std::int64_t clock_seconds);

/// Where degrees become metres: a local equirectangular plane.
struct LocalPlane {
  double latitude = 0.0;    ///< of the middle, degrees
  double longitude = 0.0;   ///< of the middle, degrees in [-180, 180)
  double east_scale = 0.0;  ///< metres per degree of longitude there
};

/// A plane centred on the median latitude and on the median longitude
/// taken around the circle, so that a survey across the antimeridian is
/// one piece. `latitudes` and `longitudes` are of equal, non-zero length.
LocalPlane FitPlane(const std::vector<double>& latitudes, const std::vector<double>& longitudes);
PlanePoint ToPlane(const LocalPlane& plane, double latitude, double longitude);

double Distance(PlanePoint a, PlanePoint b);
/// Degrees clockwise from north of the way from `from` to `to`.
double CourseDegrees(PlanePoint from, PlanePoint to);
/// The smaller angle between two directions, 0 to 180 degrees.
double AngleBetween(double a_degrees, double b_degrees);

#endif  // EXIFCHECK_SURVEY_SURVEY_MATH_H_
