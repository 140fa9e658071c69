// What the run keeps of one frame, read once for the checks, the findings
// before processing, the page and the per-frame table.
#ifndef EXIFCHECK_READ_FRAME_H_
#define EXIFCHECK_READ_FRAME_H_

#include <cstdint>
#include <string>

#include "exif/exif_record.h"
#include "exif/thumbnail.h"
#include "platform/platform.h"
#include "survey/frame_facts.h"

struct Frame {
  /// Whether the store has read the frame, or tried to. A frame no check
  /// and no finding asked for stays as it is.
  bool fetched = false;
  platform::FileRead read = platform::FileRead::kRead;
  ExifResult result = exif_result::not_jpeg;

  // What the four checks key their groups on, as the reader gave them.
  uint16_t focal_length_in_35mm_film = 0;
  uint32_t pixel_x_dimension = 0;
  uint32_t pixel_y_dimension = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;
  std::string make;  ///< the Make text up to its first NUL byte

  /// The thumbnail IFD1 names, when it lies inside the EXIF segment; size 0
  /// when there is none.
  ThumbnailPlace thumbnail;
  /// How far into the file its metadata reaches: the end of the EXIF
  /// segment, or of the XMP segment when that comes later. Frames of one
  /// survey share a layout, so this tells how large a head the next frames
  /// want. 0 when the frame has no EXIF data.
  uint32_t metadata_end = 0;
};

/// What a read hands back: the frame and what the findings before
/// processing look at, which the store keeps apart.
struct FrameRead {
  Frame frame;
  FrameFacts facts;
  /// Whether the read needed the file's tail for its end marker.
  bool asked_tail = false;
};

#endif  // EXIFCHECK_READ_FRAME_H_
