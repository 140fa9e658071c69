// The image pass and the group walk shared by every check.
#include "checks/grouping_check.h"

#include <iostream>

#include "checks/check_findings.h"
#include "checks/messages.h"
#include "checks/record_parts.h"
#include "platform/platform.h"

const char kErrorKey[] = "error";

namespace {

// What a check reads of a file first. A camera writes its EXIF block
// straight after the start of the file, with its thumbnail's end marker in
// it, so the head alone usually settles the answer; the reader asks for the
// tail (4 KiB leave room for padding a writer puts after the end marker) or
// the exact bytes it lacks otherwise, and the answer is the whole file's.
// The build may set another head size, so that the bench can tune this one.
#ifndef EXIFCHECK_HEAD_BYTES
#define EXIFCHECK_HEAD_BYTES 16384
#endif
constexpr std::uint32_t kHeadBytes = EXIFCHECK_HEAD_BYTES;
constexpr std::uint32_t kTailBytes = 4 * 1024;
// Files whose heads the system fetches ahead of their turn on a cold cache;
// the bench tunes it as it tunes the head.
#ifndef EXIFCHECK_READ_AHEAD
#define EXIFCHECK_READ_AHEAD 32
#endif
constexpr std::size_t kReadAhead = EXIFCHECK_READ_AHEAD;

enum class Keyed { kGrouped, kLeftOut, kUnread };

// Reads the image at `path` and forms its key. An image that the key
// function leaves out is read all the same; an unread one is named once.
Keyed KeyImage(const ImageList& images, std::size_t index, platform::ListReader& reader,
               KeyFunction key_of, ReadProblems& problems, std::string* key) {
  const std::string& path = images[index];
  bool keyed = false;
  std::string why;
  const auto consume = [&](const platform::FileParts& parts) {
    ExifRecord record;
    ExifResult result = exif_result::ok;
    const platform::PartsWanted more = ReadRecordParts(parts, &record, &result);
    if (!more.done) return more;
    if (result != exif_result::ok) {
      *key = kErrorKey;
      keyed = true;
    } else {
      keyed = key_of(record, key);
    }
    return more;
  };
  switch (platform::ReadListedImage(reader, index, consume, &why)) {
    case platform::FileRead::kRead: return keyed ? Keyed::kGrouped : Keyed::kLeftOut;
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
      if (problems.unread.insert(index).second) platform::Warn("not checked: " + path + ": " + why);
      return Keyed::kUnread;
  }
}

void ReportGroup(const ImageList& images, const std::vector<std::size_t>& group,
                 std::vector<std::string>& findings, bool& flag) {
  std::cout << kGroupErrorCount << group.size() << std::endl;
  std::size_t j = 0;
  for (const std::size_t index : group) {
    std::cout << kErrorImageSequence << ++j << std::endl;
    std::string name = FileNameFromPath(images[index]);
    findings.push_back(name);
    flag = true;
    std::cout << kMismatchFileName << name << std::endl;
  }
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

void RunGroupingCheck(const ImageList& images, KeyFunction key_of, ReportRule rule,
                      std::vector<std::string>& findings, bool& flag, ReadProblems& problems) {
  std::cout << std::endl << "The number of images: " << images.size() << std::endl;

  ImageGroups groups;
  std::string key;
  platform::ListReader reader =
      platform::MakeListReader(images, kHeadBytes, kTailBytes, kReadAhead);
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::cout << kImageSequence << i + 1 << std::endl;
    if (KeyImage(images, i, reader, key_of, problems, &key) == Keyed::kGrouped) {
      groups[key].push_back(i);
    }
  }

  int running_maximum = 0;
  for (const auto& group : groups) {
    const int size = static_cast<int>(group.second.size());
    std::cout << group.first << std::endl << size << std::endl << std::endl;
    if (GroupReported(rule, group.first, size, &running_maximum)) {
      ReportGroup(images, group.second, findings, flag);
    }
  }
}
