// A subfolder the user may not list. Root may list anything, so as root the
// scan runs with the effective user "nobody" for the duration.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scan/image_folder_scan.h"
#include "support/test_files.h"

namespace {

TEST(ImageFolderScan, UnlistableSubfolderIsReportedOnceAndSkipped) {
  testsupport::ScopedTempDir dir;
  const std::string root = dir.Join("images");
  const std::string locked = platform::JoinPath(root, "locked");
  testsupport::WriteFile(platform::JoinPath(root, "a.jpg"), "x");
  testsupport::WriteFile(platform::JoinPath(locked, "b.jpg"), "x");
  testsupport::WriteFile(platform::JoinPath(root, "z.jpg"), "x");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);

  const bool as_root = geteuid() == 0;
  if (as_root) {
    ASSERT_EQ(seteuid(65534), 0);
  }
  testing::internal::CaptureStdout();
  const ImageList list = ScanImageFolder(root);
  const std::string printed = testing::internal::GetCapturedStdout();
  if (as_root) {
    ASSERT_EQ(seteuid(0), 0);
  }

  EXPECT_EQ(list, (ImageList{platform::JoinPath(root, "a.jpg"), platform::JoinPath(root, "z.jpg")}));
  EXPECT_EQ(printed, "can not found the file ... \n");
}

}  // namespace
