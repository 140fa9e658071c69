// Reading each frame once: the reads behind the store, what is kept of each
// frame, and the head the survey's frames teach.
#include "read/frame_store.h"

#include <algorithm>
#include <utility>

#include "read/file_parts.h"
#include "read/frame_decode.h"

namespace {

// What a frame's first read takes before the survey has shown more. A
// camera writes its EXIF block straight after the start of the file, with
// its thumbnail's end marker in it, so the head alone usually settles the
// answer; the reader asks for the tail (4 KiB leave room for padding a
// writer puts after the end marker) or the exact bytes it lacks otherwise,
// and the answer is the whole file's. The build may set another head size,
// so that the bench can tune this one.
#ifndef EXIFCHECK_HEAD_BYTES
#define EXIFCHECK_HEAD_BYTES 16384
#endif
constexpr std::uint32_t kHeadBytes = EXIFCHECK_HEAD_BYTES;
constexpr std::uint32_t kTailBytes = 4 * 1024;
// The most a learned head may take: as far as metadata may reach. One odd
// frame early in a survey costs the others no more than this.
constexpr std::uint32_t kLargestHead = kMetadataReach;
// Heads are whole pages: the storage reads pages in any case.
constexpr std::uint32_t kPage = 4096;
// Frames read ahead of the one asked for: requests in flight on storage
// that makes each one wait. The bench tunes it as it tunes the head.
#ifndef EXIFCHECK_READ_AHEAD
#define EXIFCHECK_READ_AHEAD 32
#endif
constexpr std::size_t kReadAhead = EXIFCHECK_READ_AHEAD;

// Runs on whichever thread reads the frame; writes only its own answer.
reading::Listed<FrameRead> ReadFrame(const std::string& path, const reading::ReadPlan& plan,
                                     bool* waited) {
  reading::Listed<FrameRead> listed;
  FrameRead& read = listed.value;
  bool asked_tail = false;
  listed.result = reading::ReadFileParts(
      path, plan, kTailBytes, [&read](const FileBytes& parts) { return DecodeFrame(parts, &read); },
      &listed.why, waited, &asked_tail);
  read.asked_tail = asked_tail;
  if (listed.result != platform::FileRead::kRead) read = FrameRead();  // nothing derived is kept
  return listed;
}

// The folder part of a path: frames of one folder share it.
std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of(platform::kPathSeparators);
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

}  // namespace

const std::uint32_t kFrameHeadBytes = kHeadBytes;
const std::size_t kFramesInFlight = kReadAhead;

FrameStore::FrameStore(const ImageList& images) : FrameStore(images, kReadAhead) {}

FrameStore::FrameStore(const ImageList& images, std::size_t window)
    : images_(&images),
      window_(window),
      frames_(images.size()),
      facts_(images.size()),
      plan_{kHeadBytes, false} {
  // Folders are numbered as they are first met: a listing goes depth
  // first, so one folder's files need not stand together.
  std::map<std::string, std::size_t> folders;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto found = folders.emplace(FolderOf(images[i]), folders.size()).first;
    facts_[i].folder = found->second;
  }
}

// The next frames begin as this one turned out to need: a head that holds
// its metadata segments whole, and its tail at once when it had no end
// marker in them. Frames without EXIF data teach nothing.
void FrameStore::Learn(const FrameRead& read) {
  if (read.frame.result != exif_result::ok) return;
  reading::ReadPlan plan = plan_;
  if (read.frame.metadata_end > plan.head && read.frame.metadata_end <= kLargestHead) {
    plan.head = (read.frame.metadata_end + kPage - 1) / kPage * kPage;
  }
  plan.tail = read.asked_tail;
  if (plan.head == plan_.head && plan.tail == plan_.tail) return;
  plan_ = plan;
  reads_->SetPlan(plan_);
}

const Frame& FrameStore::Fetch(std::size_t index) {
  if (fetched_ == 0 && !reads_ && !frames_.empty()) {
    const ImageList* images = images_;
    reads_ = std::make_unique<reading::ListReads<FrameRead>>(
        images->size(), window_, plan_,
        [images](std::size_t i, const reading::ReadPlan& plan, bool* waited) {
          return ReadFrame((*images)[i], plan, waited);
        });
  }
  for (; fetched_ <= index; ++fetched_) {
    reading::Listed<FrameRead> listed = reads_->Await(fetched_);
    if (listed.result == platform::FileRead::kRead) Learn(listed.value);
    Frame& frame = frames_[fetched_];
    frame = std::move(listed.value.frame);
    const std::size_t folder = facts_[fetched_].folder;
    facts_[fetched_] = std::move(listed.value.facts);
    facts_[fetched_].folder = folder;
    frame.fetched = true;
    frame.read = listed.result;
    if (listed.result != platform::FileRead::kRead) why_[fetched_] = std::move(listed.why);
  }
  // The threads have ended with the last frame; nothing is left to read.
  if (fetched_ == frames_.size()) reads_.reset();
  return frames_[index];
}

void FrameStore::FetchAll() {
  if (!frames_.empty()) Fetch(frames_.size() - 1);
}

std::string FrameStore::WhyNotRead(std::size_t index) const {
  const auto found = why_.find(index);
  return found == why_.end() ? std::string() : found->second;
}
