// POSIX systems other than Linux: no read says whether it would wait, so
// every read counts as one that may, and reads go in flight at once.
#include "platform/image_file_posix.h"
#include "platform/platform.h"

namespace platform {

std::size_t ReadCachedAt(ImageFile& /*file*/, unsigned char* /*data*/, std::size_t /*size*/,
                         std::uint64_t /*offset*/, bool* waited) {
  *waited = true;
  return 0;
}

}  // namespace platform
