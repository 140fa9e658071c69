// The frames of one run, each read once for all the checks. The first
// check that asks for frame i has it read; what the checks take of it stays
// until the run ends, so the later checks open nothing. Reads run ahead of
// the checks on reader threads behind the platform; a check asks for its
// frames in list order on the main thread and sees no thread.
#ifndef EXIFCHECK_CHECKS_FRAME_STORE_H_
#define EXIFCHECK_CHECKS_FRAME_STORE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "platform/platform.h"
#include "scan/image_folder_scan.h"

/// What the checks take of one frame: how its read went, the reader's
/// answer, and the fields their keys are formed from.
struct Frame {
  platform::FileRead read = platform::FileRead::kRead;
  ExifResult result = exif_result::not_jpeg;
  uint16_t focal_length_in_35mm_film = 0;
  uint32_t pixel_x_dimension = 0;
  uint32_t pixel_y_dimension = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;
  std::string make;  ///< the Make text up to its first NUL byte
};

/// The files of one run that could not be read, by their place in the
/// image list, each told on standard error once; and the files too large to
/// be images, told likewise.
struct ReadProblems {
  std::set<std::size_t> unread;
  std::set<std::size_t> too_large;
};

struct FrameStore {
  const ImageList* images = nullptr;
  std::size_t window = 0;     ///< frames read ahead of the one asked for
  std::vector<Frame> frames;  ///< one per path; those before `fetched` are read
  std::size_t fetched = 0;
  std::map<std::size_t, std::string> why;  ///< why a frame was not read
  ReadProblems problems;                   ///< what the checks have told of unread frames
  // Last, so that it goes first: the reader threads write into `frames`.
  platform::ListReadsHandle reads{nullptr, platform::StopListReads};
};

/// What a frame's first read takes (its head), and how many frames are
/// read at once where each request waits; other reads of frames go alike.
extern const std::uint32_t kFrameHeadBytes;
extern const std::size_t kFramesInFlight;

/// A store over `images`, which must outlive it, reading up to `window`
/// frames ahead (the build's default when not given). Nothing is read
/// before a frame is first asked for.
FrameStore MakeFrameStore(const ImageList& images);
FrameStore MakeFrameStore(const ImageList& images, std::size_t window);

/// Frame `index`, read now if no check has asked for it before. A check
/// asks for its frames in list order.
const Frame& FrameAt(FrameStore& store, std::size_t index);

/// Why frame `index` was not read; empty when it was.
std::string WhyNotRead(const FrameStore& store, std::size_t index);

#endif  // EXIFCHECK_CHECKS_FRAME_STORE_H_
