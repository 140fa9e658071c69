// Copies, camera groups, gimbal angle and RTK fix.
#include "survey/frame_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "survey/lawnmower.h"

namespace {

using survey_test::FrameAt;
using survey_test::NamedBy;
using Frames = std::vector<std::size_t>;

TEST(FrameRules, DuplicateNeedsSizeTimeAndSegment) {
  const struct {
    const char* change;
    std::function<void(FrameFacts*)> make;
    bool duplicate;
  } cases[] = {
      {"nothing", [](FrameFacts*) {}, true},
      {"file size", [](FrameFacts* f) { ++f->file_size; }, false},
      {"digest", [](FrameFacts* f) { f->exif_digest ^= 1; }, false},
      {"segment length", [](FrameFacts* f) { ++f->exif_size; }, false},
      {"second", [](FrameFacts* f) { ++f->time->clock_seconds; }, false},
      {"fraction", [](FrameFacts* f) { ++f->time->nanoseconds; }, false},
      {"time gone", [](FrameFacts* f) { f->time.reset(); }, false},
      {"folder and name", [](FrameFacts* f) { f->folder = 3; }, true},
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames = {FrameAt(0, 0, 0, 0), FrameAt(0, 15, 2.5, 1)};
    frames.push_back(frames[0]);
    c.make(&frames[2]);
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(NamedBy(found, Finding::kDuplicate), c.duplicate ? Frames{2} : Frames{}) << c.change;
    EXPECT_EQ(found.frames[2].duplicate_of,
              c.duplicate ? std::optional<std::size_t>(0) : std::nullopt)
        << c.change;
  }
  // Two copies both point at the first frame; frames without a time still pair.
  std::vector<FrameFacts> frames = {FrameAt(0, 0, 0, 0), FrameAt(0, 15, 2.5, 1)};
  frames[0].time.reset();
  frames.insert(frames.end(), {frames[0], frames[0]});
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(NamedBy(found, Finding::kDuplicate), (Frames{2, 3}));
  EXPECT_EQ(found.frames[3].duplicate_of, 0U);
}

TEST(FrameRules, CameraGroupsByModelSerialAndLens) {
  std::vector<FrameFacts> frames;
  for (int k = 0; k < 6; ++k) frames.push_back(FrameAt(0, 15.0 * k, 2.5 * k, k));
  frames[0].serial = "OTHER";      // another body of the same model, first in the list
  frames[4].lens = "DL 24mm";      // the same body with another lens
  frames.push_back(FrameFacts());  // not read: in no group
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(NamedBy(found, Finding::kCameraOther), (Frames{0, 4}));
  ASSERT_EQ(found.cameras.size(), 3U);
  EXPECT_EQ(found.cameras[0].serial, "OTHER");
  EXPECT_FALSE(found.cameras[0].majority);
  EXPECT_TRUE(found.cameras[1].majority);
  EXPECT_EQ(found.cameras[1].frames, 4U);
  EXPECT_EQ(found.cameras[1].first, 1U);
  EXPECT_EQ(found.cameras[2].lens, "DL 24mm");

  // Of two equal groups the first in the list is the majority.
  frames.resize(2);
  const SurveyFindings tied = FindBeforeProcessing(frames);
  EXPECT_EQ(NamedBy(tied, Finding::kCameraOther), Frames{1});
}

TEST(FrameRules, OffNadirByPitchAndRoll) {
  const struct {
    std::optional<double> pitch, roll;
    FindingSet named;
  } cases[] = {
      {-90, 0, 0},
      {-80, 0, 0},
      {-79.9, 0, FindingBit(Finding::kOblique)},
      {-30, 0, FindingBit(Finding::kOblique)},
      {-29.9, 0, FindingBit(Finding::kHorizon)},
      {10, 0, FindingBit(Finding::kHorizon)},
      {-90, 169.9, 0},
      {-90, 170, FindingBit(Finding::kOblique)},
      {-90, -180, FindingBit(Finding::kOblique)},
      {std::nullopt, 175, FindingBit(Finding::kOblique)},
      {-10, 180, FindingBit(Finding::kHorizon)},
      {std::nullopt, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames;
    for (int k = 0; k < 5; ++k) frames.push_back(FrameAt(0, 15.0 * k, 2.5 * k, k));
    frames[2].gimbal_pitch = c.pitch;
    frames[2].gimbal_roll = c.roll;
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(found.frames[2].findings, c.named)
        << c.pitch.value_or(99) << " " << c.roll.value_or(99);
  }
}

TEST(FrameRules, ObliqueSurveyIsNotJudged) {
  std::vector<FrameFacts> frames;
  for (int k = 0; k < 4; ++k) frames.push_back(FrameAt(0, 15.0 * k, 2.5 * k, k));
  frames[0].gimbal_pitch = frames[1].gimbal_pitch = -45.0;  // two of four: not most
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_FALSE(found.looks_down);
  for (Finding id : {Finding::kOblique, Finding::kHorizon}) {
    EXPECT_FALSE(found.rules[static_cast<std::size_t>(id)].has_data);
    EXPECT_EQ(NamedBy(found, id), Frames{});
  }
}

TEST(FrameRules, RtkFlagAndDeviation) {
  const struct {
    std::optional<int> flag;
    std::optional<double> lon, lat, hgt;
    bool named;
  } cases[] = {
      {50, 0.01, 0.01, 0.02, false},
      {34, 0.01, 0.01, 0.02, true},
      {16, std::nullopt, std::nullopt, std::nullopt, true},
      {0, 0.01, 0.01, 0.02, true},
      {50, 0.1, 0.1, 0.1, false},
      {50, 0.1001, 0.01, 0.01, true},
      {50, 0.01, 0.1001, 0.01, true},
      {50, 0.01, 0.01, 0.1001, true},
      {std::nullopt, 0.2, std::nullopt, std::nullopt, true},
      {51, 0.01, 0.01, 0.01, false},
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames = {FrameAt(0, 0, 0, 0), FrameAt(0, 15, 2.5, 1)};
    frames[1].rtk_flag = c.flag;
    frames[1].rtk_std_lon = c.lon;
    frames[1].rtk_std_lat = c.lat;
    frames[1].rtk_std_hgt = c.hgt;
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(NamedBy(found, Finding::kRtkNotFixed), c.named ? Frames{1} : Frames{})
        << c.flag.value_or(-1) << " " << c.lon.value_or(-1) << " " << c.hgt.value_or(-1);
  }
  std::vector<FrameFacts> frames;
  for (int flag : {50, 34, 50, 16, 0, 50}) {
    frames.push_back(FrameAt(0, 15.0 * frames.size(), 2.5 * frames.size(), frames.size()));
    frames.back().rtk_flag = flag;
  }
  const SurveyFindings found = FindBeforeProcessing(frames);
  ASSERT_EQ(found.rtk.size(), 4U);
  EXPECT_EQ(found.rtk[0].flag, 0);
  EXPECT_EQ(found.rtk[3].flag, 50);
  EXPECT_EQ(found.rtk[3].frames, 3U);
  for (FrameFacts& f : frames) {
    f.rtk_flag.reset();
    f.rtk_std_lon = f.rtk_std_lat = f.rtk_std_hgt = std::nullopt;
  }
  const RuleOutcome none = FindBeforeProcessing(frames).rules[7];
  EXPECT_FALSE(none.has_data);
  EXPECT_STREQ(none.no_data_en, "no frame carries RtkFlag or an RTK standard deviation");
}

}  // namespace
