// Any bytes at all as the content of one image file.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "exif/exif_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > std::numeric_limits<uint32_t>::max()) return 0;
  ExifRecord record;
  record.read_jpeg(data, static_cast<uint32_t>(size));
  return 0;
}
