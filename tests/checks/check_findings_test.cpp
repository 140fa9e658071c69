// The file names that reported images are listed by.
#include "checks/check_findings.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(CheckFindings, FileNameFromPath) {
  // A backslash ends a folder name only on Windows; on POSIX it is a byte
  // of the name, and x\\y.jpg is the name of one file.
  const bool windows = platform::kPathSeparator == '\\';
  const struct {
    const char* path;
    const char* windows;
    const char* posix;
  } cases[] = {
      {"D:\\survey\\day1/IMG_0001.JPG", "IMG_0001.JPG", "IMG_0001.JPG"},
      {"photo.jpg", "photo.jpg", "photo.jpg"},
      {"D:\\survey\\", "", "D:\\survey\\"},
      {"", "", ""},
      {"/tmp/a/b.jpg", "b.jpg", "b.jpg"},
      {"/tmp/x\\y.jpg", "y.jpg", "x\\y.jpg"},
      {"a\\\\b", "b", "a\\\\b"},
      {"dir/", "", ""},
      {"\xd3\xb0\\\xcf\xf1.jpg", "\xcf\xf1.jpg", "\xd3\xb0\\\xcf\xf1.jpg"},
      {"\xd3\xb0/\xcf\xf1.jpg", "\xcf\xf1.jpg", "\xcf\xf1.jpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameFromPath(c.path), windows ? c.windows : c.posix) << c.path;
  }
}

}  // namespace
