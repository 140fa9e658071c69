// A drone survey on disk with one frame of each fault the findings before
// processing name, and what each frame's notes must be: two flights of
// lawnmower lines from realistic drone frames, then the faults put in one
// frame each. For the end-to-end test of the table and the page's checks.
#ifndef EXIFCHECK_TESTS_SUPPORT_FAULT_SURVEY_H_
#define EXIFCHECK_TESTS_SUPPORT_FAULT_SURVEY_H_

#include <string>
#include <vector>

namespace testsupport {

struct SurveyFile {
  std::string path;   ///< below the survey folder, '/' between folders
  std::string notes;  ///< the notes cell the table must hold for it
};

/// Writes the survey into `folder` (made if missing) and returns its files
/// in the order a listing sorted by name gives them.
std::vector<SurveyFile> WriteFaultSurvey(const std::string& folder);

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_FAULT_SURVEY_H_
