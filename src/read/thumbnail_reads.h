// The thumbnails the report page shows, read again after the checks: each
// is one request for exactly the bytes its frame's IFD1 named when the
// frame was read, many at once where each request waits.
#ifndef EXIFCHECK_READ_THUMBNAIL_READS_H_
#define EXIFCHECK_READ_THUMBNAIL_READS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "read/frame_store.h"

/// A frame's embedded thumbnail, a JPEG.
struct Thumbnail {
  std::size_t frame = 0;
  std::string jpeg;
};

struct ThumbnailReads {
  std::vector<Thumbnail> shown;  ///< in the order asked for
  /// Of the frames asked for, those that carry a thumbnail: the page says
  /// how many it shows of these.
  std::size_t carried = 0;
};

/// Reads the thumbnails of `frames` (places in the store's list, each
/// fetched), in that order: at most `most` of them and `budget` bytes in
/// all, chosen by the sizes their frames named before anything is read. A
/// thumbnail that no longer reads, or does not start as a JPEG, is left
/// out.
ThumbnailReads ReadThumbnails(const FrameStore& store, const std::vector<std::size_t>& frames,
                              std::size_t most, std::size_t budget);

#endif  // EXIFCHECK_READ_THUMBNAIL_READS_H_
