// The pattern all four checks share: read each image, key it, group equal
// keys, print the groups in key order and report the deviating ones.
#ifndef EXIFCHECK_CHECKS_GROUPING_CHECK_H_
#define EXIFCHECK_CHECKS_GROUPING_CHECK_H_

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "scan/image_folder_scan.h"

/// The key of an image the reader rejected, or that is too large to be one.
extern const char kErrorKey[];

/// Forms the key of one successfully read image into `key`. Returns false
/// when the image takes part in no group.
using KeyFunction = bool (*)(const ExifRecord& record, std::string* key);

enum class ReportRule {
  kRunningMaximum,  // a group no larger than the largest before it deviates
  kSpecialKeys,     // exactly the groups "0" and "error" deviate
};

/// Key text to the positions, in the image list, of the images with that key;
/// std::string orders keys by their bytes taken as unsigned.
using ImageGroups = std::map<std::string, std::vector<std::size_t>>;

/// The files of one run that its checks could not read, by their place in
/// the image list, each told on standard error only the first time a check
/// meets it; and the files too large to be images, told likewise.
struct ReadProblems {
  std::set<std::size_t> unread;
  std::set<std::size_t> too_large;
};

/// A group the walk printed but did not report.
struct UnreportedGroup {
  std::string key;
  std::size_t size = 0;
};

/// Whether the group met at this point of the walk is reported. Updates the
/// running maximum, which starts at 0 for each walk.
bool GroupReported(ReportRule rule, const std::string& key, int size, int* running_maximum);

/// Whether the groups a walk left unreported still differ from each other:
/// two or more of them, or an unreported "error" group. A lone other group
/// is the majority the reported ones were measured against.
bool LeavesDifferingValuesOut(const std::vector<UnreportedGroup>& unreported);

/// One line that names `check` and each of its unreported groups, key and
/// size, for standard error. Keys are bytes from the images: control bytes
/// are escaped and a long key is cut, so the line stays one short line.
std::string LeftOutMessage(const std::string& check,
                           const std::vector<UnreportedGroup>& unreported);

/// One check over `images`. Files it cannot read join no group; each is
/// named on standard error unless `problems` holds it already, and is added
/// there. Returns the groups it did not report, in key order.
std::vector<UnreportedGroup> RunGroupingCheck(const ImageList& images, KeyFunction key_of,
                                              ReportRule rule, std::vector<std::string>& findings,
                                              bool& flag, ReadProblems& problems);

#endif  // EXIFCHECK_CHECKS_GROUPING_CHECK_H_
