// The frames of one run, each read once for the checks, the findings
// before processing, the page and the table. The first ask for frame i has
// it read; what is kept of it stays until the run ends, so no later ask
// opens anything. Reads run ahead of the asks on reader threads; the store
// is asked on the main thread, in list order, and sees no thread: each
// read comes back as a value, and only the store writes a frame.
#ifndef EXIFCHECK_READ_FRAME_STORE_H_
#define EXIFCHECK_READ_FRAME_STORE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "read/frame.h"
#include "read/list_reads.h"
#include "scan/image_folder_scan.h"

/// The files of one run that could not be read, by their place in the
/// image list, each told on standard error once; and the files too large to
/// be images, told likewise. The checks tell them and keep them here.
struct ReadProblems {
  std::set<std::size_t> unread;
  std::set<std::size_t> too_large;
};

/// What a frame's first read takes (its head) before the survey's frames
/// have shown how much they need, and how many frames are read at once
/// where each request waits; other reads of frames go alike.
extern const std::uint32_t kFrameHeadBytes;
extern const std::size_t kFramesInFlight;

class FrameStore {
 public:
  /// A store over `images`, which must outlive it, reading up to `window`
  /// frames ahead (the build's default when not given). Nothing is read
  /// before a frame is first asked for.
  explicit FrameStore(const ImageList& images);
  FrameStore(const ImageList& images, std::size_t window);
  FrameStore(const FrameStore&) = delete;
  FrameStore& operator=(const FrameStore&) = delete;

  /// Frame `index`, read now (with every frame before it) if it was not.
  const Frame& Fetch(std::size_t index);
  /// Reads every frame not read yet. Nothing is told of those that fail:
  /// only the checks tell what they could not check.
  void FetchAll();

  /// Frame `index` as read so far: a frame not fetched is a default one.
  const Frame& At(std::size_t index) const { return frames_[index]; }
  /// What frame `index` says of itself, for the findings before processing.
  const FrameFacts& Facts(std::size_t index) const { return facts_[index]; }
  /// Every frame's facts, in list order.
  const std::vector<FrameFacts>& facts() const { return facts_; }
  std::size_t size() const { return frames_.size(); }
  /// How many frames, from the first, have been read.
  std::size_t fetched() const { return fetched_; }
  const std::string& Path(std::size_t index) const { return (*images_)[index]; }
  const ImageList& paths() const { return *images_; }
  /// Why frame `index` was not read; empty when it was, or was not tried.
  std::string WhyNotRead(std::size_t index) const;
  /// How each frame's read begins now, learned from the frames read: the
  /// head, and whether the tail is asked for with it.
  const reading::ReadPlan& plan() const { return plan_; }

  ReadProblems& problems() { return problems_; }
  const ReadProblems& problems() const { return problems_; }

 private:
  void Learn(const FrameRead& read);

  const ImageList* images_;
  std::size_t window_;
  std::vector<Frame> frames_;
  std::vector<FrameFacts> facts_;
  std::size_t fetched_ = 0;
  reading::ReadPlan plan_;
  std::map<std::size_t, std::string> why_;
  ReadProblems problems_;
  std::unique_ptr<reading::ListReads<FrameRead>> reads_;
};

#endif  // EXIFCHECK_READ_FRAME_STORE_H_
