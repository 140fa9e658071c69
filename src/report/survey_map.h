// The report page's map of the survey: each frame's GPS position as a dot
// on a local projection, north up, with the flight track and a scale bar,
// drawn as inline SVG.
#ifndef EXIFCHECK_REPORT_SURVEY_MAP_H_
#define EXIFCHECK_REPORT_SURVEY_MAP_H_

#include <string>
#include <vector>

/// One frame on the map, in list order.
struct MapPoint {
  double latitude = 0;
  double longitude = 0;
  /// A frame a check reported: a larger dot, drawn on top, that shows
  /// `title` when pointed at or focused.
  bool odd = false;
  std::string title;  ///< page text, escaped already
};

/// The map's size in SVG units, and the margin the survey keeps from its
/// edges.
constexpr double kMapWidth = 900;
constexpr double kMapHeight = 600;
constexpr double kMapMargin = 30;

/// Whether a latitude and longitude can be a place on the earth: within
/// ±90 and ±180 degrees. Others are listed on the page, never drawn.
bool PositionPossible(double latitude, double longitude);

/// Metres east and north of the survey's middle, scaled and centred on the
/// map.
struct MapProjection {
  double lat0 = 0, lon0 = 0, east_scale = 0;
  double min_x = 0, max_y = 0, pixels_per_metre = 1;
  double left = 0, top = 0;  ///< where the survey's extent starts, centred
};

/// The projection that fits `points` (at least one) into the map.
MapProjection FitMapProjection(const std::vector<MapPoint>& points);

/// Where a position lands on the map, in SVG units from its top left.
void MapPixels(const MapProjection& p, double latitude, double longitude, double* x, double* y);

/// The scale bar's length: 1, 2 or 5 times a power of ten metres, the
/// largest such length not above `metres`.
double ScaleBarMetres(double metres);

/// A scale bar's label: "200 m", "0.50 m", "5 km".
std::string ScaleBarLabel(double metres);

/// The map as an <svg> element.
std::string SurveyMapSvg(const std::vector<MapPoint>& points);

#endif  // EXIFCHECK_REPORT_SURVEY_MAP_H_
