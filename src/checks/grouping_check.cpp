// The image pass and the group walk shared by every check.
#include "checks/grouping_check.h"

#include <iostream>

#include "checks/check_findings.h"
#include "checks/messages.h"
#include "platform/platform.h"

const char kErrorKey[] = "error";

namespace {

// Reads the image at `path` and forms its key. Returns false when the image
// joins no group: unreadable files are skipped, and the key function may
// leave an image out.
bool KeyImage(const std::string& path, KeyFunction key_of, std::string* key) {
  bool keyed = false;
  const platform::FileRead status =
      platform::ReadWholeFile(path, [&](const unsigned char* data, std::uint32_t size) {
        ExifRecord record;
        if (record.read_jpeg(data, size) != 0) {
          *key = kErrorKey;
          keyed = true;
        } else {
          keyed = key_of(record, key);
        }
      });
  switch (status) {
    case platform::FileRead::kRead:
      return keyed;
    case platform::FileRead::kUnreadable:
      return false;
    case platform::FileRead::kTooLarge:
      // A video beside the photos, say: never an image, and it must not vanish.
      std::cerr << "exifcheck: " << path << " is 2 GiB or larger; grouped under \"error\""
                << std::endl;
      *key = kErrorKey;
      return true;
  }
  return false;
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
                      std::vector<std::string>& findings, bool& flag) {
  std::cout << std::endl << "The number of images: " << images.size() << std::endl;

  ImageGroups groups;
  std::string key;
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::cout << kImageSequence << i + 1 << std::endl;
    if (KeyImage(images[i], key_of, &key)) groups[key].push_back(i);
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
