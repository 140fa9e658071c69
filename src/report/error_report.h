// error.json: the reported images of all four checks, grouped by error code.
#ifndef EXIFCHECK_REPORT_ERROR_REPORT_H_
#define EXIFCHECK_REPORT_ERROR_REPORT_H_

#include <string>

#include "checks/check_findings.h"

/// The compact JSON text of the report: four records, codes 101 to 104, each
/// with its description and the names of its check's list.
std::string ErrorReportJson(const CheckFindings& findings);

/// Echoes the report on standard output and writes it to error.json in
/// `output_folder`, replacing an older one. A failure to write, and a write
/// that had to overwrite the old file in place, are told on standard error.
/// Returns false when error.json does not hold this run's report.
bool WriteErrorReport(const CheckFindings& findings, const std::string& output_folder);

#endif  // EXIFCHECK_REPORT_ERROR_REPORT_H_
