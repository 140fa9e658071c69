// The reader over a file's head and tail against the reader over the whole
// file: for any bytes and any head and tail sizes, the first answers as the
// second does, or asks for the whole file and then does. Head and tail are
// copied into heap blocks of exactly their size, so a read past either is a
// heap overflow the sanitizer reports.
//
// Input: two 16-bit selectors (least significant byte first) that pick the
// head and the tail size among 0 to the file's size, then the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "exif/exif_record.h"
#include "exif/record_dump.h"

namespace {
constexpr size_t kSelectors = 4;

std::unique_ptr<unsigned char[]> Copy(const uint8_t* from, size_t size) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
  if (size > 0) std::memcpy(block.get(), from, size);
  return block;
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
  if (expected == exif_result::needs_whole_file) std::abort();

  const auto head_block = Copy(file, head);
  const auto tail_block = Copy(file + (length - tail), tail);
  ExifRecord parts;
  ExifResult got = parts.read_jpeg(FileBytes{head_block.get(), static_cast<uint32_t>(head),
                                             tail_block.get(), static_cast<uint32_t>(tail),
                                             static_cast<uint32_t>(length)});
  if (got == exif_result::needs_whole_file) {
    got = parts.read_jpeg(whole_block.get(), static_cast<uint32_t>(length));
  }
  if (got != expected || Dump(parts) != Dump(whole)) std::abort();
  return 0;
}
