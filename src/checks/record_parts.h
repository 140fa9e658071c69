// The EXIF reader over the parts of a file that the platform reads hand on,
// and what it asks them for next.
#ifndef EXIFCHECK_CHECKS_RECORD_PARTS_H_
#define EXIFCHECK_CHECKS_RECORD_PARTS_H_

#include "exif/exif_record.h"
#include "platform/platform.h"

/// read_jpeg over `parts` into `record`, its answer in `result`. Returns
/// what the reader needs next; done once `result` is its answer.
platform::PartsWanted ReadRecordParts(const platform::FileParts& parts, ExifRecord* record,
                                      ExifResult* result);

#endif  // EXIFCHECK_CHECKS_RECORD_PARTS_H_
