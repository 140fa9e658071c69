// POSIX: error.json replaced through a temporary file beside it.
#include "platform/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  std::string temp = std::string(path.c_str()) + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    *error = std::string("cannot create a file beside ") + path.c_str() + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t put = write(fd, content.data() + done, content.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  const int write_errno = errno;
  const bool closed = close(fd) == 0;
  if (done < content.size() || !closed) {
    *error = std::string("cannot write ") + temp + ": " +
             std::strerror(done < content.size() ? write_errno : errno);
    unlink(temp.c_str());
    return false;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    *error = std::string("cannot replace ") + path.c_str() + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
