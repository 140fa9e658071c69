// exifcheck-frames.csv: one row per listed file, in list order, with what
// the run read of it and what the findings before processing say of it,
// for a spreadsheet or a script. Streamed: its size never lifts the run's
// memory.
#ifndef EXIFCHECK_REPORT_FRAMES_CSV_H_
#define EXIFCHECK_REPORT_FRAMES_CSV_H_

#include <functional>
#include <string>

#include "read/frame_store.h"
#include "survey/findings.h"

/// The file's name in the output folder.
extern const char kFramesCsvName[];

/// Hands the table's text to `write` a few kilobytes at a time, header
/// first; `write` returns false to stop. Paths are taken below
/// `image_folder`. Returns false when `write` stopped it.
bool FramesCsv(const FrameStore& frames, const SurveyFindings& findings,
               const std::string& image_folder,
               const std::function<bool(const std::string&)>& write);

/// Writes the table into `output_folder` as the page is written. Returns
/// false with the reason in `error` when it could not be written.
bool WriteFramesCsv(const FrameStore& frames, const SurveyFindings& findings,
                    const std::string& image_folder, const std::string& output_folder,
                    std::string* error);

#endif  // EXIFCHECK_REPORT_FRAMES_CSV_H_
