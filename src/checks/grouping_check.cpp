// The image pass and the group walk shared by every check.
#include "checks/grouping_check.h"

#include <cstdio>
#include <iostream>

#include "checks/check_findings.h"
#include "checks/messages.h"
#include "platform/platform.h"

const char kErrorKey[] = "error";

namespace {

enum class Keyed { kGrouped, kLeftOut, kUnread };

// Forms the key of frame `index`. A frame that the key function leaves out
// was read all the same; an unread one is named once.
Keyed KeyFrame(FrameStore& frames, std::size_t index, KeyFunction key_of, std::string* key) {
  const Frame& frame = frames.Fetch(index);
  const std::string& path = frames.Path(index);
  ReadProblems& problems = frames.problems();
  switch (frame.read) {
    case platform::FileRead::kRead:
      if (frame.result != exif_result::ok) {
        *key = kErrorKey;
        return Keyed::kGrouped;
      }
      return key_of(frame, key) ? Keyed::kGrouped : Keyed::kLeftOut;
    case platform::FileRead::kTooLarge:
      // A video beside the photos, say: never an image, and it must not vanish.
      if (problems.too_large.insert(index).second) {
        platform::Warn(path + " is 2 GiB or larger; grouped under \"error\"");
      }
      *key = kErrorKey;
      return Keyed::kGrouped;
    default:
      // The numbered line stays as it is; what the check could not look at
      // must not pass for checked.
      if (problems.unread.insert(index).second) {
        platform::Warn("not checked: " + path + ": " + frames.WhyNotRead(index));
      }
      return Keyed::kUnread;
  }
}

void ReportGroup(const ImageList& images, const std::vector<std::size_t>& group,
                 std::vector<std::string>& findings, bool& flag, CheckOutcome& outcome) {
  std::cout << kGroupErrorCount << group.size() << std::endl;
  std::size_t j = 0;
  for (const std::size_t index : group) {
    std::cout << kErrorImageSequence << ++j << std::endl;
    std::string name = FileNameFromPath(images[index]);
    findings.push_back(name);
    outcome.reported.push_back(index);
    flag = true;
    std::cout << kMismatchFileName << name << std::endl;
  }
}

std::vector<const GroupSummary*> Unreported(const CheckOutcome& outcome) {
  std::vector<const GroupSummary*> unreported;
  for (const GroupSummary& group : outcome.groups) {
    if (group.verdict != GroupVerdict::kReported) unreported.push_back(&group);
  }
  return unreported;
}

// A key as it may stand in a message line: the empty key as "", control
// bytes and backslashes escaped so that the line stays one line, and a key
// longer than a Make text ever is in practice cut, saying so. Bytes from 80
// on stay, as on standard output: a GBK maker name reads as it should.
std::string PrintableKey(const std::string& key) {
  constexpr std::size_t kShownBytes = 64;
  if (key.empty()) return "\"\"";
  std::string shown;
  const std::size_t end = key.size() > kShownBytes ? kShownBytes : key.size();
  for (std::size_t i = 0; i < end; ++i) {
    const unsigned char byte = static_cast<unsigned char>(key[i]);
    if (byte < 0x20 || byte == 0x7f || byte == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else {
      shown += key[i];
    }
  }
  if (end < key.size()) shown += "...(" + std::to_string(key.size()) + " bytes, cut)";
  return shown;
}

}  // namespace

bool GroupReported(ReportRule rule, const std::string& key, int size, int* running_maximum) {
  if (rule == ReportRule::kSpecialKeys) return key == "0" || key == kErrorKey;
  if (size > *running_maximum) {
    *running_maximum = size;
    return false;
  }
  return true;
}

bool LeavesDifferingValuesOut(const CheckOutcome& outcome) {
  const std::vector<const GroupSummary*> unreported = Unreported(outcome);
  if (unreported.size() >= 2) return true;
  return unreported.size() == 1 && unreported.front()->key == kErrorKey;
}

std::string LeftOutMessage(const std::string& check, const CheckOutcome& outcome) {
  const std::vector<const GroupSummary*> unreported = Unreported(outcome);
  std::string line = check + ": ";
  for (std::size_t i = 0; i < unreported.size(); ++i) {
    if (i > 0) line += ", ";
    line += PrintableKey(unreported[i]->key) + " (" + std::to_string(unreported[i]->size) +
            (unreported[i]->size == 1 ? " image)" : " images)");
  }
  if (unreported.size() == 1)
    return line + " could not be read as EXIF data and is not in error.json";
  return line + " differ and are not in error.json";
}

CheckOutcome RunGroupingCheck(FrameStore& frames, KeyFunction key_of, ReportRule rule,
                              std::vector<std::string>& findings, bool& flag) {
  const ImageList& images = frames.paths();
  std::cout << std::endl << "The number of images: " << images.size() << std::endl;

  ImageGroups groups;
  std::string key;
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::cout << kImageSequence << i + 1 << std::endl;
    if (KeyFrame(frames, i, key_of, &key) == Keyed::kGrouped) {
      groups[key].push_back(i);
    }
  }

  CheckOutcome outcome;
  int running_maximum = 0;
  for (const auto& group : groups) {
    const int size = static_cast<int>(group.second.size());
    std::cout << group.first << std::endl << size << std::endl << std::endl;
    const bool reported = GroupReported(rule, group.first, size, &running_maximum);
    outcome.groups.push_back({group.first, group.second.size(),
                              reported ? GroupVerdict::kReported : GroupVerdict::kMajority});
    if (reported) ReportGroup(images, group.second, findings, flag, outcome);
  }
  if (LeavesDifferingValuesOut(outcome)) {
    outcome.left_out = true;
    for (GroupSummary& group : outcome.groups) {
      if (group.verdict == GroupVerdict::kMajority) group.verdict = GroupVerdict::kLeftOut;
    }
  }
  return outcome;
}
