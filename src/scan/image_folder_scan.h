// The image folder scan: every file below the image folder, at any depth.
#ifndef EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
#define EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_

#include <string>
#include <vector>

#include "platform/platform.h"

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

/// A file the run itself writes into the output folder, which is no frame
/// when the output folder lies inside the image folder: its name, and the
/// identity of the file of that name in the output folder.
struct OwnOutput {
  std::string name;
  platform::FileId id;
};

/// Lists every file under `folder`, depth first: a subfolder's contents stand
/// where the subfolder's own entry was delivered. Opens no file and filters
/// nothing but the files of `own`, known by their identity: a file of the
/// same name (letter case aside) that is another file is listed. Prints "can
/// not found the file ... " for each folder that cannot be listed and goes
/// on without it; names each such subfolder on standard error and, when
/// `problems` is given, records them there.
ImageList ScanImageFolder(const std::string& folder, ScanProblems* problems = nullptr,
                          const std::vector<OwnOutput>& own = {});

/// `path` as it stands below `folder`, as the scan joined it (the part after
/// the folder and its separator), or whole when it does not start there.
std::string PathBelow(const std::string& path, const std::string& folder);

#endif  // EXIFCHECK_SCAN_IMAGE_FOLDER_SCAN_H_
