// Capture-time faults, flights and flight heights.
#include "survey/flights.h"

#include <gtest/gtest.h>

#include <functional>

#include "survey/lawnmower.h"

namespace {

using survey_test::FrameAt;
using survey_test::NamedBy;
using Frames = std::vector<std::size_t>;

// `first` frames two seconds apart, then the rest of 20 after `pause` seconds.
std::vector<FrameFacts> TwoRuns(double pause, int first = 10) {
  std::vector<FrameFacts> frames;
  for (int k = 0; k < 20; ++k) {
    frames.push_back(FrameAt(0, 12.0 * k, 2.0 * k + (k >= first ? pause - 2.0 : 0.0), k));
  }
  return frames;
}

TEST(Flights, PauseAndBodyChangeStartFlights) {
  const struct {
    const char* what;
    double pause;
    std::function<void(std::vector<FrameFacts>&)> make;
    Frames named;
  } cases[] = {
      {"60 s", 60, [](auto&) {}, {}},
      {"61 s", 61, [](auto&) {}, {10}},
      {"61 s back in time, another folder",
       -61,
       [](auto& v) {
         for (int k = 10; k < 20; ++k) v[k].folder = 1;
       },
       {10}},
      {"another body",
       2,
       [](auto& v) {
         for (int k = 15; k < 20; ++k) v[k].serial = "2ND";
       },
       {15}},
      {"another model", 2, [](auto& v) { v[19].model = "FC6310S"; }, {19}},
      {"80 s after 8 s intervals",
       74,
       [](auto& v) {
         for (int k = 0; k < 20; ++k) v[k].time->clock_seconds += 6 * k;
       },
       {}},
  };
  for (const auto& c : cases) {
    std::vector<FrameFacts> frames = TwoRuns(c.pause);
    c.make(frames);
    const SurveyFindings found = FindBeforeProcessing(frames);
    EXPECT_EQ(NamedBy(found, Finding::kFlight), c.named) << c.what;
    EXPECT_EQ(found.flights.size(), c.named.size() + 1) << c.what;
  }
  const SurveyFindings two = FindBeforeProcessing(TwoRuns(61));
  EXPECT_EQ(*two.figures.frame_interval_s, 2.0);
  EXPECT_EQ(*two.figures.flight_pause_s, 60.0);
  EXPECT_EQ(two.flights[1].first, 10U);
  EXPECT_EQ(two.flights[1].last, 19U);
  EXPECT_EQ(two.flights[1].frames, 10U);
  EXPECT_EQ(two.flights[1].end.clock_seconds - two.flights[1].start.clock_seconds, 18);
  EXPECT_EQ(*two.frames[12].flight, 1U);
}

TEST(Flights, TimeBackwardsWithinAFolder) {
  std::vector<FrameFacts> frames = TwoRuns(2);
  frames[5].time = frames[4].time;  // equal is not backwards
  frames[8].time = frames[7].time;
  frames[8].time->nanoseconds = 0;
  --frames[8].time->clock_seconds;      // a second early
  frames[12].time.reset();              // no time: named, and skipped
  frames[13].time->clock_seconds -= 5;  // earlier than 11, the frame before with a time
  for (int k = 15; k < 20; ++k) frames[k].folder = 1;
  frames[15].time->clock_seconds -= 100;  // earlier, but the first of its folder
  frames.push_back(frames[3]);            // a copy: a duplicate, not backwards
  frames.back().folder = 1;
  const SurveyFindings found = FindBeforeProcessing(frames);
  EXPECT_EQ(NamedBy(found, Finding::kTimeBackwards), (Frames{8, 13}));
  EXPECT_EQ(NamedBy(found, Finding::kNoTime), Frames{12});
  for (std::size_t i : {8, 12, 13, 20}) EXPECT_FALSE(found.frames[i].flight) << i;
  EXPECT_TRUE(found.frames[9].flight);
}

TEST(Flights, AltitudeMoreThanFiveMetresOff) {
  const struct {
    std::optional<double> relative;  // of the second flight; the first flies at 100 m
    double gps;
    AltitudeKind kind;
    bool marked;
    bool bad_positions = false;  // most of the second flight's positions, and their altitudes
  } cases[] = {
      {105.0, 120, AltitudeKind::kRelative, false},
      {105.01, 120, AltitudeKind::kRelative, true},
      {94.99, 120, AltitudeKind::kRelative, true},
      {std::nullopt, 125, AltitudeKind::kGps, false},
      {std::nullopt, 125.5, AltitudeKind::kGps, true},
      {std::nullopt, 125, AltitudeKind::kGps, false, true},
  };
  for (const auto& c : cases) {
    // Eleven frames of the first flight against nine of the second: the
    // survey's median is the first flight's.
    std::vector<FrameFacts> frames = TwoRuns(300, 11);
    for (int k = 0; k < 20; ++k) {
      if (c.kind == AltitudeKind::kGps) frames[k].relative_altitude.reset();
    }
    for (int k = 11; k < 20; ++k) {
      frames[k].relative_altitude = c.relative;
      frames[k].gps_altitude = c.gps;
      if (c.bad_positions && k % 2 == 1) {
        frames[k].latitude_ref = 'X';
        frames[k].gps_altitude = 300.0;
      }
    }
    const SurveyFindings found = FindBeforeProcessing(frames);
    ASSERT_EQ(found.flights.size(), 2U);
    EXPECT_EQ(found.flights[1].altitude_kind, c.kind);
    EXPECT_EQ(found.flights[1].marked, c.marked) << c.relative.value_or(c.gps);
    EXPECT_FALSE(found.flights[0].marked);
    EXPECT_EQ(NamedBy(found, Finding::kFlightAltitude).size(), c.marked ? 9U : 0U);
  }
}

}  // namespace
