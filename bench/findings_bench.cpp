// Times the findings before processing over large synthetic surveys, to
// show they grow as n log n: a lawnmower survey in flights of 1,000 frames,
// the same with one frame in 500 thrown kilometres off, and every frame on
// one long north-south line (ties on one axis for the nearest-neighbour
// search). Prints the best of five runs for each size.
//
//   findings_bench [FRAMES...]    (default 25000 50000 100000 200000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "survey/findings.h"
#include "survey/lawnmower.h"

namespace {

using survey_test::FlyLawnmower;
using survey_test::LawnmowerPlan;

// A lawnmower survey of about `count` frames, lines of 200 frames, a new
// folder and a battery change every 1,000 frames.
std::vector<FrameFacts> Survey(std::size_t count) {
  LawnmowerPlan plan;
  plan.frames_per_line = 200;
  plan.lines = (count + plan.frames_per_line - 1) / plan.frames_per_line;
  std::vector<FrameFacts> frames = FlyLawnmower(plan).frames;
  frames.resize(count);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i].folder = i / 1000;
    frames[i].time->clock_seconds += static_cast<std::int64_t>(600 * (i / 1000));
  }
  return frames;
}

std::vector<FrameFacts> WithStrays(std::vector<FrameFacts> frames) {
  for (std::size_t i = 250; i < frames.size(); i += 500) {
    survey_test::MoveBy(&frames[i], 3000.0 + static_cast<double>(i % 7000), 2000.0);
  }
  return frames;
}

std::vector<FrameFacts> OneLine(std::size_t count) {
  std::vector<FrameFacts> frames;
  frames.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    frames.push_back(survey_test::FrameAt(0, 15.0 * static_cast<double>(i), 2.5 * i, i));
  }
  return frames;
}

double BestMilliseconds(const std::vector<FrameFacts>& frames, std::size_t* named) {
  double best = 1e300;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const SurveyFindings found = FindBeforeProcessing(frames);
    const auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    *named = 0;
    for (const FrameNotes& notes : found.frames) *named += notes.findings != 0 ? 1 : 0;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes = {25000, 50000, 100000, 200000};
  if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
  }
  std::printf("%-10s %-22s %10s %12s %10s\n", "frames", "survey", "ms", "us/frame", "named");
  for (std::size_t n : sizes) {
    const std::vector<FrameFacts> lawnmower = Survey(n);
    const struct {
      const char* name;
      std::vector<FrameFacts> frames;
    } surveys[] = {{"lawnmower", lawnmower},
                   {"lawnmower, strays", WithStrays(lawnmower)},
                   {"one line", OneLine(n)}};
    for (const auto& s : surveys) {
      std::size_t named = 0;
      const double ms = BestMilliseconds(s.frames, &named);
      std::printf("%-10zu %-22s %10.1f %12.2f %10zu\n", n, s.name, ms, 1000.0 * ms / n, named);
    }
  }
  return 0;
}
