// The image pass and the group walk shared by every check.
#include "checks/grouping_check.h"

#include <iostream>

#include "checks/check_findings.h"
#include "checks/messages.h"
#include "platform/platform.h"

const char kErrorKey[] = "error";

namespace {

// What a check reads of a file before it reads it whole. A camera writes its
// EXIF block straight after the start of the file, and its end marker at the
// very end; a frame whose data lie elsewhere is read whole, with the same
// answer. 16 KiB holds the EXIF block of every camera the tool has met (the
// block of a survey frame takes 1-3 KiB; the thumbnail after it is not
// read), 4 KiB of tail any padding a writer leaves after the end marker.
constexpr std::uint32_t kHeadBytes = 16 * 1024;
constexpr std::uint32_t kTailBytes = 4 * 1024;

// Reads the image at `path` and forms its key. Returns false when the image
// joins no group: unreadable files are skipped, and the key function may
// leave an image out.
bool KeyImage(const std::string& path, KeyFunction key_of, std::string* key) {
  bool keyed = false;
  std::string why;
  const auto consume = [&](const platform::FileParts& parts) {
    ExifRecord record;
    const ExifResult result = record.read_jpeg(
        FileBytes{parts.head, parts.head_size, parts.tail, parts.tail_size, parts.size});
    if (result == exif_result::needs_whole_file) return false;
    if (result != exif_result::ok) {
      *key = kErrorKey;
      keyed = true;
    } else {
      keyed = key_of(record, key);
    }
    return true;
  };
  switch (platform::ReadImageFile(path, kHeadBytes, kTailBytes, consume, &why)) {
    case platform::FileRead::kRead:
      return keyed;
    case platform::FileRead::kTooLarge:
      // A video beside the photos, say: never an image, and it must not vanish.
      std::cerr << "exifcheck: " << path << " is 2 GiB or larger; grouped under \"error\""
                << std::endl;
      *key = kErrorKey;
      return true;
    default:
      return false;
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
