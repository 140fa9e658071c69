// Reading each frame once: the reads behind the store, and what is kept
// of each frame.
#include "checks/frame_store.h"

#include <utility>

#include "checks/record_parts.h"

namespace {

// What a check reads of a file first. A camera writes its EXIF block
// straight after the start of the file, with its thumbnail's end marker in
// it, so the head alone usually settles the answer; the reader asks for the
// tail (4 KiB leave room for padding a writer puts after the end marker) or
// the exact bytes it lacks otherwise, and the answer is the whole file's.
// The build may set another head size, so that the bench can tune this one.
#ifndef EXIFCHECK_HEAD_BYTES
#define EXIFCHECK_HEAD_BYTES 16384
#endif
constexpr std::uint32_t kHeadBytes = EXIFCHECK_HEAD_BYTES;
constexpr std::uint32_t kTailBytes = 4 * 1024;
// Frames read ahead of the one a check asks for: requests in flight on
// storage that makes each one wait. The bench tunes it as it tunes the head.
#ifndef EXIFCHECK_READ_AHEAD
#define EXIFCHECK_READ_AHEAD 32
#endif
constexpr std::size_t kReadAhead = EXIFCHECK_READ_AHEAD;

// Keeps what the checks take of `record`.
void KeepFields(const ExifRecord& record, ExifResult result, Frame* frame) {
  frame->result = result;
  if (result != exif_result::ok) return;
  frame->focal_length_in_35mm_film = record.focal_length_in_35mm_film;
  frame->pixel_x_dimension = record.pixel_x_dimension;
  frame->pixel_y_dimension = record.pixel_y_dimension;
  frame->latitude = record.gps.latitude;
  frame->longitude = record.gps.longitude;
  frame->altitude = record.gps.altitude;
  frame->make = record.make.c_str();  // up to the first NUL, if any
}

// Runs on a reader thread, for its own frame only.
platform::PartsWanted DecodeParts(Frame* frame, const platform::FileParts& parts) {
  ExifRecord record;
  ExifResult result = exif_result::ok;
  const platform::PartsWanted more = ReadRecordParts(parts, &record, &result);
  if (more.done) KeepFields(record, result, frame);
  return more;
}

}  // namespace

const std::uint32_t kFrameHeadBytes = kHeadBytes;
const std::size_t kFramesInFlight = kReadAhead;

FrameStore MakeFrameStore(const ImageList& images) { return MakeFrameStore(images, kReadAhead); }

FrameStore MakeFrameStore(const ImageList& images, std::size_t window) {
  FrameStore store;
  store.images = &images;
  store.window = window;
  store.frames.resize(images.size());
  return store;
}

const Frame& FrameAt(FrameStore& store, std::size_t index) {
  if (!store.reads) {
    // Started at the first ask, when the store is where it stays. Each
    // thread writes only the frame it reads, and the hand-off in
    // AwaitListedFile orders that write before the checks read it.
    Frame* frames = store.frames.data();
    store.reads =
        platform::StartListReads(*store.images, kHeadBytes, kTailBytes, store.window,
                                 [frames](std::size_t i, const platform::FileParts& parts) {
                                   return DecodeParts(&frames[i], parts);
                                 });
  }
  for (; store.fetched <= index; ++store.fetched) {
    platform::ListedRead read = platform::AwaitListedFile(*store.reads, store.fetched);
    Frame& frame = store.frames[store.fetched];
    if (read.result != platform::FileRead::kRead) {
      // Whatever the reader derived of a file that failed is dropped.
      frame = Frame();
      store.why[store.fetched] = std::move(read.why);
    }
    frame.read = read.result;
  }
  return store.frames[index];
}

std::string WhyNotRead(const FrameStore& store, std::size_t index) {
  const auto found = store.why.find(index);
  return found == store.why.end() ? std::string() : found->second;
}
