// The four consistency checks. Each reads every image of the list again,
// groups the images by one property, prints the groups in byte order of
// their keys, and appends the file names of the images it reports to its
// own findings list, raising its flag. A run hands every check the same
// ReadProblems, so that a file no check could read is named only once;
// without it each check names its own.
//
// A check whose rule leaves groups of differing values unreported (the
// running maximum passes a smaller group that sorts first; the focal-length
// check reports only "0" and "error") names them on standard error and
// returns true, so that the run does not pass such a survey as all clear.
#ifndef EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
#define EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_

#include <string>
#include <vector>

#include "checks/grouping_check.h"
#include "scan/image_folder_scan.h"

/// The shape all four share.
using CheckFunction = bool (*)(const ImageList& images, std::vector<std::string>& findings,
                               bool& flag, ReadProblems* problems);

/// Groups by pixel dimensions ("640*480"); reports by the running maximum.
bool CheckResolution(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                     ReadProblems* problems = nullptr);

/// Groups by the Make text; reports by the running maximum.
bool CheckMaker(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                ReadProblems* problems = nullptr);

/// Groups by the 35 mm focal length; reports the groups "0" and "error".
bool CheckFocalLength(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                      ReadProblems* problems = nullptr);

/// Groups the images without a complete GPS position under "0"; reports
/// "0" and "error".
bool CheckGps(const ImageList& images, std::vector<std::string>& findings, bool& flag,
              ReadProblems* problems = nullptr);

#endif  // EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
