// Medians, angles and the local plane, across the antimeridian too.
#include "survey/survey_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SurveyMath, Median) {
  const struct {
    std::vector<double> values;
    double median;
  } cases[] = {
      {{}, 0}, {{7}, 7}, {{3, 1, 2}, 2}, {{4, 1, 3, 2}, 2.5}, {{5, 5, 1, 5}, 5}, {{9, -1}, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Median(c.values), c.median) << testing::PrintToString(c.values);
  }
}

TEST(SurveyMath, AnglesWrapAroundNorth) {
  const struct {
    double a, b, between;
  } cases[] = {
      {350, 10, 20}, {10, 350, 20}, {0, 180, 180}, {-170, 170, 20}, {90, 90, 0}, {720, 0, 0},
  };
  for (const auto& c : cases) EXPECT_NEAR(AngleBetween(c.a, c.b), c.between, 1e-9) << c.a;
  EXPECT_NEAR(CourseDegrees({0, 0}, {-1, 0}), 270, 1e-9);
  EXPECT_NEAR(CourseDegrees({0, 0}, {0, -1}), 180, 1e-9);
}

TEST(SurveyMath, AntimeridianNeighboursStayNear) {
  // 0.0002 degrees of longitude apart across 180, at the equator and at 60 N.
  for (double latitude : {0.0, 60.0}) {
    const LocalPlane plane = FitPlane({latitude, latitude, latitude}, {179.9999, -179.9999, 180.0});
    const double metres =
        Distance(ToPlane(plane, latitude, 179.9999), ToPlane(plane, latitude, -179.9999));
    EXPECT_NEAR(metres, 0.0002 * 111195.08 * std::cos(latitude * 3.14159265358979 / 180), 0.01);
  }
  // One stray frame does not move the middle off the survey.
  const LocalPlane plane = FitPlane({10, 10, 10, 10}, {-179.9, 179.9, -179.95, 20});
  EXPECT_GT(std::fabs(plane.longitude), 179.8);
}

}  // namespace
