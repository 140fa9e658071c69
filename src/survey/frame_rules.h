// The rules that judge each frame by what it says of itself, or by the
// frames equal to it: copies, cameras, gimbal angle and RTK fix.
#ifndef EXIFCHECK_SURVEY_FRAME_RULES_H_
#define EXIFCHECK_SURVEY_FRAME_RULES_H_

#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"

/// A frame looks down at this gimbal pitch or below; above it, it is oblique.
constexpr double kNadirPitch = -80.0;
/// Above this pitch a frame shows the horizon.
constexpr double kHorizonPitch = -30.0;
/// A gimbal roll this far from level or farther has the camera turned over.
constexpr double kTurnedOverRoll = 170.0;
/// RtkFlag of a fixed solution; the lower values are float, single and none.
constexpr int kRtkFixed = 50;
/// Metres of RtkStdLon, RtkStdLat or RtkStdHgt a fixed frame stays within.
constexpr double kRtkStdLimit = 0.1;

/// `duplicate`: a frame with the file size, capture time and EXIF segment
/// of an earlier one, which it keeps as `duplicate_of`.
void FindDuplicates(const std::vector<FrameFacts>& frames, SurveyFindings* out);

/// `camera_other` and the camera groups.
void FindCameraGroups(const std::vector<FrameFacts>& frames, SurveyFindings* out);

/// `oblique` and `horizon`, and whether the survey looks down.
void FindOffNadir(const std::vector<FrameFacts>& frames, SurveyFindings* out);

/// `rtk_not_fixed` and the counts by RtkFlag.
void FindRtk(const std::vector<FrameFacts>& frames, SurveyFindings* out);

#endif  // EXIFCHECK_SURVEY_FRAME_RULES_H_
