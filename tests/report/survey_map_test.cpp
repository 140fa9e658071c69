// Where the map puts the survey's frames, and its scale bar.
#include "report/survey_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "report/comma_locale.h"

namespace {

MapPoint At(double latitude, double longitude) {
  MapPoint point;
  point.latitude = latitude;
  point.longitude = longitude;
  return point;
}

struct Pixel {
  double x, y;
};

Pixel Place(const MapProjection& p, const MapPoint& point) {
  Pixel pixel{};
  MapPixels(p, point.latitude, point.longitude, &pixel.x, &pixel.y);
  return pixel;
}

// The survey's extent, in map units, is centred on the map and fills it to
// the margin in at least one direction; north is up and east is right.
TEST(SurveyMap, CentredNorthUp) {
  const struct {
    const char* what;
    std::vector<MapPoint> points;
  } cases[] = {
      {"wide", {At(30.26, 120.12), At(30.261, 120.14), At(30.262, 120.13)}},
      {"tall", {At(-33.9, 18.4), At(-33.85, 18.401)}},
      {"one frame", {At(47.5, 8.5)}},
      {"west and south", {At(-12.0, -77.05), At(-12.01, -77.0)}},
  };
  for (const auto& c : cases) {
    const MapProjection p = FitMapProjection(c.points);
    double left = kMapWidth, right = 0, top = kMapHeight, bottom = 0;
    for (const MapPoint& point : c.points) {
      const Pixel pixel = Place(p, point);
      left = std::min(left, pixel.x);
      right = std::max(right, pixel.x);
      top = std::min(top, pixel.y);
      bottom = std::max(bottom, pixel.y);
    }
    EXPECT_NEAR((left + right) / 2, kMapWidth / 2, 0.01) << c.what;
    EXPECT_NEAR((top + bottom) / 2, kMapHeight / 2, 0.01) << c.what;
    EXPECT_GE(left, kMapMargin - 0.01) << c.what;
    EXPECT_GE(top, kMapMargin - 0.01) << c.what;
    if (c.points.size() > 1) {
      EXPECT_TRUE(std::abs(left - kMapMargin) < 0.01 || std::abs(top - kMapMargin) < 0.01)
          << c.what << ": the survey does not fill the map";
    }
    const Pixel north = Place(p, At(p.lat0 + 1e-4, p.lon0));
    const Pixel east = Place(p, At(p.lat0, p.lon0 + 1e-4));
    const Pixel middle = Place(p, At(p.lat0, p.lon0));
    EXPECT_LT(north.y, middle.y) << c.what;
    EXPECT_NEAR(north.x, middle.x, 1e-9) << c.what;
    EXPECT_GT(east.x, middle.x) << c.what;
    EXPECT_NEAR(east.y, middle.y, 1e-9) << c.what;
  }
}

// Equal distances east and north are equal on the map.
TEST(SurveyMap, KeepsShape) {
  const double lat = 60.0;  // a degree of longitude is half a degree of latitude here
  const MapProjection p = FitMapProjection({At(lat, 10.0), At(lat + 0.01, 10.02)});
  const Pixel a = Place(p, At(lat, 10.0));
  const Pixel b = Place(p, At(lat + 0.01, 10.02));
  EXPECT_NEAR(b.x - a.x, a.y - b.y, 0.01 * (b.x - a.x));
}

TEST(SurveyMap, PositionsThatCanBeRight) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  const struct {
    double latitude, longitude;
    bool possible;
  } cases[] = {
      {30.26, 120.12, true},  {90, 180, true},        {-90, -180, true},  {90.000001, 0, false},
      {-90.000001, 1, false}, {1, 180.000001, false}, {1, -180.5, false}, {200, 120, false},
      {4.36632e9, 1, false},  {nan, 1, false},        {1, nan, false},    {inf, 1, false},
      {1, -inf, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PositionPossible(c.latitude, c.longitude), c.possible)
        << c.latitude << ", " << c.longitude;
  }
}

// Frames either side of longitude 180 lie side by side, the eastern one
// (at -179.99...) to the right, at their true distance.
TEST(SurveyMap, AcrossTheAntimeridian) {
  const struct {
    double latitude, west, east;  // longitudes, the west one below 180
    double metres;                // east of each other
  } cases[] = {
      {0.0, 179.99975, -179.99975, 55.66}, {-16.8, 179.9999, -179.9996, 53.3},
      {65.0, 179.998, 180.0, 94.1},        {65.0, -180.0, -179.998, 94.1},
      {10.0, 170.0, -175.0, 1644400},
  };
  for (const auto& c : cases) {
    const std::vector<MapPoint> points = {At(c.latitude, c.west), At(c.latitude, c.east)};
    const MapProjection p = FitMapProjection(points);
    const Pixel west = Place(p, points[0]), east = Place(p, points[1]);
    EXPECT_NEAR((west.x + east.x) / 2, kMapWidth / 2, 0.01) << c.west;
    EXPECT_NEAR(east.x - west.x, kMapWidth - 2 * kMapMargin, 0.01) << c.west;
    EXPECT_NEAR((east.x - west.x) / p.pixels_per_metre, c.metres, c.metres * 0.002) << c.west;
  }
}

TEST(SurveyMap, ScaleBarSteps) {
  const struct {
    double most;
    double length;
    const char* label;
  } cases[] = {
      {0.31, 0.2, "0.20 m"},     {0.5, 0.5, "0.50 m"},      {1.0, 1, "1 m"},
      {1.99, 1, "1 m"},          {2.0, 2, "2 m"},           {4.99, 2, "2 m"},
      {5.0, 5, "5 m"},           {9.99, 5, "5 m"},          {168, 100, "100 m"},
      {250, 200, "200 m"},       {999, 500, "500 m"},       {1000, 1000, "1 km"},
      {1234, 1000, "1 km"},      {3100, 2000, "2 km"},      {7000, 5000, "5 km"},
      {2.0e6, 2.0e6, "2000 km"}, {8.9e6, 5.0e6, "5000 km"},
  };
  for (const auto& c : cases) {
    const double length = ScaleBarMetres(c.most);
    EXPECT_NEAR(length, c.length, c.length * 1e-9) << c.most;
    EXPECT_EQ(ScaleBarLabel(length), c.label) << c.most;
  }
}

// The bar starts at the margin and runs right, as long on the map as the
// length its label says.
TEST(SurveyMap, ScaleBarMatchesTheMap) {
  const std::vector<MapPoint> points = {At(30.26, 120.12), At(30.27, 120.15)};
  const MapProjection p = FitMapProjection(points);
  const std::string svg = SurveyMapSvg(points);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(svg, m,
                                std::regex("<line x1=\"([0-9.]+)\" y1=\"[0-9.]+\" x2=\"([0-9.]+)\""
                                           "[^>]*/><text[^>]*>([0-9.]+) (k?m)</text>")))
      << svg;
  const double x1 = std::stod(m[1]), x2 = std::stod(m[2]);
  const double metres = std::stod(m[3]) * (m[4] == "km" ? 1000 : 1);
  EXPECT_EQ(x1, kMapMargin);
  EXPECT_NEAR(x2 - x1, metres * p.pixels_per_metre, 0.1);
}

// The tool makes the user's locale the global one; a decimal comma must not
// reach the map's numbers.
TEST(SurveyMap, NumbersIgnoreTheLocale) {
  std::string svg;
  {
    const testsupport::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma on this system";
    svg = SurveyMapSvg({At(30.26, 120.12), At(30.27, 120.15)});
  }
  EXPECT_FALSE(std::regex_search(svg, std::regex(" (c?[xy]|[xy][12])=\"[^\"]*,"))) << svg;
  EXPECT_TRUE(std::regex_search(svg, std::regex("x2=\"[0-9]+\\.[0-9]\""))) << svg;
  EXPECT_TRUE(std::regex_search(svg, std::regex("points=\"([0-9]+\\.[0-9],[0-9]+\\.[0-9] )+\"")))
      << svg;
}

}  // namespace
