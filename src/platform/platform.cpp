// The platform services that read the same on every system; what differs
// lives in the _posix and _win32 sources beside this one.
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
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

// The parts of one file read so far.
struct HeldParts {
  std::uint32_t size = 0;
  Block head;
  std::uint32_t head_size = 0;
  std::uint32_t head_capacity = 0;
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
    const std::uint32_t capacity = h.head_size == 0 ? to : h.size;
    Block grown = NewBlock(capacity);
    if (h.head_size > 0) std::memcpy(grown.get(), h.head.get(), h.head_size);
    h.head = std::move(grown);
    h.head_capacity = capacity;
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
