// The pattern all four checks share: read each image, key it, group equal
// keys, print the groups in key order and report the deviating ones.
#ifndef EXIFCHECK_CHECKS_GROUPING_CHECK_H_
#define EXIFCHECK_CHECKS_GROUPING_CHECK_H_

#include <cstddef>
#include <map>
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

/// Whether the group met at this point of the walk is reported. Updates the
/// running maximum, which starts at 0 for each walk.
bool GroupReported(ReportRule rule, const std::string& key, int size, int* running_maximum);

void RunGroupingCheck(const ImageList& images, KeyFunction key_of, ReportRule rule,
                      std::vector<std::string>& findings, bool& flag);

#endif  // EXIFCHECK_CHECKS_GROUPING_CHECK_H_
