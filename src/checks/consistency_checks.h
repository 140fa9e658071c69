// The four consistency checks. Each takes every frame of the list from the
// run's FrameStore, which reads a frame once for all of them, groups the
// images by one property, prints the groups in byte order of their keys,
// and appends the file names of the images it reports to its own findings
// list, raising its flag. A frame that could not be read is named once,
// by the first check that meets it.
//
// A check whose rule leaves groups of differing values unreported (the
// running maximum passes a smaller group that sorts first; the focal-length
// check reports only "0" and "error") names them on standard error and says
// so in its outcome, so that the run does not pass such a survey as all
// clear.
#ifndef EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
#define EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_

#include <string>
#include <vector>

#include "checks/grouping_check.h"

/// The shape all four share.
using CheckFunction = CheckOutcome (*)(FrameStore& frames, std::vector<std::string>& findings,
                                       bool& flag);

/// Groups by pixel dimensions ("640*480"); reports by the running maximum.
CheckOutcome CheckResolution(FrameStore& frames, std::vector<std::string>& findings, bool& flag);

/// Groups by the Make text; reports by the running maximum.
CheckOutcome CheckMaker(FrameStore& frames, std::vector<std::string>& findings, bool& flag);

/// Groups by the 35 mm focal length; reports the groups "0" and "error".
CheckOutcome CheckFocalLength(FrameStore& frames, std::vector<std::string>& findings, bool& flag);

/// Groups the images without a complete GPS position under "0"; reports
/// "0" and "error".
CheckOutcome CheckGps(FrameStore& frames, std::vector<std::string>& findings, bool& flag);

#endif  // EXIFCHECK_CHECKS_CONSISTENCY_CHECKS_H_
