// Positions that cannot be right, nearest neighbours and outliers.
#include "survey/positions.h"

#include <gtest/gtest.h>

#include <limits>

#include "survey/lawnmower.h"

namespace {

using survey_test::FrameAt;
using survey_test::MoveBy;
using survey_test::NamedBy;

TEST(Positions, InvalidCoordinates) {
  const struct {
    bool has_latitude, has_longitude;
    double latitude, longitude;
    char latitude_ref, longitude_ref;
    bool invalid;
  } cases[] = {
      {true, true, 90, 180, 'N', 'E', false},       {true, true, 90.000001, 10, 'N', 'E', true},
      {true, true, -90, -180, 'S', 'W', false},     {true, true, -90.000001, 10, 'S', 'E', true},
      {true, true, 10, 180.000001, 'N', 'E', true}, {true, true, 10, -180.000001, 'N', 'W', true},
      {true, true, 0, 0, 'N', 'E', true},           {true, true, 0, 1e-7, 'N', 'E', false},
      {true, true, -1e-7, 0, 'S', 'E', false},      {true, true, 30, 120, 'n', 'E', true},
      {true, true, 30, 120, 'N', 'e', true},        {true, true, 30, 120, 'E', 'N', true},
      {true, true, 30, 120, '?', 'E', true},        {true, true, 30, 120, 'N', '\0', true},
      {true, false, 30, 0, 'N', '?', true},         {false, true, 0, 120, '?', 'E', true},
      {false, false, 0, 0, '?', '?', false},        {true, true, std::nan(""), 1, 'N', 'E', true},
  };
  for (const auto& c : cases) {
    FrameFacts f;
    f.exif = true;
    f.has_latitude = c.has_latitude;
    f.has_longitude = c.has_longitude;
    f.latitude = c.latitude;
    f.longitude = c.longitude;
    f.latitude_ref = c.latitude_ref;
    f.longitude_ref = c.longitude_ref;
    EXPECT_EQ(PositionInvalid(f), c.invalid)
        << c.latitude << c.latitude_ref << " " << c.longitude << c.longitude_ref;
  }
}

double BruteNearest(const std::vector<PlanePoint>& points, std::size_t i) {
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t j = 0; j < points.size(); ++j) {
    if (j != i) best = std::min(best, Distance(points[i], points[j]));
  }
  return best;
}

TEST(Positions, NearestNeighbourAsEveryPairWouldGive) {
  std::uint32_t state = 7;
  auto next = [&state] {
    state = state * 1664525U + 1013904223U;
    return (state >> 8) / 16777216.0;
  };
  std::vector<std::vector<PlanePoint>> sets = {{}, {{1, 1}}, {{0, 0}, {3, 4}}};
  std::vector<PlanePoint> scattered, one_column, heaped;
  for (int i = 0; i < 700; ++i) {
    scattered.push_back({next() * 1000, next() * 300});
    one_column.push_back({5, std::floor(next() * 200)});  // ties on both axes
    heaped.push_back({i < 600 ? 0.0 : next() * 1e6, i < 600 ? 0.0 : next()});
  }
  scattered.push_back({5e6, -3e6});
  sets.insert(sets.end(), {scattered, one_column, heaped});
  for (const std::vector<PlanePoint>& points : sets) {
    const std::vector<double> nearest = NearestNeighbourMetres(points);
    ASSERT_EQ(nearest.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      ASSERT_DOUBLE_EQ(nearest[i], BruteNearest(points, i)) << i << " of " << points.size();
    }
  }
}

TEST(Positions, OutlierBeyondKilometreOrTenSpacings) {
  const struct {
    double spacing, off;  // along the line, then how far beyond its end
    bool outlier;
  } cases[] = {
      {10, 999, false},
      {10, 1001, true},  // the kilometre floor
      {150, 1490, false},
      {150, 1510, true},  // ten median spacings
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames;
    for (int k = 0; k < 20; ++k) frames.push_back(FrameAt(0, c.spacing * k, 3.0 * k, k));
    frames.push_back(FrameAt(0, c.spacing * 19 + c.off, 60, 20));
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(NamedBy(found, Finding::kPositionOutlier),
              c.outlier ? std::vector<std::size_t>{20} : std::vector<std::size_t>{})
        << c.spacing << " " << c.off;
    EXPECT_NEAR(*found.figures.outlier_distance_m, std::max(1000.0, 10 * c.spacing), 0.01);
  }
}

TEST(Positions, CopiesAndBadFramesHideNoOutlier) {
  std::vector<FrameFacts> frames;
  for (int k = 0; k < 20; ++k) frames.push_back(FrameAt(0, 10.0 * k, 3.0 * k, k));
  FrameFacts stray = FrameAt(0, 0, 70, 30);
  MoveBy(&stray, 8000, 0);
  frames.push_back(stray);
  frames.push_back(stray);  // a copy would be its nearest neighbour
  frames.push_back(FrameFacts());
  frames.back().exif = true;  // no GPS data at all: named by neither
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(NamedBy(found, Finding::kPositionOutlier), std::vector<std::size_t>{20});
  EXPECT_EQ(NamedBy(found, Finding::kDuplicate), std::vector<std::size_t>{21});
  EXPECT_EQ(NamedBy(found, Finding::kPositionInvalid), std::vector<std::size_t>{});
}

}  // namespace
