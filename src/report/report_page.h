// exifcheck-report.html: one page an operator opens after a run, in any
// browser and with no network: the verdict, the findings before processing
// with their plots, the survey on a map with its flights and the reported
// and named frames marked, each check's groups, and the thumbnails of the
// reported frames.
#ifndef EXIFCHECK_REPORT_REPORT_PAGE_H_
#define EXIFCHECK_REPORT_REPORT_PAGE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "checks/grouping_check.h"
#include "read/frame_store.h"
#include "read/thumbnail_reads.h"
#include "survey/findings.h"

/// The page's file name in the output folder.
extern const char kReportPageName[];

/// One check that ran, and what it found.
struct CheckOnPage {
  const char* id;  ///< "resolution", "maker", "focal-length", "gps"
  CheckOutcome outcome;
};

/// What the page shows of a run.
struct RunOnPage {
  int status = 0;
  std::string image_folder;
  std::size_t folders_unlisted = 0;
  std::vector<CheckOnPage> checks;  ///< in the order they ran
};

/// The page's HTML. Every text taken from a file is escaped, cut to a few
/// hundred bytes and isolated in its own direction; the page's own texts are
/// ASCII, with its Chinese as character references, so that they read right
/// whatever `charset` the page declares for the file names. `findings` are
/// those of the frames in `frames`, one a listed file.
std::string ReportPageHtml(const RunOnPage& run, const FrameStore& frames,
                           const SurveyFindings& findings, const ThumbnailReads& thumbnails,
                           const std::string& charset);

/// The thumbnails of the frames the checks reported, read again now, in
/// list order: at most 200, and fewer when they would make the page large.
ThumbnailReads PageThumbnails(const RunOnPage& run, const FrameStore& frames);

/// Writes the page into `output_folder` as error.json is written, but a
/// link of its name is replaced, never written through. Returns false with
/// the reason in `error` when it could not be written.
bool WriteReportPage(const RunOnPage& run, const FrameStore& frames, const SurveyFindings& findings,
                     const std::string& output_folder, std::string* error);

#endif  // EXIFCHECK_REPORT_REPORT_PAGE_H_
