// The POSIX image file handle, shared by the sources of this folder that
// read through it.
#ifndef EXIFCHECK_PLATFORM_IMAGE_FILE_POSIX_H_
#define EXIFCHECK_PLATFORM_IMAGE_FILE_POSIX_H_

namespace platform {

struct ImageFile {
  int fd = -1;
};

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_IMAGE_FILE_POSIX_H_
