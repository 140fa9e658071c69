// What the rule stages share: naming a frame, saying a rule had no data,
// and which frames a rule over positions or times leaves out.
#ifndef EXIFCHECK_SURVEY_STAGE_H_
#define EXIFCHECK_SURVEY_STAGE_H_

#include <cstddef>

#include "survey/findings.h"

inline void Name(SurveyFindings* out, std::size_t frame, Finding id) {
  out->frames[frame].findings |= FindingBit(id);
}

inline RuleOutcome& Outcome(SurveyFindings* out, Finding id) {
  return out->rules[static_cast<std::size_t>(id)];
}

/// A rule that could not judge says why, in both languages; it then names
/// no frame.
inline void NoData(SurveyFindings* out, Finding id, const char* en, const char* zh) {
  RuleOutcome& outcome = Outcome(out, id);
  outcome.has_data = false;
  outcome.no_data_en = en;
  outcome.no_data_zh = zh;
}

inline void HasData(SurveyFindings* out, Finding id) {
  RuleOutcome& outcome = Outcome(out, id);
  outcome.has_data = true;
  outcome.no_data_en = "";
  outcome.no_data_zh = "";
}

/// A frame whose position would mislead the rules over positions and
/// spacing: a copy of another, or a position that is wrong or far off.
inline bool PositionLeftOut(const FrameNotes& notes) {
  return Names(notes.findings, Finding::kDuplicate) ||
         Names(notes.findings, Finding::kPositionInvalid) ||
         Names(notes.findings, Finding::kPositionOutlier);
}

/// A frame whose capture time would mislead the rules over times.
inline bool TimeLeftOut(const FrameNotes& notes) {
  return Names(notes.findings, Finding::kDuplicate) || Names(notes.findings, Finding::kNoTime) ||
         Names(notes.findings, Finding::kTimeBackwards);
}

#endif  // EXIFCHECK_SURVEY_STAGE_H_
