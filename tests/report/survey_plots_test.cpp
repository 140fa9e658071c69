// The plots' decimation and axes: every peak kept within a bounded count
// of points, round ticks covering the values.
#include "report/survey_plots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// 100,000 points with two spikes, cut to 300 columns: at most two points a
// column, in x order, the spikes and the ends of the range among them.
TEST(SurveyPlots, DecimationKeepsEveryPeakInABoundedCount) {
  std::vector<PlotPoint> series;
  for (int i = 0; i < 100000; ++i) series.push_back({i * 0.01, std::sin(i * 0.001)});
  series[31234].y = 9;
  series[77777].y = -9;
  const std::vector<PlotPoint> kept = DecimateSeries(series, 0, 1000, 300);
  EXPECT_LE(kept.size(), 600u);
  EXPECT_GE(kept.size(), 300u);
  EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(),
                             [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; }));
  const auto has = [&kept](double y) {
    return std::any_of(kept.begin(), kept.end(), [y](const PlotPoint& p) { return p.y == y; });
  };
  EXPECT_TRUE(has(9) && has(-9));
  // A short series, or one on an empty range, is drawn as it is.
  EXPECT_EQ(DecimateSeries({{0, 1}, {1, 2}, {2, 3}}, 0, 2, 1).size(), 2u);
  EXPECT_EQ(DecimateSeries({{0, 1}, {1, 2}, {2, 3}}, 0, 2, 2).size(), 3u);
  EXPECT_EQ(DecimateSeries(series, 5, 5, 10).size(), series.size());
}

TEST(SurveyPlots, TicksAreRoundAndCoverTheRange) {
  const struct {
    double low, high;
    std::vector<double> ticks;
  } cases[] = {
      {0, 100, {0, 20, 40, 60, 80, 100}},
      {-90, 0, {-80, -60, -40, -20, 0}},
      {2.55, 3.45, {2.6, 2.8, 3.0, 3.2, 3.4}},
      {0, 1.95, {0, 0.2, 0.4, 0.6, 0.8, 1.0, 1.2, 1.4, 1.6, 1.8}},
      {5, 5, {}},
      {0, HUGE_VAL, {}},
  };
  for (const auto& c : cases) {
    const std::vector<double> ticks = AxisTicks(c.low, c.high);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.low << " " << c.high;
    for (std::size_t k = 0; k < ticks.size(); ++k) {
      EXPECT_NEAR(ticks[k], c.ticks[k], 1e-9) << c.low;
      EXPECT_FALSE(std::signbit(ticks[k]) && ticks[k] == 0) << "a tick of -0";
    }
  }
}

}  // namespace
