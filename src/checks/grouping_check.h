// The pattern all four checks share: take each frame, key it, group equal
// keys, print the groups in key order and report the deviating ones.
#ifndef EXIFCHECK_CHECKS_GROUPING_CHECK_H_
#define EXIFCHECK_CHECKS_GROUPING_CHECK_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "read/frame_store.h"

/// The key of an image the reader rejected, or that is too large to be one.
extern const char kErrorKey[];

/// Forms the key of one successfully read image into `key`. Returns false
/// when the image takes part in no group.
using KeyFunction = bool (*)(const Frame& frame, std::string* key);

enum class ReportRule {
  kRunningMaximum,  // a group no larger than the largest before it deviates
  kSpecialKeys,     // exactly the groups "0" and "error" deviate
};

/// Key text to the positions, in the image list, of the images with that key;
/// std::string orders keys by their bytes taken as unsigned.
using ImageGroups = std::map<std::string, std::vector<std::size_t>>;

/// What became of a group in the walk: the one unreported group the
/// reported ones were measured against, reported, or left out of the report
/// though it differs from the others.
enum class GroupVerdict { kMajority, kReported, kLeftOut };

/// A group as the walk printed it.
struct GroupSummary {
  std::string key;
  std::size_t size = 0;
  GroupVerdict verdict = GroupVerdict::kMajority;
};

/// What one check found: its groups in key order, the frames it reported
/// (by their place in the image list, in the order they were reported), and
/// whether it left groups of differing values out of the report.
struct CheckOutcome {
  std::vector<GroupSummary> groups;
  std::vector<std::size_t> reported;
  bool left_out = false;
};

/// Whether the group met at this point of the walk is reported. Updates the
/// running maximum, which starts at 0 for each walk.
bool GroupReported(ReportRule rule, const std::string& key, int size, int* running_maximum);

/// Whether the groups a walk left unreported still differ from each other:
/// two or more of them, or an unreported "error" group. A lone other group
/// is the majority the reported ones were measured against.
bool LeavesDifferingValuesOut(const CheckOutcome& outcome);

/// One line that names `check` and each of its unreported groups, key and
/// size, for standard error. Keys are bytes from the images: control bytes
/// are escaped and a long key is cut, so the line stays one short line.
std::string LeftOutMessage(const std::string& check, const CheckOutcome& outcome);

/// One check over the frames of `frames`. Frames that could not be read
/// join no group; each is named on standard error unless the store's
/// problems hold it already, and is added there.
CheckOutcome RunGroupingCheck(FrameStore& frames, KeyFunction key_of, ReportRule rule,
                              std::vector<std::string>& findings, bool& flag);

#endif  // EXIFCHECK_CHECKS_GROUPING_CHECK_H_
