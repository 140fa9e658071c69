// Survey lines within each flight, and what is judged along them.
#include "survey/lines.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "survey/flights.h"
#include "survey/stage.h"

namespace {

// How far `p` lies from the line through `on` along `course`.
double OffTheLine(PlanePoint on, double course, PlanePoint p) {
  const double ux = std::sin(course * kRadiansPerDegree), uy = std::cos(course * kRadiansPerDegree);
  return std::fabs((p.x - on.x) * uy - (p.y - on.y) * ux);
}

// What judging the lines of a flight looks up about any frame.
struct Survey {
  const std::vector<FrameFacts>& frames;
  const std::vector<std::optional<PlanePoint>>& usable;
  std::vector<std::optional<double>> gsd;  // metres per pixel
  // Frames before each list position that take no part in the lines: a
  // step across one of them measures a hole that a listed frame may fill.
  std::vector<std::size_t> left_out_before;
  std::vector<std::size_t> place_in_flight;  // in capture-time order
  bool any_gap_judged = false;
  bool any_overlap = false;
  bool any_blur = false;
};

// Whether the step from frame a to frame b of one line measures the ground
// between them: no frame of the flight lies between them in time, and no
// frame left out of the lines lies between them in the list.
bool StepJudged(const Survey& s, std::size_t a, std::size_t b) {
  if (s.place_in_flight[b] != s.place_in_flight[a] + 1) return false;
  const std::size_t lo = std::min(a, b), hi = std::max(a, b);
  return s.left_out_before[hi] == s.left_out_before[lo + 1];
}

std::optional<double> YawOf(const FrameFacts& f) {
  if (Finite(f.gimbal_yaw)) return f.gimbal_yaw;
  if (Finite(f.flight_yaw)) return f.flight_yaw;
  return std::nullopt;
}

void MeasureOverlap(Survey& s, std::size_t a, std::size_t b, SurveyFindings* out) {
  const FrameFacts& f = s.frames[a];
  if (!s.gsd[a]) return;
  const double course = CourseDegrees(*s.usable[a], *s.usable[b]);
  const std::optional<double> yaw = YawOf(f);
  double across = *s.gsd[a] * f.width, along = *s.gsd[a] * f.height;
  if (!yaw) {
    // Mapping flights fly the short side of the image along the course;
    // without a yaw that is taken, the smaller footprint.
    across = *s.gsd[a] * std::max(f.width, f.height);
    along = *s.gsd[a] * std::min(f.width, f.height);
  }
  const double reach = FootprintAlongCourse(across, along, course, yaw.value_or(course));
  const double overlap = std::max(0.0, 1.0 - Distance(*s.usable[a], *s.usable[b]) / reach);
  out->frames[a].forward_overlap = overlap;
  s.any_overlap = true;
  if (overlap < kLowOverlap) Name(out, a, Finding::kLowOverlap);
}

// Gaps and forward overlap along one line of kShortestLine frames or more.
void JudgeLine(Survey& s, const std::vector<std::size_t>& line, SurveyFindings* out) {
  std::vector<double> spacings;
  for (std::size_t k = 1; k < line.size(); ++k) {
    if (StepJudged(s, line[k - 1], line[k])) {
      spacings.push_back(Distance(*s.usable[line[k - 1]], *s.usable[line[k]]));
    }
  }
  const double median = Median(spacings);
  for (std::size_t k = 1; k < line.size(); ++k) {
    const std::size_t a = line[k - 1], b = line[k];
    if (!StepJudged(s, a, b)) continue;
    // A line of frames taken at one spot has no spacing to judge gaps by.
    if (median > 0) {
      s.any_gap_judged = true;
      if (Distance(*s.usable[a], *s.usable[b]) > kGapSpacings * median) {
        Name(out, b, Finding::kGapBefore);
      }
    }
    MeasureOverlap(s, a, b, out);
  }
}

// Ground speed from the frames before and after in the flight, times the
// exposure, in pixels of the frame's own ground sample distance. A frame
// aside is no neighbour: its position is not to be trusted.
void JudgeBlur(Survey& s, const std::vector<std::size_t>& track,
               const std::vector<LinePlace>& places, SurveyFindings* out) {
  auto steady = [&places](std::size_t k) { return places[k] != LinePlace::kAside; };
  for (std::size_t k = 0; k < track.size(); ++k) {
    const std::size_t i = track[k];
    const FrameFacts& f = s.frames[i];
    if (!s.gsd[i] || !Finite(f.exposure_time)) continue;
    std::size_t before = k, after = k;
    if (k >= 1 && steady(k - 1)) before = k - 1;
    if (k >= 2 && !steady(k - 1)) before = k - 2;
    if (k + 1 < track.size() && steady(k + 1)) after = k + 1;
    if (k + 2 < track.size() && !steady(k + 1)) after = k + 2;
    const double seconds =
        SecondsBetween(*s.frames[track[before]].time, *s.frames[track[after]].time);
    if (seconds <= 0) continue;
    const double speed = Distance(*s.usable[track[before]], *s.usable[track[after]]) / seconds;
    const double pixels = speed * *f.exposure_time / *s.gsd[i];
    out->frames[i].blur_px = pixels;
    s.any_blur = true;
    if (pixels > kBlurPixels) Name(out, i, Finding::kBlurRisk);
  }
}

// The runs of `track` between the frames that start lines, without the
// frames aside.
std::vector<std::vector<std::size_t>> CutIntoRuns(const std::vector<std::size_t>& track,
                                                  const std::vector<LinePlace>& places) {
  std::vector<std::vector<std::size_t>> runs;
  for (std::size_t k = 0; k < track.size(); ++k) {
    if (places[k] == LinePlace::kStarts) runs.emplace_back();
    if (places[k] != LinePlace::kAside) runs.back().push_back(track[k]);
  }
  return runs;
}

// A frame taken in a turn just before a line starts (or just after it ends)
// is cut off with the turn when the line's own course comes only from the
// frame after it. A line takes such a frame back from a turn when the step
// to it keeps the line's course.
void TakeBackFromTurns(const Survey& s, std::vector<std::vector<std::size_t>>* runs) {
  auto on_course = [&s](std::size_t from, std::size_t to, const std::vector<std::size_t>& line) {
    const PlanePoint a = *s.usable[from], b = *s.usable[to];
    return Distance(a, b) > 0 &&
           AngleBetween(CourseDegrees(a, b), CourseDegrees(*s.usable[line.front()],
                                                           *s.usable[line.back()])) <= kTurnDegrees;
  };
  for (std::size_t r = 0; r < runs->size(); ++r) {
    std::vector<std::size_t>& line = (*runs)[r];
    if (line.size() < kShortestLine) continue;
    if (r > 0 && (*runs)[r - 1].size() < kShortestLine) {
      std::vector<std::size_t>& turn = (*runs)[r - 1];
      if (!turn.empty() && on_course(turn.back(), line.front(), line)) {
        line.insert(line.begin(), turn.back());
        turn.pop_back();
      }
    }
    if (r + 1 < runs->size() && (*runs)[r + 1].size() < kShortestLine) {
      std::vector<std::size_t>& turn = (*runs)[r + 1];
      if (!turn.empty() && on_course(line.back(), turn.front(), line)) {
        line.push_back(turn.front());
        turn.erase(turn.begin());
      }
    }
  }
}

// Cuts one flight's usable frames into lines, numbers and judges the long ones.
void JudgeFlight(Survey& s, const std::vector<std::size_t>& in_time_order, SurveyFindings* out) {
  std::vector<std::size_t> track;
  std::vector<PlanePoint> points;
  for (std::size_t i : in_time_order) {
    if (!s.usable[i]) continue;
    track.push_back(i);
    points.push_back(*s.usable[i]);
  }
  const std::vector<LinePlace> places = LinePlaces(points);
  std::vector<std::vector<std::size_t>> runs = CutIntoRuns(track, places);
  TakeBackFromTurns(s, &runs);
  for (const std::vector<std::size_t>& line : runs) {
    if (line.size() < kShortestLine) continue;
    for (std::size_t i : line) out->frames[i].line = out->figures.lines;
    ++out->figures.lines;
    JudgeLine(s, line, out);
  }
  JudgeBlur(s, track, places, out);
}

void FindGsdOutliers(const Survey& s, const std::vector<std::vector<std::size_t>>& flights,
                     SurveyFindings* out) {
  bool any = false;
  for (const std::vector<std::size_t>& flight : flights) {
    std::vector<double> values;
    for (std::size_t i : flight) {
      if (s.gsd[i]) values.push_back(*s.gsd[i]);
    }
    if (values.empty()) continue;
    any = true;
    const double median = Median(values);
    for (std::size_t i : flight) {
      if (s.gsd[i] && *s.gsd[i] > kGsdOutlierRatio * median) Name(out, i, Finding::kGsdOutlier);
    }
  }
  if (any) {
    HasData(out, Finding::kGsdOutlier);
  } else {
    NoData(out, Finding::kGsdOutlier,
           "no frame of a flight carries relative altitude, FocalLengthIn35mmFilm and image size",
           "架次中没有影像同时带有相对高度、35 mm 等效焦距和影像尺寸");
  }
}

void SayWhatWasJudged(const Survey& s, SurveyFindings* out) {
  if (s.any_gap_judged) {
    HasData(out, Finding::kGapBefore);
  } else {
    NoData(out, Finding::kGapBefore,
           "no survey line of five frames or more with positions and capture times",
           "没有五张以上、带位置和拍摄时间的航线");
  }
  if (s.any_overlap) {
    HasData(out, Finding::kLowOverlap);
  } else {
    NoData(out, Finding::kLowOverlap, "no survey line whose frames carry a ground sample distance",
           "没有航线上的影像能算出地面分辨率");
  }
  if (s.any_blur) {
    HasData(out, Finding::kBlurRisk);
  } else {
    NoData(out, Finding::kBlurRisk,
           "no frame has a ground sample distance, ExposureTime and a ground speed",
           "没有影像同时有地面分辨率、曝光时间和地速");
  }
}

}  // namespace

std::optional<double> GroundSampleMetres(const FrameFacts& frame) {
  const std::uint32_t pixels = std::max(frame.width, frame.height);
  if (!Finite(frame.relative_altitude) || !(*frame.relative_altitude > 0) ||
      frame.focal_35mm == 0 || pixels == 0) {
    return std::nullopt;
  }
  return *frame.relative_altitude * 36.0 / (frame.focal_35mm * static_cast<double>(pixels));
}

double FootprintAlongCourse(double across, double along, double course, double yaw) {
  const double turn = (course - yaw) * kRadiansPerDegree;
  const double c = std::fabs(std::cos(turn)), s = std::fabs(std::sin(turn));
  // The line through the middle leaves the rectangle through whichever
  // side it meets first.
  double reach = std::numeric_limits<double>::infinity();
  if (c > 1e-12) reach = std::min(reach, along / c);
  if (s > 1e-12) reach = std::min(reach, across / s);
  return reach;
}

std::vector<LinePlace> LinePlaces(const std::vector<PlanePoint>& track) {
  std::vector<LinePlace> places(track.size(), LinePlace::kContinues);
  if (track.empty()) return places;
  places[0] = LinePlace::kStarts;
  // Courses run from the last frame that kept the line on its own step.
  std::size_t first = 0, anchor = 0;
  for (std::size_t k = 1; k < track.size(); ++k) {
    const PlanePoint before = track[anchor];
    // A line of one frame, or of frames at one spot, takes any course.
    if (Distance(track[first], before) == 0 || Distance(before, track[k]) == 0) {
      anchor = k;
      continue;
    }
    const double course = CourseDegrees(track[first], before);
    if (AngleBetween(CourseDegrees(before, track[k]), course) <= kTurnDegrees) {
      anchor = k;
      continue;
    }
    if (k + 1 < track.size() && Distance(before, track[k + 1]) > 0 &&
        AngleBetween(CourseDegrees(before, track[k + 1]), course) <= kTurnDegrees) {
      // Within a spacing of the line it is noise and stays in; farther off,
      // its fix is bad and it stands aside.
      const double across = OffTheLine(before, course, track[k]);
      if (across > Distance(before, track[k + 1]) / 2) places[k] = LinePlace::kAside;
      continue;
    }
    places[k] = LinePlace::kStarts;
    first = anchor = k;
  }
  return places;
}

void FindLineFaults(const std::vector<FrameFacts>& frames,
                    const std::vector<std::optional<PlanePoint>>& usable, SurveyFindings* out) {
  Survey s{frames, usable, {}, {}, {}};
  s.gsd.resize(frames.size());
  s.left_out_before.assign(frames.size() + 1, 0);
  s.place_in_flight.assign(frames.size(), 0);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].exif) s.gsd[i] = GroundSampleMetres(frames[i]);
    if (s.gsd[i]) out->frames[i].gsd_cm = *s.gsd[i] * 100.0;
    const bool in_lines = out->frames[i].flight && usable[i];
    s.left_out_before[i + 1] = s.left_out_before[i] + (in_lines ? 0 : 1);
  }
  const std::vector<std::vector<std::size_t>> flights = FlightsInCaptureOrder(*out, frames);
  for (const std::vector<std::size_t>& flight : flights) {
    for (std::size_t k = 0; k < flight.size(); ++k) s.place_in_flight[flight[k]] = k;
  }
  for (const std::vector<std::size_t>& flight : flights) JudgeFlight(s, flight, out);
  FindGsdOutliers(s, flights, out);
  SayWhatWasJudged(s, out);
}
