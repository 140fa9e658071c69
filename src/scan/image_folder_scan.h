// The image folder scan: every file below the image folder, at any depth.
#ifndef EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
#define EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_

#include <string>
#include <vector>

/// Full paths: the folder text as configured, a separator and each subfolder
/// name on the way down, a separator and the file name.
using ImageList = std::vector<std::string>;

/// What a scan could not list. A run that checked less than the whole tree
/// must not pass for one that checked it all.
struct ScanProblems {
  bool folder_listed = true;          ///< the image folder itself
  std::string folder_error;           ///< the system's reason when it was not
  std::vector<std::string> unlisted;  ///< subfolders that could not be listed
};

/// Lists every file under `folder`, depth first: a subfolder's contents stand
/// where the subfolder's own entry was delivered. Opens no file and filters
/// nothing. Prints "can not found the file ... " for each folder that cannot
/// be listed and goes on without it; names each such subfolder on standard
/// error and, when `problems` is given, records them there.
ImageList ScanImageFolder(const std::string& folder, ScanProblems* problems = nullptr);

#endif  // EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
