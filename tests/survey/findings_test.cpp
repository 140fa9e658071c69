// The findings over whole surveys: a clean one names nothing, and each
// single fault names exactly its frame.
#include "survey/findings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "survey/lawnmower.h"

namespace {

using survey_test::FlyLawnmower;
using survey_test::Lawnmower;
using survey_test::LawnmowerPlan;
using survey_test::NamedFrames;
using Named = std::vector<std::pair<std::size_t, FindingSet>>;

std::string Describe(const Named& named) {
  std::string text;
  for (const auto& frame : named) {
    text += std::to_string(frame.first) + ":";
    for (std::size_t i = 0; i < kFindingCount; ++i) {
      if (Names(frame.second, FindingAt(i))) text += std::string(" ") + FindingName(FindingAt(i));
    }
    text += "; ";
  }
  return text;
}

TEST(Findings, CleanSurveysNameNothing) {
  std::vector<LawnmowerPlan> plans;
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    LawnmowerPlan plan;
    plan.seed = seed;
    plan.crossing_frames = seed % 2 == 0;
    plans.push_back(plan);
  }
  LawnmowerPlan antimeridian;
  antimeridian.longitude = 179.9990;  // the lines cross 180 degrees
  LawnmowerPlan south_west;
  south_west.latitude = -33.9;
  south_west.longitude = -70.6;
  LawnmowerPlan far_north;
  far_north.latitude = 69.6;
  LawnmowerPlan slow;  // two frames a second, GPS noise of a metre still
  slow.spacing_m = 8.0;
  slow.speed_mps = 4.0;
  plans.insert(plans.end(), {antimeridian, south_west, far_north, slow});
  for (const LawnmowerPlan& plan : plans) {
    const Lawnmower survey = FlyLawnmower(plan);
    const SurveyFindings found = FindBeforeProcessing(survey.frames);
    EXPECT_EQ(Describe(NamedFrames(found)), "") << "seed " << plan.seed << " at " << plan.longitude;
    EXPECT_EQ(found.flights.size(), 1U);
    EXPECT_EQ(found.figures.lines, plan.lines);
    EXPECT_TRUE(found.looks_down);
    for (const RuleOutcome& rule : found.rules) {
      EXPECT_TRUE(rule.has_data) << FindingName(rule.id) << ": " << rule.no_data_en;
    }
    // Only the frames halfway across a turn stand outside every line.
    const std::size_t crossing = plan.crossing_frames ? plan.lines / 2 : 0;
    EXPECT_EQ(std::count_if(found.frames.begin(), found.frames.end(),
                            [](const FrameNotes& n) { return !n.line; }),
              static_cast<std::ptrdiff_t>(crossing))
        << "seed " << plan.seed << " spacing " << plan.spacing_m;
    const FrameNotes& middle = found.frames[survey.line_first[2] + 10];
    ASSERT_TRUE(middle.gsd_cm && middle.forward_overlap && middle.blur_px && middle.line);
    EXPECT_NEAR(*middle.gsd_cm, 2.74, 0.03);
    EXPECT_NEAR(*middle.forward_overlap, 1.0 - plan.spacing_m / 100.0, 0.04);
    EXPECT_EQ(*middle.line, 2U);
  }
}

TEST(Findings, EachFaultNamesItsFrame) {
  const std::size_t m = FlyLawnmower({}).line_first[2] + 9;  // mid-survey, mid-line
  const std::size_t flight2 = FlyLawnmower({}).line_first[3];
  const auto f = [](Finding id) { return FindingBit(id); };
  Named higher;  // the second flight 10 m up: named as a flight, and each frame of it
  for (std::size_t i = flight2; i < FlyLawnmower({}).frames.size(); ++i) {
    higher.emplace_back(i, f(Finding::kFlightAltitude) | (i == flight2 ? f(Finding::kFlight) : 0));
  }
  const struct {
    const char* fault;
    std::function<void(std::vector<FrameFacts>&)> make;
    Named expected;
  } cases[] = {
      {"reference letter",
       [m](auto& v) { v[m].latitude_ref = 'X'; },
       {{m, f(Finding::kPositionInvalid)}}},
      {"5 km off",
       [m](auto& v) { survey_test::MoveBy(&v[m], 5000, 0); },
       {{m, f(Finding::kPositionOutlier)}}},
      {"no time", [m](auto& v) { v[m].time.reset(); }, {{m, f(Finding::kNoTime)}}},
      {"time backwards",
       [m](auto& v) {
         v[m].time = v[m - 1].time;
         --v[m].time->clock_seconds;
       },
       {{m, f(Finding::kTimeBackwards)}}},
      {"copy at the end",
       [m](auto& v) { v.push_back(v[m]); },
       {{FlyLawnmower({}).frames.size(), f(Finding::kDuplicate)}}},
      {"frame missing",
       [m](auto& v) { v.erase(v.begin() + static_cast<std::ptrdiff_t>(m)); },
       {{m, f(Finding::kGapBefore)}}},
      {"30 m higher",
       [m](auto& v) { v[m].relative_altitude = 130.0; },
       {{m, f(Finding::kGsdOutlier)}}},
      {"65 m lower",
       [m](auto& v) { v[m].relative_altitude = 35.0; },
       {{m, f(Finding::kLowOverlap)}}},
      {"1/200 s", [m](auto& v) { v[m].exposure_time = 1.0 / 200; }, {{m, f(Finding::kBlurRisk)}}},
      {"pitch -60", [m](auto& v) { v[m].gimbal_pitch = -60.0; }, {{m, f(Finding::kOblique)}}},
      {"roll 179", [m](auto& v) { v[m].gimbal_roll = 179.0; }, {{m, f(Finding::kOblique)}}},
      {"pitch -10", [m](auto& v) { v[m].gimbal_pitch = -10.0; }, {{m, f(Finding::kHorizon)}}},
      {"RTK float", [m](auto& v) { v[m].rtk_flag = 34; }, {{m, f(Finding::kRtkNotFixed)}}},
      {"RTK std", [m](auto& v) { v[m].rtk_std_hgt = 0.3; }, {{m, f(Finding::kRtkNotFixed)}}},
      {"other lens", [m](auto& v) { v[m].lens = "24mm"; }, {{m, f(Finding::kCameraOther)}}},
      {"battery change",
       [flight2](auto& v) {
         for (std::size_t i = flight2; i < v.size(); ++i) v[i].time->clock_seconds += 600;
       },
       {{flight2, f(Finding::kFlight)}}},
      {"battery change, 10 m higher",
       [flight2](auto& v) {
         for (std::size_t i = flight2; i < v.size(); ++i) {
           v[i].time->clock_seconds += 600;
           *v[i].relative_altitude += 10.0;
         }
       },
       higher},
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames = FlyLawnmower({}).frames;
    c.make(frames);
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(Describe(NamedFrames(found)), Describe(c.expected)) << c.fault;
  }
}

TEST(Findings, UnreadFramesTakePartInNothing) {
  std::vector<FrameFacts> frames = FlyLawnmower({}).frames;
  FrameFacts unread;
  unread.file_size = frames[5].file_size;
  frames.insert(frames.begin() + 5, unread);
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(Describe(NamedFrames(found)), "");
  EXPECT_FALSE(found.frames[5].flight || found.frames[5].line || found.frames[5].gsd_cm);

  const SurveyFindings none = FindBeforeProcessing({FrameFacts(), FrameFacts()});
  for (const RuleOutcome& rule : none.rules) {
    EXPECT_FALSE(rule.has_data) << FindingName(rule.id);
    EXPECT_NE(std::string(rule.no_data_en), "") << FindingName(rule.id);
    EXPECT_NE(std::string(rule.no_data_zh), "") << FindingName(rule.id);
    EXPECT_EQ(rule.named, 0U);
  }
}

TEST(Findings, ValuesThatAreNoNumbers) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  std::vector<FrameFacts> frames = FlyLawnmower({}).frames;
  for (std::size_t i = 30; i < 90; i += 3) {
    frames[i].relative_altitude = i % 2 == 0 ? nan : inf;
    frames[i + 1].exposure_time = frames[i + 1].gimbal_yaw = frames[i + 1].flight_yaw = nan;
    frames[i + 2].gps_altitude = frames[i + 2].gimbal_pitch = frames[i + 2].rtk_std_lat = nan;
  }
  const SurveyFindings found = FindBeforeProcessing(frames);
  for (const FrameNotes& notes : found.frames) {
    for (const std::optional<double>& value :
         {notes.gsd_cm, notes.forward_overlap, notes.blur_px}) {
      EXPECT_TRUE(!value || std::isfinite(*value));
    }
  }
  EXPECT_NEAR(*found.figures.relative_altitude_m, 100, 0.5);
  EXPECT_EQ(Describe(NamedFrames(found)), "");
}

TEST(Findings, IdsInTheirOrder) {
  const char* const ids[] = {"position_invalid", "position_outlier", "flight",    "flight_altitude",
                             "camera_other",     "oblique",          "horizon",   "rtk_not_fixed",
                             "no_time",          "time_backwards",   "duplicate", "gap_before",
                             "gsd_outlier",      "low_overlap",      "blur_risk"};
  ASSERT_EQ(std::size(ids), kFindingCount);
  const SurveyFindings found = FindBeforeProcessing({});
  for (std::size_t i = 0; i < kFindingCount; ++i) {
    EXPECT_STREQ(FindingName(FindingAt(i)), ids[i]);
    EXPECT_EQ(found.rules[i].id, FindingAt(i));
    EXPECT_NE(std::string(found.rules[i].rule_zh), "");
  }
}

}  // namespace
