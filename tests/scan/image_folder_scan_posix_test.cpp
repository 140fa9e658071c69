// Scan cases only a POSIX system poses: links, which the scan follows but
// never in circles, and the empty folder text, which names no folder here
// (on Windows it is the root of the current drive).
#include <gtest/gtest.h>

#include <filesystem>

#include "scan/image_folder_scan.h"
#include "support/test_files.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;

ImageList ScanQuietly(const std::string& folder, std::string* printed) {
  testing::internal::CaptureStdout();
  ImageList list = ScanImageFolder(folder);
  *printed = testing::internal::GetCapturedStdout();
  return list;
}

TEST(ImageFolderScan, LinksAreFollowedButNeverInCircles) {
  ScopedTempDir dir;
  const std::string root = dir.Join("images");
  WriteFile(root + "/a/x.jpg", "x");
  WriteFile(dir.Join("outside/y.jpg"), "y");
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directory_symlink(root, root + "/a/loop", ec);
  if (ec) GTEST_SKIP() << "links cannot be made here: " << ec.message();
  fs::create_directory_symlink(dir.Join("outside"), root + "/b", ec);
  fs::create_symlink(dir.Join("nowhere"), root + "/broken", ec);
  std::string printed;
  const ImageList list = ScanQuietly(root, &printed);
  EXPECT_EQ(list, (ImageList{root + "/a/x.jpg", root + "/b/y.jpg", root + "/broken"}));
  EXPECT_EQ(printed, "");
}

TEST(ImageFolderScan, EmptyFolderTextIsNoFolder) {
  std::string printed;
  EXPECT_TRUE(ScanQuietly("", &printed).empty());
  EXPECT_EQ(printed, "can not found the file ... \n");
}

}  // namespace
