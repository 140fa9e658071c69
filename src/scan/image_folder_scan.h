// The image folder scan: every file below the image folder, at any depth.
#ifndef EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
#define EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_

#include <string>
#include <vector>

/// Full paths: the folder text as configured, a separator and each subfolder
/// name on the way down, a separator and the file name.
using ImageList = std::vector<std::string>;

/// Lists every file under `folder`, depth first: a subfolder's contents stand
/// where the subfolder's own entry was delivered. Opens no file and filters
/// nothing. Prints "can not found the file ... " for each folder that cannot
/// be listed and goes on without it.
ImageList ScanImageFolder(const std::string& folder);

#endif  // EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
