// Where the map puts the survey's frames, and its scale bar.
#include "report/survey_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <locale>

namespace {

MapPoint At(double latitude, double longitude) {
  MapPoint point;
  point.latitude = latitude;
  point.longitude = longitude;
  return point;
}

std::pair<double, double> Place(const MapProjection& p, double latitude, double longitude) {
  std::pair<double, double> xy;
  MapPixels(p, latitude, longitude, &xy.first, &xy.second);
  return xy;
}

// The survey's extent is centred on the map and fills it to the margin one
// way; north is up and east is right.
TEST(SurveyMap, CentredNorthUp) {
  const std::vector<MapPoint> cases[] = {
      {At(30.26, 120.12), At(30.261, 120.14), At(30.262, 120.13)},
      {At(-33.9, 18.4), At(-33.85, 18.401)},
  };
  for (const auto& points : cases) {
    const MapProjection p = FitMapProjection(points);
    double left = kMapWidth, right = 0, top = kMapHeight, bottom = 0;
    for (const MapPoint& point : points) {
      const auto [x, y] = Place(p, point.latitude, point.longitude);
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_NEAR(left + right, kMapWidth, 0.01);
    EXPECT_NEAR(top + bottom, kMapHeight, 0.01);
    EXPECT_NEAR(std::min(left, top), kMapMargin, 0.01);
    const auto middle = Place(p, p.lat0, p.lon0);
    EXPECT_LT(Place(p, p.lat0 + 1e-4, p.lon0).second, middle.second);
    EXPECT_GT(Place(p, p.lat0, p.lon0 + 1e-4).first, middle.first);
  }
}

// Frames either side of longitude 180 lie side by side, the eastern one
// (at -179.99...) to the right, at their true distance.
TEST(SurveyMap, AcrossTheAntimeridian) {
  const struct {
    double latitude, west, east, metres;
  } cases[] = {
      {0.0, 179.99975, -179.99975, 55.66},
      {-16.8, 179.9999, -179.9996, 53.3},
      {65.0, 179.998, 180.0, 94.1},
      {10.0, 170.0, -175.0, 1644400},
  };
  for (const auto& c : cases) {
    const MapProjection p = FitMapProjection({At(c.latitude, c.west), At(c.latitude, c.east)});
    const double west = Place(p, c.latitude, c.west).first;
    const double east = Place(p, c.latitude, c.east).first;
    EXPECT_NEAR(west + east, kMapWidth, 0.01) << c.west;
    EXPECT_NEAR((east - west) / p.pixels_per_metre, c.metres, c.metres * 0.002) << c.west;
  }
}

// A track keeps the points where it turns or comes back, and every point
// it leaves out lies within the tolerance of what it draws.
TEST(SurveyMap, SimplifiedTrackStaysWithinItsTolerance) {
  using Track = std::vector<std::pair<double, double>>;
  Track noisy, corner, back;
  for (int i = 0; i <= 100; ++i) noisy.push_back({i * 1.5, 100 + ((i * 7919) % 5 - 2) * 0.05});
  for (int i = 0; i <= 20; ++i)
    corner.push_back(i <= 10 ? Track::value_type{i, 0} : Track::value_type{10, i - 10});
  for (int i = 0; i <= 20; ++i) back.push_back({i <= 10 ? i : 20 - i, 0});
  const struct {
    Track track;
    Track kept;
  } cases[] = {
      {noisy, {noisy.front(), noisy.back()}},
      {corner, {{0, 0}, {10, 0}, {10, 10}}},
      {back, {{0, 0}, {10, 0}, {0, 0}}},
      {{{1, 1}}, {{1, 1}}},
  };
  for (const auto& c : cases) {
    const Track kept = SimplifiedTrack(c.track, 0.3);
    EXPECT_EQ(kept, c.kept);
    for (const auto& [x, y] : c.track) {
      double nearest = HUGE_VAL;
      for (std::size_t k = 0; k + 1 < kept.size(); ++k) {
        const double dx = kept[k + 1].first - kept[k].first,
                     dy = kept[k + 1].second - kept[k].second;
        const double t = std::clamp(((x - kept[k].first) * dx + (y - kept[k].second) * dy) /
                                        std::max(dx * dx + dy * dy, 1e-12),
                                    0.0, 1.0);
        nearest =
            std::min(nearest, std::hypot(x - kept[k].first - t * dx, y - kept[k].second - t * dy));
      }
      EXPECT_LE(kept.size() > 1 ? nearest : 0.0, 0.3) << x << "," << y;
    }
  }
}

TEST(SurveyMap, PositionsThatCanBeRight) {
  EXPECT_TRUE(PositionPossible(90, 180) && PositionPossible(-90, -180));
  EXPECT_FALSE(PositionPossible(90.000001, 0) || PositionPossible(1, -180.5));
  EXPECT_FALSE(PositionPossible(std::nan(""), 1) || PositionPossible(1, -HUGE_VAL));
}

TEST(SurveyMap, ScaleBarSteps) {
  const struct {
    double most, length;
    const char* label;
  } cases[] = {
      {0.31, 0.2, "0.20 m"}, {1.99, 1, "1 m"},     {2.0, 2, "2 m"},
      {9.99, 5, "5 m"},      {250, 200, "200 m"},  {999, 500, "500 m"},
      {1234, 1000, "1 km"},  {7000, 5000, "5 km"}, {8.9e6, 5e6, "5000 km"},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ScaleBarMetres(c.most), c.length, c.length * 1e-9) << c.most;
    EXPECT_EQ(ScaleBarLabel(c.length), c.label) << c.most;
  }
}

// The bar runs right from the margin, 500 m long on a map 2.9 km wide (840
// units), its numbers written with a point under a locale of decimal
// commas, which the tool makes global when the user has one.
TEST(SurveyMap, ScaleBarUnderACommaLocale) {
  const std::string c_locale = std::setlocale(LC_ALL, nullptr);
  const std::locale cpp_locale;
  // Without such a locale on the system, the bar is checked all the same.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    std::locale::global(std::locale("de_DE.UTF-8"));
  } else {
    std::setlocale(LC_ALL, "de-DE");  // Windows; MinGW's C++ runtime knows no other locale
  }
  RecordProperty("decimal_comma", *std::localeconv()->decimal_point == ',' ? "yes" : "no");
  const std::string svg = SurveyMapSvg({At(30.26, 120.12), At(30.27, 120.15)});
  std::setlocale(LC_ALL, c_locale.c_str());
  std::locale::global(cpp_locale);
  EXPECT_NE(svg.find("<g id=\"scale\"><line x1=\"30\" y1=\"590\" x2=\"175.6\" y2=\"590\"/>"
                     "<text x=\"30\" y=\"584\">500 m</text></g>"),
            std::string::npos)
      << svg;
}

}  // namespace
