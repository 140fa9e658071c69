// The parts of one file: what is read first, what a consumer's request
// reads next, and when the file is read whole instead.
#include "read/file_parts.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "read/spare_blocks.h"

namespace reading {

#if EXIFCHECK_PLAIN_READ
const bool kReadsWholeFiles = true;
#else
const bool kReadsWholeFiles = false;
#endif

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

// Requests a file may make before it is read whole. Each names bytes not
// held yet, but a malformed file could name thousands, one read each.
constexpr int kMaxRequests = 8;

const char kShrank[] = "read short: the file changed while it was read, or the disk failed";

platform::FileRead Failed(platform::FileRead result, const char* why_text, std::string* why) {
  *why = why_text;
  return result;
}

// The parts of one file read so far.
struct HeldParts {
  HeldParts() = default;
  HeldParts(const HeldParts&) = delete;
  HeldParts& operator=(const HeldParts&) = delete;
  ~HeldParts() {
    if (spare_capacity > 0) KeepBlock(std::move(head), spare_capacity);
  }

  std::uint32_t size = 0;
  Block head;
  std::uint32_t head_size = 0;
  std::uint32_t head_capacity = 0;
  std::size_t spare_capacity = 0;  // of a head block that may be kept
  Block tail;
  std::uint32_t tail_size = 0;
  std::vector<Block> blocks;
  std::vector<FilePiece> pieces;
};

FileBytes View(const HeldParts& h) {
  if (h.head_size == h.size) return WholeFile(h.head.get(), h.size);
  return FileBytes{h.head.get(), h.head_size,     h.tail.get(),   h.tail_size,
                   h.size,       h.pieces.data(), h.pieces.size()};
}

// A read this long is told to the system first: with read-ahead off, a
// frame read whole would otherwise go to the storage one request after
// another, where the advice lets them go out together.
constexpr std::uint32_t kAdviseAbove = 128 * 1024;

// Grows the head to its first `to` bytes; only the new ones are read. The
// first head is a block of its own size; once it grows, it moves into a
// block of the file's size, where each later step reads in place: a file
// searched in steps is copied once, and pages never read are never touched.
bool ExtendHead(HeldParts& h, std::uint32_t to, const ReadAt& read_at, const Prefetch& prefetch) {
  if (!h.head || to > h.head_capacity) {
    Block grown;
    if (h.head_size == 0) {
      grown = NewBlock(to);
      h.head_capacity = to;
    } else {
      grown = TakeBlock(h.size, &h.spare_capacity);
      std::memcpy(grown.get(), h.head.get(), h.head_size);
      h.head_capacity = h.size;
    }
    h.head = std::move(grown);
  }
  if (prefetch && to - h.head_size > kAdviseAbove) prefetch(h.head_size, to - h.head_size);
  if (!read_at(h.head.get() + h.head_size, to - h.head_size, h.head_size)) return false;
  h.head_size = to;
  return true;
}

// Reads what `want` names. A request for what is held already, or for the
// tail twice, would not move the reader on: the file is then read whole.
bool ReadWanted(HeldParts& h, const ByteRequest& want, std::uint32_t tail, const ReadAt& read_at,
                const Prefetch& prefetch) {
  if (want.end_marker && h.tail_size == 0 && std::uint64_t{h.head_size} + tail < h.size) {
    h.tail = NewBlock(tail);
    h.tail_size = tail;
    return read_at(h.tail.get(), tail, h.size - tail);
  }
  const std::uint32_t to = std::min(want.to, h.size);
  if (want.end_marker || want.from >= to || to <= h.head_size) {
    return ExtendHead(h, h.size, read_at, prefetch);
  }
  // A range that starts in the head, or where it ends, grows the head.
  if (want.from <= h.head_size) return ExtendHead(h, to, read_at, prefetch);
  Block piece = NewBlock(to - want.from);
  if (!read_at(piece.get(), to - want.from, want.from)) return false;
  h.pieces.push_back(FilePiece{want.from, piece.get(), to - want.from});
  h.blocks.push_back(std::move(piece));
  return true;
}

}  // namespace

platform::FileRead ReadSizedFile(std::uint64_t size, const ReadPlan& plan, std::uint32_t tail,
                                 const ReadAt& read_at, const PartsConsumer& consume,
                                 std::string* why, const Prefetch& prefetch, bool* asked_tail) {
  if (size >= kMaxImageSize) return Failed(platform::FileRead::kTooLarge, "2 GiB or larger", why);
  HeldParts held;
  held.size = static_cast<std::uint32_t>(size);
  // A file no longer than the head is read whole in one request.
  const std::uint32_t first = kReadsWholeFiles ? held.size : std::min(plan.head, held.size);
  if (plan.tail && prefetch && std::uint64_t{first} + tail < held.size) {
    prefetch(held.size - tail, tail);
  }
  if (!ExtendHead(held, first, read_at, prefetch))
    return Failed(platform::FileRead::kReadShort, kShrank, why);
  for (int round = 0; held.head_size < held.size && round < kMaxRequests; ++round) {
    const std::optional<ByteRequest> want = consume(View(held));
    if (!want) return platform::FileRead::kRead;
    if (want->end_marker && asked_tail != nullptr) *asked_tail = true;
    if (!ReadWanted(held, *want, tail, read_at, prefetch)) {
      return Failed(platform::FileRead::kReadShort, kShrank, why);
    }
  }
  if (held.head_size < held.size && !ExtendHead(held, held.size, read_at, prefetch)) {
    return Failed(platform::FileRead::kReadShort, kShrank, why);
  }
  // With the whole file at hand the consumer has its answer.
  consume(View(held));
  return platform::FileRead::kRead;
}

platform::FileRead ReadFileParts(const std::string& path, const ReadPlan& plan, std::uint32_t tail,
                                 const PartsConsumer& consume, std::string* why, bool* waited,
                                 bool* asked_tail) {
  platform::ImageFileHandle file(nullptr, platform::CloseImageFile);
  std::uint64_t size = 0;
  // A read probed for the cache is one the system's cache is expected to
  // serve: advice would cost a system call a frame and change nothing.
  // One that misses is the last before the reads go in flight, each of
  // them advised.
  const bool probe_first = waited != nullptr;
  const platform::FileRead opened = platform::OpenImageFile(path, &file, &size, why, !probe_first);
  if (opened != platform::FileRead::kRead) return opened;
  bool probe = probe_first;
  const ReadAt read_at = [&file, &probe, waited](unsigned char* data, std::size_t n,
                                                 std::uint64_t offset) {
    std::size_t done = 0;
    if (probe) {
      // The probe is the first read itself: a cold one goes on from where it stopped.
      done = platform::ReadCachedAt(*file, data, n, offset, waited);
      probe = false;
    }
    return platform::ReadImageAt(*file, data + done, n - done, offset + done);
  };
  const Prefetch prefetch = [&file, probe_first](std::uint64_t offset, std::size_t n) {
    if (!probe_first) platform::PrefetchImageRange(*file, offset, n);
  };
  return ReadSizedFile(size, plan, tail, read_at, consume, why, prefetch, asked_tail);
}

}  // namespace reading
