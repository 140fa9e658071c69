// What the survey's frames say before photogrammetry: the faults that would
// waste a day of processing, each named on the frames it concerns. Pure
// computation over the frame facts; everything here is informational and
// goes to the report page and the per-frame table, never to the console,
// error.json or the exit status.
#ifndef EXIFCHECK_SURVEY_FINDINGS_H_
#define EXIFCHECK_SURVEY_FINDINGS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "survey/frame_facts.h"

/// The findings, in the order the page lists them. The numbers are stable:
/// they are bit positions in `FindingSet`.
enum class Finding : std::uint8_t {
  kPositionInvalid = 0,
  kPositionOutlier = 1,
  kFlight = 2,
  kFlightAltitude = 3,
  kCameraOther = 4,
  kOblique = 5,
  kHorizon = 6,
  kRtkNotFixed = 7,
  kNoTime = 8,
  kTimeBackwards = 9,
  kDuplicate = 10,
  kGapBefore = 11,
  kGsdOutlier = 12,
  kLowOverlap = 13,
  kBlurRisk = 14,
};
constexpr std::size_t kFindingCount = 15;

/// The findings that name one frame, one bit per finding.
using FindingSet = std::uint16_t;

constexpr FindingSet FindingBit(Finding id) {
  return static_cast<FindingSet>(1U << static_cast<unsigned>(id));
}
constexpr bool Names(FindingSet set, Finding id) { return (set & FindingBit(id)) != 0; }

/// The finding at position `i` of the page's order (i < kFindingCount).
constexpr Finding FindingAt(std::size_t i) { return static_cast<Finding>(i); }

/// The finding's id as the page and the table write it: "position_invalid",
/// "position_outlier", "flight", "flight_altitude", "camera_other",
/// "oblique", "horizon", "rtk_not_fixed", "no_time", "time_backwards",
/// "duplicate", "gap_before", "gsd_outlier", "low_overlap", "blur_risk".
const char* FindingName(Finding id);

/// What the findings say of one frame. Flight and line are positions in
/// the survey's lists, counted from 0; a frame outside every flight (no
/// capture time, a duplicate, a time going backwards) or outside every
/// line (in a turn, no usable position) has none.
struct FrameNotes {
  FindingSet findings = 0;
  std::optional<std::size_t> duplicate_of;  ///< the earlier frame, by list position
  std::optional<std::size_t> flight;        ///< into SurveyFindings::flights
  std::optional<std::size_t> line;          ///< survey lines counted over all flights
  std::optional<double> gsd_cm;             ///< ground sample distance, cm per pixel
  std::optional<double> forward_overlap;    ///< to the next frame of the line, 0 to 1
  std::optional<double> blur_px;            ///< ground moved during the exposure, pixels
};

/// One finding's rule and what came of it over the survey. The texts are
/// fixed UTF-8 strings; the reasons are empty when the rule had its data.
struct RuleOutcome {
  Finding id = Finding::kPositionInvalid;
  std::size_t named = 0;  ///< frames it names
  const char* rule_en = "";
  const char* rule_zh = "";
  bool has_data = false;
  const char* no_data_en = "";
  const char* no_data_zh = "";
};

/// Which altitude a flight's median is of.
enum class AltitudeKind : std::uint8_t {
  kNone,      ///< none of its frames carries one
  kRelative,  ///< the drone's relative altitude (XMP), above the take-off point
  kGps,       ///< GPSAltitude
};

/// One flight: a run of frames in list order with no long pause in capture
/// time and one camera body.
struct Flight {
  std::size_t frames = 0;
  std::size_t first = 0;  ///< list position of its first frame
  std::size_t last = 0;   ///< and of its last
  CaptureTime start;      ///< its earliest capture time
  CaptureTime end;        ///< and its latest
  std::string model;
  std::string serial;
  std::optional<double> altitude;  ///< median, metres
  AltitudeKind altitude_kind = AltitudeKind::kNone;
  bool marked = false;  ///< more than 5 m from the survey's median altitude of that kind
};

/// Frames of one camera model, body serial and lens.
struct CameraGroup {
  std::string model;
  std::string serial;
  std::string lens;
  std::size_t frames = 0;
  std::size_t first = 0;  ///< list position of its first frame
  bool majority = false;  ///< the largest group (the first of equals)
};

/// Frames that carry one RtkFlag value.
struct RtkCount {
  int flag = 0;
  std::size_t frames = 0;
};

/// Figures the rules measured against, for the page's explanations.
struct SurveyFigures {
  std::optional<double> neighbour_spacing_m;  ///< median distance to the nearest other frame
  std::optional<double> outlier_distance_m;   ///< farther than this from all others: outlier
  std::optional<double> frame_interval_s;     ///< median capture interval within a body
  std::optional<double> flight_pause_s;       ///< a longer jump starts a flight
  std::optional<double> relative_altitude_m;  ///< survey median, flights of that kind
  std::optional<double> gps_altitude_m;
  std::size_t lines = 0;  ///< survey lines judged
};

struct SurveyFindings {
  std::vector<FrameNotes> frames;                ///< one per frame given, in list order
  std::array<RuleOutcome, kFindingCount> rules;  ///< in Finding order
  std::vector<Flight> flights;                   ///< in list order of their first frames
  std::vector<CameraGroup> cameras;              ///< in list order of their first frames
  std::vector<RtkCount> rtk;                     ///< by flag value, ascending
  bool looks_down = false;  ///< most frames with a gimbal pitch are at -80 degrees or below
  SurveyFigures figures;
};

/// Every finding over the frames of one survey, in list order. Frames not
/// read (`exif` false) take part in nothing and are named by nothing.
SurveyFindings FindBeforeProcessing(const std::vector<FrameFacts>& frames);

#endif  // EXIFCHECK_SURVEY_FINDINGS_H_
