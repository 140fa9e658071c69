// Where a JPEG frame keeps its metadata: the walk over the marker segments
// at its start that finds the EXIF and the XMP APP1 segments. A frame is
// read in parts, so the walk names the bytes it lacks instead of guessing.
#ifndef EXIFCHECK_EXIF_JPEG_SEGMENTS_H_
#define EXIFCHECK_EXIF_JPEG_SEGMENTS_H_

#include <cstdint>
#include <optional>

#include "exif/file_bytes.h"

/// The identifier at the start of an XMP APP1 payload, NUL included; the
/// packet follows it.
constexpr char kXmpIdentifier[] = "http://ns.adobe.com/xap/1.0/";
constexpr uint32_t kXmpIdentifierSize = sizeof kXmpIdentifier;

/// One segment: the file positions of its FF marker byte and of its payload
/// (the bytes after the length field), and the payload's size.
struct SegmentPlace {
  uint32_t marker = 0;
  uint32_t payload = 0;
  uint32_t payload_size = 0;
};

/// The first APP1 whose payload starts "Exif\0\0" and the first whose
/// payload starts with kXmpIdentifier, when the walk met them, and the file
/// position just past the later of the two (0 when neither was found).
struct MetadataSegments {
  std::optional<SegmentPlace> exif;
  std::optional<SegmentPlace> xmp;
  uint32_t metadata_end = 0;
};

/// Walks the marker segments of `file` from position 2 on, past the start
/// marker, and fills `found`. The walk stops at the start of scan, the end
/// marker, a byte that is no marker, a length under 2, a segment that runs
/// past the file, after 64 segments, or once both segments are found. A
/// file that does not start FF D8 has neither.
///
/// Returns false when a byte the walk needs (a segment header, or the start
/// of an APP1 payload for its identifier) is not among those given;
/// `request`, when not null, then names the bytes to read, and `found`
/// holds what the walk met before.
bool find_metadata_segments(const FileBytes& file, MetadataSegments* found,
                            ByteRequest* request = nullptr);

#endif  // EXIFCHECK_EXIF_JPEG_SEGMENTS_H_
