// The rules over where the frames were taken: positions that cannot be
// right, and frames far from all others.
#ifndef EXIFCHECK_SURVEY_POSITIONS_H_
#define EXIFCHECK_SURVEY_POSITIONS_H_

#include <optional>
#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"
#include "survey/survey_math.h"

/// A frame this far from its nearest neighbour or farther is an outlier
/// however sparse the survey...
constexpr double kOutlierFloorMetres = 1000.0;
/// ...and so is one farther than this many median neighbour spacings.
constexpr double kOutlierSpacings = 10.0;

/// Whether a frame's GPS coordinate cannot be right: a latitude beyond
/// +-90, a longitude beyond +-180, exactly 0/0, one of the two missing, or a
/// reference letter other than N or S (latitude), E or W (longitude),
/// lower case included. False for a frame with no coordinate at all.
bool PositionInvalid(const FrameFacts& frame);

/// The distance from each point to the nearest other one (infinity for a
/// lone point), through a k-d tree: O(n log n) to build, about O(log n)
/// a query.
std::vector<double> NearestNeighbourMetres(const std::vector<PlanePoint>& points);

/// `position_invalid` and `position_outlier`. Gives each frame's place on
/// the survey's plane where the rules over positions may use it: read,
/// placed, and neither a duplicate, invalid nor an outlier.
std::vector<std::optional<PlanePoint>> FindPositionFaults(const std::vector<FrameFacts>& frames,
                                                          SurveyFindings* out);

#endif  // EXIFCHECK_SURVEY_POSITIONS_H_
