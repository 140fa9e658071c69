// Scan cases only a POSIX system poses: links, which the scan follows but
// never in circles; the empty folder text, which names no folder here (on
// Windows it is the root of the current drive); and a subfolder the user may
// not list.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/platform.h"
#include "scan/image_folder_scan.h"
#include "support/quiet_scan.h"
#include "support/test_files.h"

namespace {

using testsupport::ScanQuietly;
using testsupport::ScopedTempDir;
using testsupport::WriteFile;

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

// The output folder elsewhere, linked into the image folder: its page is
// still the run's own, a link to it under another name is listed.
TEST(ImageFolderScan, OwnPageReachedThroughALinkedFolderIsPassedOver) {
  ScopedTempDir dir;
  const std::string root = dir.Join("images");
  const std::string page = dir.Join("out/exifcheck-report.html");
  WriteFile(page, "x");
  WriteFile(root + "/a.jpg", "x");
  namespace fs = std::filesystem;
  fs::create_directory_symlink(dir.Join("out"), root + "/check");
  fs::create_symlink(page, root + "/page.html");
  const std::vector<OwnOutput> own = {
      {"exifcheck-report.html", platform::IdentifyFile(page, false)}};
  EXPECT_EQ(ScanImageFolder(root, nullptr, own), (ImageList{root + "/a.jpg", root + "/page.html"}));
}

TEST(ImageFolderScan, EmptyFolderTextIsNoFolder) {
  std::string printed;
  EXPECT_TRUE(ScanQuietly("", &printed).empty());
  EXPECT_EQ(printed, "can not found the file ... \n");
}

// A subfolder the user may not list. Root may list anything, so as root the
// scan runs with the effective user "nobody" for the duration.
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
  std::string printed, warned;
  ScanProblems problems;
  const ImageList list = ScanQuietly(root, &printed, &problems, &warned);
  if (as_root) {
    ASSERT_EQ(seteuid(0), 0);
  }

  EXPECT_EQ(list,
            (ImageList{platform::JoinPath(root, "a.jpg"), platform::JoinPath(root, "z.jpg")}));
  EXPECT_EQ(printed, "can not found the file ... \n");
  // Named on standard error too, and counted as not checked.
  EXPECT_EQ(problems.unlisted, ImageList{locked});
  EXPECT_TRUE(problems.folder_listed);
  EXPECT_EQ(warned, "exifcheck: not checked: " + locked +
                        ": the folder cannot be listed (Permission denied)\n");
}

}  // namespace
