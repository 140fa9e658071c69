// Where the small JPEG a camera stores beside a frame lies: IFD1, the
// directory linked from IFD0, names its offset (0x0201) and length (0x0202).
// Only the report page shows it; the checks never look at it.
#ifndef EXIFCHECK_EXIF_THUMBNAIL_H_
#define EXIFCHECK_EXIF_THUMBNAIL_H_

#include <cstdint>

/// The thumbnail's bytes: `size` bytes from file position `offset`.
struct ThumbnailPlace {
  uint32_t offset = 0;
  uint32_t size = 0;
};

/// Finds the thumbnail of a JPEG file of `file_size` bytes from its first
/// `length` bytes at `data`, which must hold the file's first FF E1 segment
/// up to its end of IFD1. False when there is none, when the directories
/// are malformed or not within `data`, or when the thumbnail would not lie
/// wholly inside that segment (so never more than 64 KiB) and the file.
/// `needs_more`, when not null, is set when a directory lies past `data`
/// but within the file: more of the file may find it.
bool find_thumbnail(const unsigned char* data, uint32_t length, uint32_t file_size,
                    ThumbnailPlace* place, bool* needs_more = nullptr);

#endif  // EXIFCHECK_EXIF_THUMBNAIL_H_
