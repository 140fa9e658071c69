// What the checks found: the file names of the reported images, one list per
// check, read by the report writer after the last check.
#ifndef EXIFCHECK_CHECKS_CHECK_FINDINGS_H_
#define EXIFCHECK_CHECKS_CHECK_FINDINGS_H_

#include <array>
#include <string>
#include <vector>

/// Positions of the lists; position 3 belongs to no check and stays empty.
enum FindingsPosition {
  kResolutionFindings = 0,
  kFocalLengthFindings = 1,
  kGpsFindings = 2,
  kUnusedFindings = 3,
  kMakerFindings = 4,
};

/// Five lists of file names, in the order the checks appended them; a name
/// may stand in a list more than once.
using CheckFindings = std::array<std::vector<std::string>, 5>;

/// The part of `path` after its last folder separator (empty when the path
/// ends in one): a backslash or a slash on Windows, a slash elsewhere.
std::string FileNameFromPath(const std::string& path);

#endif  // EXIFCHECK_CHECKS_CHECK_FINDINGS_H_
