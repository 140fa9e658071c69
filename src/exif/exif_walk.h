// The walk over the TIFF directories of an EXIF payload: IFD0, the EXIF
// sub-directory and the GPS directory.
#ifndef EXIFCHECK_EXIF_EXIF_WALK_H_
#define EXIFCHECK_EXIF_EXIF_WALK_H_

#include "exif/exif_record.h"
#include "exif/tiff_layout.h"

/// Checks the identifier and the TIFF header of `payload` and stores what
/// its directories carry into `record`, which it does not reset first.
/// Returns ok or a failure code; needs_more_bytes when a byte it would read
/// lies past the bytes held, with the record then partly filled.
ExifResult walk_exif_payload(const PayloadBytes& payload, ExifRecord& record);

#endif  // EXIFCHECK_EXIF_EXIF_WALK_H_
