// The reader over parts of a file against the reader over the whole file:
// for any bytes and any head and tail sizes, it answers as the whole-file
// read does or asks for more, naming bytes it was not given; and read as
// the checks read a file, the head alone first with an end marker in it as
// a lower bound, then the tail or the ranges the reader names, it ends in
// the whole file's answer and record. Every part sits in a heap block of
// exactly its size, so a read past one is a heap overflow the sanitizer
// reports.
//
// The segment walk that finds the EXIF and XMP segments is held to the
// same: over head and tail it answers as over the whole file or names bytes
// no part holds whole, and given those as a piece it ends in the whole
// file's answer, within a request for each segment it may walk.
//
// Input: two 16-bit selectors (least significant byte first) that pick the
// head and the tail size among 0 to the file's size, then the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "exif/exif_record.h"
#include "exif/jpeg_segments.h"
#include "exif/record_dump.h"
#include "support/read_requests.h"

namespace {
constexpr size_t kSelectors = 4;

std::unique_ptr<unsigned char[]> Copy(const uint8_t* from, size_t size) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
  if (size > 0) std::memcpy(block.get(), from, size);
  return block;
}

// A request moves the read on: it names bytes no part given holds whole,
// or grows the head, where the search for FF E1 runs.
bool NamesMissingBytes(const ByteRequest& r, const FileBytes& f) {
  if (r.end_marker) return f.tail_size == 0;
  if (r.from >= r.to || r.to > f.size) return false;
  return (r.from <= f.head_size && r.to > f.head_size) ||
         bytes_at(f, r.from, r.to - r.from) == nullptr;
}
bool SamePlace(const std::optional<SegmentPlace>& a, const std::optional<SegmentPlace>& b) {
  if (!a || !b) return !a && !b;
  return a->marker == b->marker && a->payload == b->payload && a->payload_size == b->payload_size;
}

void CheckSegments(const unsigned char* file, size_t length, FileBytes parts) {
  MetadataSegments whole;
  if (!find_metadata_segments(WholeFile(file, static_cast<uint32_t>(length)), &whole)) {
    std::abort();
  }
  std::vector<std::unique_ptr<unsigned char[]>> blocks;
  std::vector<FilePiece> pieces;
  for (int asked = 0; asked <= 66; ++asked) {
    parts.pieces = pieces.data();
    parts.piece_count = pieces.size();
    MetadataSegments found;
    ByteRequest r;
    if (find_metadata_segments(parts, &found, &r)) {
      if (!SamePlace(found.exif, whole.exif) || !SamePlace(found.xmp, whole.xmp) ||
          found.metadata_end != whole.metadata_end) {
        std::abort();
      }
      return;
    }
    if (r.end_marker || r.from >= r.to || r.to > length ||
        bytes_at(parts, r.from, r.to - r.from) != nullptr) {
      std::abort();
    }
    blocks.push_back(Copy(file + r.from, r.to - r.from));
    pieces.push_back(FilePiece{r.from, blocks.back().get(), r.to - r.from});
  }
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSelectors || size - kSelectors > UINT32_MAX) return 0;
  const size_t length = size - kSelectors;
  const size_t head = (data[0] | size_t{data[1]} << 8U) % (length + 1);
  const size_t tail = (data[2] | size_t{data[3]} << 8U) % (length + 1);
  const uint8_t* file = data + kSelectors;

  const auto whole_block = Copy(file, length);
  ExifRecord whole;
  const ExifResult expected = whole.read_jpeg(whole_block.get(), static_cast<uint32_t>(length));
  if (expected == exif_result::needs_more_bytes) std::abort();

  // Head and tail as given, with and without the tail.
  const auto head_block = Copy(file, head);
  const auto tail_block = Copy(file + (length - tail), tail);
  for (const size_t tail_given : {tail, size_t{0}}) {
    const FileBytes parts_given{head_block.get(),
                                static_cast<uint32_t>(head),
                                tail_block.get(),
                                static_cast<uint32_t>(tail_given),
                                static_cast<uint32_t>(length),
                                nullptr,
                                0};
    ExifRecord parts;
    ByteRequest request;
    ExifResult got = parts.read_jpeg(parts_given, &request);
    if (got == exif_result::needs_more_bytes) {
      if (!NamesMissingBytes(request, parts_given)) std::abort();
      got = parts.read_jpeg(whole_block.get(), static_cast<uint32_t>(length));
    }
    if (got != expected || Dump(parts) != Dump(whole)) std::abort();
    CheckSegments(whole_block.get(), length, parts_given);
  }

  // As the checks read: the head, then what the reader asks for.
  const std::vector<unsigned char> bytes(file, file + length);
  const testsupport::RequestedRead asked =
      testsupport::ReadAsRequested(bytes, static_cast<uint32_t>(head), static_cast<uint32_t>(tail));
  if (asked.final != expected || Dump(asked.record) != Dump(whole)) std::abort();
  return 0;
}
