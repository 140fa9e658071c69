// The platform services that read the same on every system; what differs
// lives in the _posix and _win32 sources beside this one.
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "platform/file_parts.h"

namespace platform {

void Warn(const std::string& message) { std::cerr << "exifcheck: " << message << std::endl; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool SameFolder(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

bool SameFile(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

ReportWrite ReplaceFile(const std::string& path, const std::string& content, std::string* error,
                        LinkPolicy links) {
  ReplacementHandle replacement = BeginReplace(path, links, error);
  if (!replacement) return ReportWrite::kFailed;
  AppendToReplacement(*replacement, content.data(), content.size());
  return FinishReplace(std::move(replacement), error);
}

#if EXIFCHECK_PLAIN_READ
const bool kReadsWholeFiles = true;
#else
const bool kReadsWholeFiles = false;
#endif

FileRead FailedRead(FileRead result, const std::string& why_text, std::string* why) {
  *why = why_text;
  return result;
}

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

// Requests a file may make before it is read whole. Each names bytes not
// held yet, but a malformed file could name thousands, one read each.
constexpr int kMaxRequests = 8;

const char kShrank[] = "read short: the file changed while it was read, or the disk failed";

using Block = std::unique_ptr<unsigned char[]>;

// Not value-initialised: every byte is overwritten by the read.
Block NewBlock(std::size_t size) { return Block(new unsigned char[size == 0 ? 1 : size]); }

// Blocks of files read whole, kept for the next such read. Fresh memory
// costs a page fault a page, and on some machines far more than the read
// itself: a 4 MB frame without EXIF data took 14 ms into fresh pages and
// 0.2 ms into used ones. What is kept is bounded; the reads in flight
// share it under its lock.
struct SpareBlocks {
  std::mutex lock;
  std::vector<std::pair<Block, std::size_t>> blocks;  // with their capacities
  std::size_t bytes = 0;
};
constexpr std::size_t kSpareBytes = 64u << 20;
// Below this, fresh pages cost less than keeping blocks costs.
constexpr std::size_t kSmallestSpare = 1u << 20;

SpareBlocks& Spares() {
  static SpareBlocks spares;
  return spares;
}

// A block of at least `size` bytes, a spare one when one is large enough.
Block TakeBlock(std::size_t size, std::size_t* capacity) {
  SpareBlocks& spares = Spares();
  {
    const std::lock_guard<std::mutex> held(spares.lock);
    for (auto it = spares.blocks.begin(); it != spares.blocks.end(); ++it) {
      if (it->second < size) continue;
      Block block = std::move(it->first);
      *capacity = it->second;
      spares.bytes -= it->second;
      spares.blocks.erase(it);
      return block;
    }
  }
  *capacity = size;
  return NewBlock(size);
}

void KeepBlock(Block block, std::size_t capacity) {
  SpareBlocks& spares = Spares();
  const std::lock_guard<std::mutex> held(spares.lock);
  if (capacity < kSmallestSpare || spares.bytes + capacity > kSpareBytes) return;  // freed here
  try {
    spares.blocks.emplace_back(std::move(block), capacity);
    spares.bytes += capacity;
  } catch (const std::bad_alloc&) {
    // Called as a read's parts go: the block is simply freed.
  }
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
  std::vector<FilePart> pieces;
};

FileParts View(const HeldParts& h) {
  if (h.head_size == h.size) {
    return FileParts{h.head.get(), h.size, h.head.get(), h.size, h.size, nullptr, 0};
  }
  return FileParts{h.head.get(), h.head_size,     h.tail.get(),   h.tail_size,
                   h.size,       h.pieces.data(), h.pieces.size()};
}

// Grows the head to its first `to` bytes; only the new ones are read. The
// first head is a block of its own size; once it grows, it moves into a
// block of the file's size, where each later step reads in place: a file
// searched in steps is copied once, and pages never read are never touched.
bool ExtendHead(HeldParts& h, std::uint32_t to, const ReadAt& read_at) {
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
  if (!read_at(h.head.get() + h.head_size, to - h.head_size, h.head_size)) return false;
  h.head_size = to;
  return true;
}

// Reads what `want` names. A request for what is held already, or for the
// tail twice, would not move the reader on: the file is then read whole.
bool ReadWanted(HeldParts& h, const PartsWanted& want, std::uint32_t tail, const ReadAt& read_at) {
  if (want.tail && h.tail_size == 0 && std::uint64_t{h.head_size} + tail < h.size) {
    h.tail = NewBlock(tail);
    h.tail_size = tail;
    return read_at(h.tail.get(), tail, h.size - tail);
  }
  const std::uint32_t to = std::min(want.to, h.size);
  if (want.tail || want.from >= to || to <= h.head_size) return ExtendHead(h, h.size, read_at);
  // A range that starts in the head, or where it ends, grows the head.
  if (want.from <= h.head_size) return ExtendHead(h, to, read_at);
  Block piece = NewBlock(to - want.from);
  if (!read_at(piece.get(), to - want.from, want.from)) return false;
  h.pieces.push_back(FilePart{want.from, piece.get(), to - want.from});
  h.blocks.push_back(std::move(piece));
  return true;
}

}  // namespace

FileRead ReadSizedFile(std::uint64_t size, std::uint32_t head, std::uint32_t tail,
                       const ReadAt& read_at, const PartsConsumer& consume, std::string* why,
                       bool* read_tail) {
  if (size >= kMaxImageSize) return FailedRead(FileRead::kTooLarge, "2 GiB or larger", why);
  HeldParts held;
  held.size = static_cast<std::uint32_t>(size);
  // A file no longer than the head is read whole in one request.
  const std::uint32_t first = kReadsWholeFiles ? held.size : std::min(head, held.size);
  if (!ExtendHead(held, first, read_at)) return FailedRead(FileRead::kReadShort, kShrank, why);
  for (int round = 0; held.head_size < held.size && round < kMaxRequests; ++round) {
    const PartsWanted want = consume(View(held));
    if (want.done) return FileRead::kRead;
    if (want.tail && read_tail != nullptr) *read_tail = true;
    if (!ReadWanted(held, want, tail, read_at)) {
      return FailedRead(FileRead::kReadShort, kShrank, why);
    }
  }
  if (held.head_size < held.size && !ExtendHead(held, held.size, read_at)) {
    return FailedRead(FileRead::kReadShort, kShrank, why);
  }
  // With the whole file at hand the consumer has its answer.
  consume(View(held));
  return FileRead::kRead;
}

}  // namespace platform
