// Drawing the survey's map: the projection, the scale bar and the SVG.
#include "report/survey_map.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "report/html_text.h"
#include "survey/survey_math.h"

namespace {

constexpr double kMetresPerDegree = 111320.0;

// How far east of `from` a longitude lies, the short way round: -180 to 180.
double DegreesEast(double from, double longitude) {
  return std::fmod(longitude - from + 540.0, 360.0) - 180.0;
}

// The shortest arc of longitude that holds every one of `longitudes`: the
// circle less the widest gap between neighbours. A survey across longitude
// 180 is then one survey, not two at the ends of the earth.
void LongitudeArc(std::vector<double> longitudes, double* middle, double* span) {
  std::sort(longitudes.begin(), longitudes.end());
  // The gap across 180 first: a survey that does not cross it keeps its
  // plain extent.
  double widest = longitudes.front() + 360.0 - longitudes.back();
  double west = longitudes.front();
  for (std::size_t i = 1; i < longitudes.size(); ++i) {
    if (longitudes[i] - longitudes[i - 1] > widest) {
      widest = longitudes[i] - longitudes[i - 1];
      west = longitudes[i];
    }
  }
  *span = 360.0 - widest;
  *middle = DegreesEast(0.0, west + *span / 2);
}

// Where a point is drawn: where it lands, or for an outlier the map fits
// without, the nearest place inside the margin, toward where it lies.
std::pair<double, double> Pixels(const MapProjection& p, const MapPoint& point) {
  std::pair<double, double> xy;
  MapPixels(p, point.latitude, point.longitude, &xy.first, &xy.second);
  xy.first = std::clamp(xy.first, kMapMargin / 2, kMapWidth - kMapMargin / 2);
  xy.second = std::clamp(xy.second, kMapMargin / 2, kMapHeight - kMapMargin / 2);
  return xy;
}

// ` cx="..." cy="..."` of a circle (prefix "c"), ` x="..." y="..."` of a text.
std::string At(const MapProjection& p, const MapPoint& point, const char* prefix) {
  const auto [x, y] = Pixels(p, point);
  std::string out = " ";
  out += prefix;
  out += "x=\"";
  out += Tenths(x);
  out += "\" ";
  out += prefix;
  out += "y=\"";
  out += Tenths(y);
  out += "\"";
  return out;
}

// A round length of about a fifth of the map's width.
std::string ScaleBar(const MapProjection& p) {
  const double length = ScaleBarMetres((kMapWidth - 2 * kMapMargin) / p.pixels_per_metre / 5);
  const double pixels = length * p.pixels_per_metre;
  const std::string y = Decimal(kMapHeight - 10, 0);
  return "<g id=\"scale\"><line x1=\"" + Decimal(kMapMargin, 0) + "\" y1=\"" + y + "\" x2=\"" +
         Decimal(kMapMargin + pixels, 1) + "\" y2=\"" + y + "\"/><text x=\"" +
         Decimal(kMapMargin, 0) + "\" y=\"" + Decimal(kMapHeight - 16, 0) + "\">" +
         ScaleBarLabel(length) + "</text></g>";
}

}  // namespace

bool PositionPossible(double latitude, double longitude) {
  // Written so that NaN fails too.
  return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

// Over a survey's few kilometres the earth is flat enough. A frame far
// from all others would shrink the survey to a dot: the map fits the rest.
MapProjection FitMapProjection(const std::vector<MapPoint>& points) {
  MapProjection p;
  double lat_min = 90, lat_max = -90;
  std::vector<double> longitudes;
  longitudes.reserve(points.size());
  const bool all_outliers = std::all_of(points.begin(), points.end(), [](const MapPoint& point) {
    return point.mark == MapMark::kOutlier;
  });
  for (const MapPoint& point : points) {
    if (point.mark == MapMark::kOutlier && !all_outliers) continue;
    lat_min = std::min(lat_min, point.latitude);
    lat_max = std::max(lat_max, point.latitude);
    longitudes.push_back(point.longitude);
  }
  double lon_span = 0;
  LongitudeArc(longitudes, &p.lon0, &lon_span);
  p.lat0 = (lat_min + lat_max) / 2;
  p.east_scale = kMetresPerDegree * std::cos(p.lat0 * kRadiansPerDegree);
  const double width = std::max(lon_span * p.east_scale, 1.0);
  const double height = std::max((lat_max - lat_min) * kMetresPerDegree, 1.0);
  p.pixels_per_metre =
      std::min((kMapWidth - 2 * kMapMargin) / width, (kMapHeight - 2 * kMapMargin) / height);
  p.min_x = -width / 2;
  p.max_y = height / 2;
  p.left = (kMapWidth - width * p.pixels_per_metre) / 2;
  p.top = (kMapHeight - height * p.pixels_per_metre) / 2;
  return p;
}

void MapPixels(const MapProjection& p, double latitude, double longitude, double* x, double* y) {
  const double east = DegreesEast(p.lon0, longitude) * p.east_scale;
  const double north = (latitude - p.lat0) * kMetresPerDegree;
  *x = p.left + (east - p.min_x) * p.pixels_per_metre;
  *y = p.top + (p.max_y - north) * p.pixels_per_metre;
}

double ScaleBarMetres(double metres) {
  double length = std::pow(10.0, std::floor(std::log10(metres)));
  if (length * 5 <= metres) {
    length *= 5;
  } else if (length * 2 <= metres) {
    length *= 2;
  }
  return length;
}

std::string ScaleBarLabel(double metres) {
  return metres >= 1000 ? Decimal(metres / 1000, std::fmod(metres, 1000) == 0 ? 0 : 1) + " km"
                        : Decimal(metres, metres >= 1 ? 0 : 2) + " m";
}

std::vector<std::pair<double, double>> SimplifiedTrack(
    const std::vector<std::pair<double, double>>& xy, double tolerance) {
  if (xy.size() <= 2) return xy;
  // From each point kept, the directions a line may take so that it passes
  // within `tolerance` of every point left out since: a narrowing wedge.
  // A point outside it, or one that comes back toward the point kept, ends
  // the line at the point before.
  std::vector<std::pair<double, double>> kept = {xy.front()};
  const auto turn = [](double a) { return std::remainder(a, 2 * kPi); };
  std::size_t anchor = 0;
  bool aimed = false;
  double aim = 0, low = 0, high = 0, reach = 0;
  for (std::size_t k = 1; k < xy.size(); ++k) {
    const double dx = xy[k].first - xy[anchor].first, dy = xy[k].second - xy[anchor].second;
    const double d = std::hypot(dx, dy);
    if (d <= tolerance) continue;
    const double angle = std::atan2(dy, dx);
    const double off = aimed ? turn(angle - aim) : 0;
    if (aimed && (off < low || off > high || d < reach - tolerance)) {
      anchor = k - 1;
      kept.push_back(xy[anchor]);
      aimed = false;
      --k;  // this point again, from the new anchor
      continue;
    }
    if (!aimed) {
      aimed = true;
      aim = angle;
      low = -kPi;
      high = kPi;
      reach = 0;
    }
    const double spread = std::asin(tolerance / d);
    low = std::max(low, off - spread);
    high = std::min(high, off + spread);
    reach = std::max(reach, d);
  }
  kept.push_back(xy.back());
  return kept;
}

const char* const kFlightPalette[kFlightColours] = {"#1f77b4", "#2ca02c", "#9467bd", "#17becf",
                                                    "#8c564b", "#e377c2", "#7f7f00", "#393b79"};

std::string FlightColourClass(std::size_t flight) {
  return "f" + std::to_string(flight % kFlightColours);
}

namespace {

std::string Polyline(const MapProjection& p, const std::vector<MapPoint>& points,
                     const std::vector<std::size_t>& track, const std::string& classes) {
  std::vector<std::pair<double, double>> xy;
  xy.reserve(track.size());
  for (const std::size_t i : track) xy.push_back(Pixels(p, points[i]));
  std::string svg = "<polyline class=\"" + classes + "\" points=\"";
  for (const auto& [x, y] : SimplifiedTrack(xy, 0.3)) svg += Tenths(x) + "," + Tenths(y) + " ";
  return svg + "\"/>";
}

// The tracks, and which points lie on one.
std::string Tracks(const MapProjection& p, const std::vector<MapPoint>& points,
                   const MapLayers& layers, bool bare, std::vector<bool>* on_track) {
  const std::string width = bare ? " bare" : "";
  if (layers.tracks.empty()) {
    std::vector<std::size_t> all(points.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    on_track->assign(points.size(), true);
    return Polyline(p, points, all, "track" + width);
  }
  std::string svg;
  on_track->assign(points.size(), false);
  for (std::size_t f = 0; f < layers.tracks.size(); ++f) {
    // A flight of one frame has no track to draw, only its dot: a survey
    // cut into thousands of such flights stays one dot a frame.
    if (layers.tracks[f].size() < 2) continue;
    for (const std::size_t i : layers.tracks[f]) (*on_track)[i] = true;
    svg += Polyline(p, points, layers.tracks[f], "track " + FlightColourClass(f) + width);
  }
  return svg;
}

std::string Dots(const MapProjection& p, const std::vector<MapPoint>& points, bool bare,
                 const std::vector<bool>& on_track) {
  std::string svg;
  std::size_t drawn = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const MapPoint& point = points[i];
    if (point.odd || (bare && on_track[i])) continue;
    if (bare && ++drawn > kMostMapDots) break;
    svg += "<circle class=\"dot";
    if (point.flight) {
      svg += " " + FlightColourClass(*point.flight);
    } else if (!on_track[i]) {
      svg += " none";
    }
    svg += "\"";
    svg += At(p, point, "c");
    svg += " r=\"2.5\"/>";
  }
  return svg;
}

// The gap steps, then the rings of the frames the findings name, the
// outliers' last so that they lie on top.
std::string Marks(const MapProjection& p, const std::vector<MapPoint>& points,
                  const MapLayers& layers) {
  std::string svg;
  std::size_t marks = 0;
  for (const auto& [from, to] : layers.gaps) {
    if (++marks > kMostMapMarks) return svg;
    const auto a = Pixels(p, points[from]), b = Pixels(p, points[to]);
    svg += "<line class=\"gap\" x1=\"" + Tenths(a.first) + "\" y1=\"" + Tenths(a.second) +
           "\" x2=\"" + Tenths(b.first) + "\" y2=\"" + Tenths(b.second) + "\"/>";
  }
  std::size_t notes = 0;
  for (const MapMark kind : {MapMark::kNamed, MapMark::kOutlier}) {
    for (const MapPoint& point : points) {
      if (point.mark != kind) continue;
      if (++marks > kMostMapMarks) return svg;
      svg += kind == MapMark::kNamed ? "<circle class=\"named\"" : "<circle class=\"outlier\"";
      svg += At(p, point, "c");
      svg += kind == MapMark::kNamed ? " r=\"5\"" : " r=\"10\"";
      if (point.note.empty() || ++notes > kMostMapNotes) {
        svg += "/>";
      } else {
        svg += "><title>" + point.note + "</title></circle>";
      }
    }
  }
  return svg;
}

}  // namespace

std::string SurveyMapSvg(const std::vector<MapPoint>& points, const MapLayers& layers) {
  const MapProjection p = FitMapProjection(points);
  std::string svg = "<svg id=\"map\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    Decimal(kMapWidth, 0) + " " + Decimal(kMapHeight, 0) +
                    "\" role=\"img\"><text x=\"" + Decimal(kMapWidth - 24, 0) +
                    "\" y=\"24\" class=\"north\">N &#x2191;</text>";
  const bool bare = points.size() > kMostMapDots;
  std::vector<bool> on_track;
  svg += Tracks(p, points, layers, bare, &on_track);
  svg += Dots(p, points, bare, on_track);
  svg += Marks(p, points, layers);
  std::string odd;  // drawn last, so that they lie on top
  for (const MapPoint& point : points) {
    if (!point.odd) continue;
    odd += "<g class=\"odd\" tabindex=\"0\"><title>";
    odd += point.title;
    odd += "</title><circle class=\"dot odd\"";
    odd += At(p, point, "c");
    odd += " r=\"6\"/><text class=\"label\"";
    odd += At(p, point, "");
    odd += " dx=\"9\" dy=\"-9\">";
    odd += point.title;
    odd += "</text></g>";
  }
  return svg + odd + ScaleBar(p) + "</svg>";
}
