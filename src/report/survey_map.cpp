// Drawing the survey's map: the projection, the scale bar and the SVG.
#include "report/survey_map.h"

#include <algorithm>
#include <cmath>

#include "report/html_text.h"

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

// "x,y" of a polyline's point.
std::string Point(const MapProjection& p, const MapPoint& point) {
  double x = 0, y = 0;
  MapPixels(p, point.latitude, point.longitude, &x, &y);
  return Tenths(x) + "," + Tenths(y);
}

// ` cx="..." cy="..."` of a circle (prefix "c"), ` x="..." y="..."` of a text.
std::string At(const MapProjection& p, const MapPoint& point, const char* prefix) {
  double x = 0, y = 0;
  MapPixels(p, point.latitude, point.longitude, &x, &y);
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

// Over a survey's few kilometres the earth is flat enough.
MapProjection FitMapProjection(const std::vector<MapPoint>& points) {
  MapProjection p;
  double lat_min = 90, lat_max = -90;
  std::vector<double> longitudes;
  longitudes.reserve(points.size());
  for (const MapPoint& point : points) {
    lat_min = std::min(lat_min, point.latitude);
    lat_max = std::max(lat_max, point.latitude);
    longitudes.push_back(point.longitude);
  }
  double lon_span = 0;
  LongitudeArc(longitudes, &p.lon0, &lon_span);
  p.lat0 = (lat_min + lat_max) / 2;
  const double kRadians = 3.14159265358979323846 / 180;
  p.east_scale = kMetresPerDegree * std::cos(p.lat0 * kRadians);
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

std::string SurveyMapSvg(const std::vector<MapPoint>& points) {
  const MapProjection p = FitMapProjection(points);
  std::string svg = "<svg id=\"map\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    Decimal(kMapWidth, 0) + " " + Decimal(kMapHeight, 0) +
                    "\" role=\"img\"><text x=\"" + Decimal(kMapWidth - 24, 0) +
                    "\" y=\"24\" class=\"north\">N &#x2191;</text>";
  svg += "<polyline class=\"track\" points=\"";
  for (const MapPoint& point : points) svg += Point(p, point) + " ";
  svg += "\"/>";
  std::string odd;  // drawn last, so that they lie on top
  for (const MapPoint& point : points) {
    if (!point.odd) {
      svg += "<circle class=\"dot\"";
      svg += At(p, point, "c");
      svg += " r=\"2.5\"/>";
      continue;
    }
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
