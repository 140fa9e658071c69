// Lines, gaps, ground resolution, overlap and blur.
#include "survey/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "survey/lawnmower.h"

namespace {

using survey_test::FrameAt;
using survey_test::NamedBy;
using survey_test::StraightLine;
using Frames = std::vector<std::size_t>;

// Every 10 m but one step of `step` metres before frame 6.
std::vector<double> LineWithStep(double step) {
  std::vector<double> along;
  for (int k = 0; k < 12; ++k) along.push_back(10.0 * k + (k >= 6 ? step - 10.0 : 0.0));
  return along;
}

TEST(Lines, GapMoreThanOnePointEightSpacings) {
  const struct {
    double step;
    Frames named;
  } cases[] = {{17.95, {}}, {18.05, {6}}, {30, {6}}, {5, {}}};
  for (const auto& c : cases) {
    const SurveyFindings found = FindBeforeProcessing(StraightLine(LineWithStep(c.step)));
    EXPECT_EQ(NamedBy(found, Finding::kGapBefore), c.named) << c.step;
    EXPECT_EQ(found.figures.lines, 1U);
  }
  // A frame the position rules left out explains the hole after it.
  std::vector<FrameFacts> frames = StraightLine(LineWithStep(10));
  frames[5].latitude_ref = 'X';
  EXPECT_EQ(NamedBy(FindBeforeProcessing(frames), Finding::kGapBefore), Frames{});
  // So does one listed in another folder, taken between them.
  frames.push_back(frames[5]);
  frames.back().folder = 1;
  frames.erase(frames.begin() + 5);
  EXPECT_EQ(NamedBy(FindBeforeProcessing(frames), Finding::kGapBefore), Frames{});
  // Four frames are a turn, not a line to judge; five are a line.
  for (std::size_t count : {4, 5}) {
    std::vector<double> along = {0, 10, 20, 50, 60};
    along.resize(count);
    const SurveyFindings found = FindBeforeProcessing(StraightLine(along));
    EXPECT_EQ(NamedBy(found, Finding::kGapBefore), count == 5 ? Frames{3} : Frames{}) << count;
    EXPECT_EQ(found.frames[0].line, count == 5 ? std::optional<std::size_t>(0) : std::nullopt);
  }
}

TEST(Lines, TurnsStartLines) {
  const double kRad = 3.14159265358979 / 180;
  const struct {
    double turn;     // degrees, from frame 9 on
    bool one_frame;  // only frame 8 steps aside by that much, then back on the line
    std::size_t lines;
  } cases[] = {
      {19.5, false, 1}, {20.5, false, 2}, {90, false, 2}, {180, false, 2}, {60, true, 1},
  };
  for (const auto& c : cases) {
    std::vector<PlanePoint> track;
    PlanePoint at;
    for (int k = 0; k < 16; ++k) {
      if (c.one_frame) {
        track.push_back({k == 8 ? 15 * std::tan(c.turn * kRad) : 0.0, 15.0 * k});
        continue;
      }
      const double course = k > 8 ? c.turn * kRad : 0;
      at = {at.x + 15 * std::sin(course), at.y + 15 * std::cos(course)};
      track.push_back(at);
    }
    const std::vector<LinePlace> places = LinePlaces(track);
    EXPECT_EQ(
        static_cast<std::size_t>(std::count(places.begin(), places.end(), LinePlace::kStarts)),
        c.lines)
        << c.turn;
    EXPECT_EQ(places[8] == LinePlace::kAside, c.one_frame) << c.turn;
  }
}

TEST(Lines, StrayFrameMarksNoNeighbour) {
  // Thrown 300 m aside by a bad fix: nearer than a kilometre to the line, so
  // no outlier; it stands aside, and its neighbours keep their spacing and speed.
  std::vector<double> along;
  for (int k = 0; k < 12; ++k) along.push_back(15.0 * k);
  std::vector<FrameFacts> frames = StraightLine(along);
  survey_test::MoveBy(&frames[6], 300, 0);
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(survey_test::NamedFrames(found).size(), 0U);
  EXPECT_FALSE(found.frames[6].line);
  EXPECT_NEAR(*found.frames[7].blur_px, *found.frames[3].blur_px, 0.001);
  EXPECT_FALSE(found.frames[5].forward_overlap);  // its next frame in the line is two steps on
}

TEST(Lines, FootprintAndGroundSample) {
  const struct {
    double course, yaw, reach;
  } cases[] = {
      {0, 0, 100},     {0, 180, 100},   {90, 0, 150},    {270, 90, 100},
      {45, 0, 141.42}, {30, 0, 115.47}, {80, 0, 152.31},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(FootprintAlongCourse(150, 100, c.course, c.yaw), c.reach, 0.01)
        << c.course << " " << c.yaw;
  }
  FrameFacts f = FrameAt(0, 0, 0, 0);
  EXPECT_NEAR(*GroundSampleMetres(f), 100 * 36.0 / (24 * 5472), 1e-12);
  f.width = 3648;  // portrait: the long side still spans the 36 mm
  f.height = 5472;
  EXPECT_NEAR(*GroundSampleMetres(f), 100 * 36.0 / (24 * 5472), 1e-12);
  f.focal_mm.reset();  // it cancels out
  EXPECT_TRUE(GroundSampleMetres(f));
  f.relative_altitude = 0.0;  // on the ground
  EXPECT_FALSE(GroundSampleMetres(f));
}

TEST(Lines, OverlapGsdAndBlurThresholds) {
  // Footprint 100 m along the course at 100 m: 39.9 m spacing leaves 60.1 %.
  const struct {
    double spacing;
    std::optional<double> yaw;
    bool low;
  } overlap_cases[] = {{39.9, 0.0, false},  {40.1, 0.0, true},  {40.1, 90.0, false},
                       {59.9, 90.0, false}, {60.1, 90.0, true}, {40.1, std::nullopt, true}};
  for (const auto& c : overlap_cases) {
    std::vector<double> along;
    for (int k = 0; k < 6; ++k) along.push_back(c.spacing * k);
    std::vector<FrameFacts> frames = StraightLine(along);
    for (FrameFacts& f : frames) f.gimbal_yaw = f.flight_yaw = c.yaw;
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(NamedBy(found, Finding::kLowOverlap), c.low ? (Frames{0, 1, 2, 3, 4}) : Frames{})
        << c.spacing << " " << c.yaw.value_or(-1);
    EXPECT_FALSE(found.frames[5].forward_overlap);  // the last frame of its line
  }
  // 1.25 times the flight's median GSD, and 0.5 pixel of motion.
  const double gsd = 100 * 36.0 / (24 * 5472);
  const struct {
    double altitude, exposure;
    FindingSet named;
  } frame_cases[] = {
      {124.9, 1 / 1600.0, 0},
      {125.1, 1 / 1600.0, FindingBit(Finding::kGsdOutlier)},
      {100, 0.499 * gsd / 6, 0},
      {100, 0.501 * gsd / 6, FindingBit(Finding::kBlurRisk)},
  };
  for (const auto& c : frame_cases) {
    std::vector<FrameFacts> frames = StraightLine({0, 15, 30, 45, 60, 75, 90});
    frames[3].relative_altitude = c.altitude;
    frames[3].exposure_time = c.exposure;
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(found.frames[3].findings, c.named) << c.altitude << " " << c.exposure;
  }
}

}  // namespace
