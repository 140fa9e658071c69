// The scan run with its console output captured, for the scan tests.
#ifndef EXIFCHECK_TESTS_SUPPORT_QUIET_SCAN_H_
#define EXIFCHECK_TESTS_SUPPORT_QUIET_SCAN_H_

#include <gtest/gtest.h>

#include <string>

#include "scan/image_folder_scan.h"

namespace testsupport {

/// Scans `folder`; what it printed goes to `printed` (standard output) and
/// `warned` (standard error, when not null).
inline ImageList ScanQuietly(const std::string& folder, std::string* printed,
                             ScanProblems* problems = nullptr, std::string* warned = nullptr) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ImageList list = ScanImageFolder(folder, problems);
  const std::string err = testing::internal::GetCapturedStderr();
  *printed = testing::internal::GetCapturedStdout();
  if (warned != nullptr) *warned = err;
  return list;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_QUIET_SCAN_H_
