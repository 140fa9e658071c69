// ReplaceFile called as the report writer calls it, for the tests of each
// system's implementation.
#ifndef EXIFCHECK_TESTS_SUPPORT_REPORT_WRITE_H_
#define EXIFCHECK_TESTS_SUPPORT_REPORT_WRITE_H_

#include <string>

#include "platform/platform.h"

namespace testsupport {

/// A short report, the content most cases write.
inline const std::string kNewReport = "{\"errors\":[]}";

struct Written {
  platform::ReportWrite result = platform::ReportWrite::kFailed;
  std::string error;
};

inline Written Replace(const std::string& path, const std::string& content = kNewReport) {
  Written out;
  out.result = platform::ReplaceFile(path, content, &out.error);
  return out;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_REPORT_WRITE_H_
