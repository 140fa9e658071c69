// Linux: a read that takes only what the page cache holds. The first frame
// of a run is read this way, so that a survey in the cache is read on one
// thread and one on a card or a share gets its reads in flight.
#include <sys/uio.h>

#include <cerrno>

#include "platform/image_file_posix.h"
#include "platform/platform.h"

namespace platform {

std::size_t ReadCachedAt(ImageFile& file, unsigned char* data, std::size_t size,
                         std::uint64_t offset, bool* waited) {
  iovec part{data, size};
  ssize_t got = -1;
  do {
    got = preadv2(file.fd, &part, 1, static_cast<off_t>(offset), RWF_NOWAIT);
  } while (got < 0 && errno == EINTR);
  // A file system that cannot tell (a share, a FUSE mount) refuses the
  // flag, and counts as one that waits.
  if (got < 0) got = 0;
  if (static_cast<std::size_t>(got) < size) *waited = true;
  return static_cast<std::size_t>(got);
}

}  // namespace platform
