// The report page's "Before processing" part: each finding with its rule,
// its count and the frames it names; the flights, the cameras and the RTK
// fixes; the plots. And what the map takes of the findings: each frame's
// flight and marks, each flight's track in capture-time order, the gaps.
#ifndef EXIFCHECK_REPORT_FINDINGS_SECTION_H_
#define EXIFCHECK_REPORT_FINDINGS_SECTION_H_

#include <cstddef>
#include <string>
#include <vector>

#include "report/html_text.h"
#include "report/survey_map.h"
#include "survey/findings.h"
#include "survey/frame_facts.h"

/// What the part is made from. `facts` and `paths` hold one entry a
/// listed file, as `findings.frames` does.
struct FindingsOnPage {
  const SurveyFindings& findings;
  const std::vector<FrameFacts>& facts;
  const std::vector<std::string>& paths;
  const std::string& image_folder;
  CharsetBytes charset;
};

/// Frames a finding lists by path; the rest are counted and left to
/// exifcheck-frames.csv.
constexpr std::size_t kMostNamesShown = 30;
/// Rows of the flights' and the cameras' tables, likewise.
constexpr std::size_t kMostFlightRows = 100;
constexpr std::size_t kMostCameraRows = 30;

/// The part as a <section id="before-processing">.
std::string BeforeProcessingSection(const FindingsOnPage& in);

/// "oblique, rtk_not_fixed": the ids of the findings in `set`, in page order.
std::string FindingIds(FindingSet set);

/// How the map marks a frame the findings name: an outlier apart, a ring
/// for a finding on the frame itself. A flight's first frame, a flight at
/// another height and a gap (drawn as its step) are no ring.
MapMark MarkOf(FindingSet set);

/// The map's layers over `placed` (list positions of the frames drawn, in
/// the order of the map's points): each flight's track, and each gap's step
/// from the frame before it on its line, both ends drawn.
MapLayers FindingsMapLayers(const SurveyFindings& findings, const std::vector<FrameFacts>& facts,
                            const std::vector<std::size_t>& placed);

#endif  // EXIFCHECK_REPORT_FINDINGS_SECTION_H_
