// The report page's map of the survey: each frame's GPS position as a dot
// on a local projection, north up, with the flight track and a scale bar,
// drawn as inline SVG.
#ifndef EXIFCHECK_REPORT_SURVEY_MAP_H_
#define EXIFCHECK_REPORT_SURVEY_MAP_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// Flights are told apart by colour; the palette starts again after this
/// many.
constexpr std::size_t kFlightColours = 8;
/// The colours as CSS writes them, in flight order.
extern const char* const kFlightPalette[kFlightColours];
/// "f3": the class that gives an element flight `flight`'s colour.
std::string FlightColourClass(std::size_t flight);

/// What the findings before processing say of a frame on the map.
enum class MapMark : std::uint8_t {
  kNone,
  kNamed,    ///< named by a finding on the frame itself: a ring
  kOutlier,  ///< far from every other frame: a wide black ring
};

/// One frame on the map, in list order.
struct MapPoint {
  double latitude = 0;
  double longitude = 0;
  /// A frame a check reported: a larger dot, drawn on top, that shows
  /// `title` when pointed at or focused.
  bool odd = false;
  std::string title;                  ///< page text, escaped already
  std::optional<std::size_t> flight;  ///< its dot's colour; none: grey
  MapMark mark = MapMark::kNone;
  std::string note;  ///< page text shown when its mark is pointed at; may be empty
};

/// The findings' layers over the points, each by index into them.
struct MapLayers {
  /// One track a flight, its frames in capture-time order. With none, one
  /// track joins every point in list order, as a survey without capture
  /// times has no other.
  std::vector<std::vector<std::size_t>> tracks;
  /// The steps into a frame named gap_before: from the frame before it on
  /// its line.
  std::vector<std::pair<std::size_t, std::size_t>> gaps;
};

/// A survey of more points than this is drawn by its tracks alone, with
/// no dot for a frame on one: the dots would merge into the track.
constexpr std::size_t kMostMapDots = 20000;
/// The map draws at most this many of the findings' marks and gap steps
/// together, in list order...
constexpr std::size_t kMostMapMarks = 3000;
/// ...and gives the first this many a text shown when pointed at.
constexpr std::size_t kMostMapNotes = 500;

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

/// The projection that fits `points` (at least one) into the map, but for
/// outliers when there are others: those are drawn at its edge.
MapProjection FitMapProjection(const std::vector<MapPoint>& points);

/// Where a position lands on the map, in SVG units from its top left.
void MapPixels(const MapProjection& p, double latitude, double longitude, double* x, double* y);

/// The scale bar's length: 1, 2 or 5 times a power of ten metres, the
/// largest such length not above `metres`.
double ScaleBarMetres(double metres);

/// A scale bar's label: "200 m", "0.50 m", "5 km".
std::string ScaleBarLabel(double metres);

/// The points of a line through `xy` that differ from it by at most
/// `tolerance` anywhere: a point the line kept would pass within that of
/// is left out. The first and last stay.
std::vector<std::pair<double, double>> SimplifiedTrack(
    const std::vector<std::pair<double, double>>& xy, double tolerance);

/// The map as an <svg> element.
std::string SurveyMapSvg(const std::vector<MapPoint>& points, const MapLayers& layers = {});

#endif  // EXIFCHECK_REPORT_SURVEY_MAP_H_
