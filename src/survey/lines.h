// The rules over the survey lines of each flight: gaps in a line, ground
// resolution, forward overlap and motion blur.
#ifndef EXIFCHECK_SURVEY_LINES_H_
#define EXIFCHECK_SURVEY_LINES_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"
#include "survey/survey_math.h"

/// A course more than this far from the line's own starts a new line.
constexpr double kTurnDegrees = 20.0;
/// Lines of fewer frames are turns, not lines to judge.
constexpr std::size_t kShortestLine = 5;
/// A spacing more than this many times the line's median is a gap.
constexpr double kGapSpacings = 1.8;
/// A ground sample distance more than this many times the flight's median.
constexpr double kGsdOutlierRatio = 1.25;
/// Forward overlap below this fraction.
constexpr double kLowOverlap = 0.6;
/// Ground moved during the exposure beyond this many pixels blurs.
constexpr double kBlurPixels = 0.5;

/// Metres of ground per pixel: relative altitude x sensor width / (focal
/// length x pixels across). The sensor is 36 mm x FocalLength /
/// FocalLengthIn35mmFilm across its long side, so FocalLength itself
/// cancels and need not be given. None without a relative altitude above
/// 0, a 35 mm focal length and the image size.
std::optional<double> GroundSampleMetres(const FrameFacts& frame);

/// How far a footprint of `across` x `along` metres reaches along `course`
/// through its middle, the top of the image facing `yaw` (both degrees
/// clockwise from north): `along` on the course, `across` at right angles.
double FootprintAlongCourse(double across, double along, double course, double yaw);

/// Where a frame stands in the lines of its flight.
enum class LinePlace : std::uint8_t {
  kContinues,  ///< on the course of the line before it
  kStarts,     ///< the first frame of its flight, or the first after a turn
  kAside,      ///< more than a spacing off the line, the frame after it back on it
};

/// The place of each of one flight's usable positions, in capture-time
/// order. A frame starts a line when its course from the frame before leaves
/// the line's course (from its first frame to the frame before) by more than
/// kTurnDegrees, unless the course from the frame before to the next frame
/// keeps it: then the step after it is measured from the frame before it,
/// and it stays in the line when it is within a spacing of it (GPS noise),
/// or stands aside when it is farther off (a bad fix). Neither breaks the
/// line; two frames aside never follow each other.
std::vector<LinePlace> LinePlaces(const std::vector<PlanePoint>& track);

/// `gap_before`, `gsd_outlier`, `low_overlap` and `blur_risk`, and each
/// frame's line, GSD, overlap and blur. Runs after the flights; `usable`
/// holds the positions the position rules kept.
void FindLineFaults(const std::vector<FrameFacts>& frames,
                    const std::vector<std::optional<PlanePoint>>& usable, SurveyFindings* out);

#endif  // EXIFCHECK_SURVEY_LINES_H_
