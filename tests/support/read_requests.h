// Reads a file held in memory as the checks read one from disk: the
// platform's own request loop, with the reader asking for what it lacks.
// Each part sits in a heap block of exactly its size, so a sanitizer build
// sees any read past one. For tests and the fuzz targets.
#ifndef EXIFCHECK_TESTS_SUPPORT_READ_REQUESTS_H_
#define EXIFCHECK_TESTS_SUPPORT_READ_REQUESTS_H_

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "read/file_parts.h"

namespace testsupport {

struct RequestedRead {
  ExifResult first = exif_result::ok;  // the answer to the first parts
  ExifResult final = exif_result::ok;
  ExifRecord record;
  int reads = 0;            // read requests, the first included
  std::uint64_t bytes = 0;  // bytes read in all
};

inline RequestedRead ReadAsRequested(const std::vector<unsigned char>& file, std::uint32_t head,
                                     std::uint32_t tail) {
  RequestedRead out;
  bool first = true;
  const auto read_at = [&](unsigned char* data, std::size_t size, std::uint64_t offset) {
    ++out.reads;
    out.bytes += size;
    if (offset > file.size() || file.size() - offset < size) return false;
    if (size > 0) std::memcpy(data, file.data() + offset, size);
    return true;
  };
  std::string why;
  reading::ReadSizedFile(
      file.size(), reading::ReadPlan{head, false}, tail, read_at,
      [&](const FileBytes& parts) -> std::optional<ByteRequest> {
        ByteRequest more;
        out.final = out.record.read_jpeg(parts, &more);
        if (first) out.first = out.final;
        first = false;
        if (out.final != exif_result::needs_more_bytes) return std::nullopt;
        return more;
      },
      &why);
  return out;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_READ_REQUESTS_H_
