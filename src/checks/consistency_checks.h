// The four consistency checks. Each reads every image of the list again,
// groups the images by one property, prints the groups in byte order of
// their keys, and appends the file names of the images it reports to its
// own findings list, raising its flag. A run hands every check the same
// ReadProblems, so that a file no check could read is named only once;
// without it each check names its own.
#ifndef EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
#define EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_

#include <string>
#include <vector>

#include "checks/grouping_check.h"
#include "scan/image_folder_scan.h"

/// The shape all four share.
using CheckFunction = void (*)(const ImageList& images, std::vector<std::string>& findings,
                               bool& flag, ReadProblems* problems);

/// Groups by pixel dimensions ("640*480"); reports by the running maximum.
void CheckResolution(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                     ReadProblems* problems = nullptr);

/// Groups by the Make text; reports by the running maximum.
void CheckMaker(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                ReadProblems* problems = nullptr);

/// Groups by the 35 mm focal length; reports the groups "0" and "error".
void CheckFocalLength(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                      ReadProblems* problems = nullptr);

/// Groups the images without a complete GPS position under "0"; reports
/// "0" and "error".
void CheckGps(const ImageList& images, std::vector<std::string>& findings, bool& flag,
              ReadProblems* problems = nullptr);

#endif  // EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
