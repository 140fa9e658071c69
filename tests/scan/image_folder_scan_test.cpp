// Scan order, depth-first placement, folders that cannot be listed; links
// are in image_folder_scan_posix.cpp.
#include "scan/image_folder_scan.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/quiet_scan.h"
#include "support/test_files.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;

// `relative` uses '/', turned into the platform's separator after `root`.
std::string Under(const std::string& root, const std::string& relative) {
  std::string path = root;
  std::string part;
  for (char c : "/" + relative) {
    if (c == '/') {
      if (!part.empty()) path = platform::JoinPath(path, part);
      part.clear();
    } else {
      part += c;
    }
  }
  return part.empty() ? path : platform::JoinPath(path, part);
}

using testsupport::ScanQuietly;

TEST(ImageFolderScan, DepthFirstInByteOrderOfNames) {
  ScopedTempDir dir;
  const std::string root = dir.Join("images");
  // Names whose byte order is also their case-blind order, the order in
  // which Windows lists them: the capital name must sort first either way.
  for (const char* file : {"a.jpg", "s/b.jpg", "s/t/b2.jpg", "c.jpg", "s/u/empty/.keep", ".hidden",
                           "A-1.JPG", "notes.txt", "noext", ".dot/d.jpg"}) {
    WriteFile(Under(root, file), "x");
  }
  testsupport::MakeFolders(Under(root, "empty"));
  std::string printed;
  const ImageList list = ScanQuietly(root, &printed);
  const ImageList expected = {
      Under(root, ".dot/d.jpg"),      Under(root, ".hidden"), Under(root, "A-1.JPG"),
      Under(root, "a.jpg"),           Under(root, "c.jpg"),   Under(root, "noext"),
      Under(root, "notes.txt"),       Under(root, "s/b.jpg"), Under(root, "s/t/b2.jpg"),
      Under(root, "s/u/empty/.keep"),
  };
  EXPECT_EQ(list, expected);
  EXPECT_EQ(printed, "");
}

TEST(ImageFolderScan, EmptyAndMissingFolders) {
  ScopedTempDir dir;
  testsupport::MakeFolders(dir.Join("empty"));
  WriteFile(dir.Join("file"), "x");
  struct Case {
    std::string folder;
    const char* printed;
  };
  const Case cases[] = {
      {dir.Join("empty"), ""},
      {dir.Join("missing"), "can not found the file ... \n"},
      {dir.Join("file"), "can not found the file ... \n"},  // not a folder
  };
  for (const Case& c : cases) {
    std::string printed, warned;
    ScanProblems problems;
    EXPECT_TRUE(ScanQuietly(c.folder, &printed, &problems, &warned).empty()) << c.folder;
    EXPECT_EQ(printed, c.printed) << c.folder;
    // The image folder itself is the caller's to tell, by its setting.
    const bool listed = *c.printed == '\0';
    EXPECT_EQ(problems.folder_listed, listed) << c.folder;
    EXPECT_EQ(problems.folder_error.empty(), listed) << c.folder;
    EXPECT_TRUE(problems.unlisted.empty()) << c.folder;
    EXPECT_EQ(warned, "") << c.folder;
  }
}

TEST(ImageFolderScan, FolderTextIsUsedAsConfigured) {
  ScopedTempDir dir;
  WriteFile(dir.Join("a.jpg"), "x");
  std::string printed;
  const std::string with_separator = dir.path() + platform::kPathSeparator;
  EXPECT_EQ(ScanQuietly(with_separator, &printed),
            ImageList{with_separator + platform::kPathSeparator + "a.jpg"});
}

// The page and the table in an output folder inside the image folder are
// passed over by identity; every other file of such a name is listed.
TEST(ImageFolderScan, OwnOutputIsKnownByIdentityNotByName) {
  ScopedTempDir dir;
  const std::string root = dir.Join("images");
  for (const char* file : {"a.jpg", "check/exifcheck-report.html", "check/exifcheck-frames.csv",
                           "sub/exifcheck-report.html", "z/EXIFCHECK-FRAMES.CSV"}) {
    WriteFile(Under(root, file), "x");
  }
  WriteFile(dir.Join("outside"), "x");
  const auto id = [&root](const char* file) {
    return platform::IdentifyFile(Under(root, file), false);
  };
  const platform::FileId outside = platform::IdentifyFile(dir.Join("outside"), false);
  const struct {
    const char* name;
    std::vector<OwnOutput> own;
    std::vector<const char*> listed;
  } cases[] = {
      {"the run's own page and table",
       {{"exifcheck-report.html", id("check/exifcheck-report.html")},
        {"exifcheck-frames.csv", id("check/exifcheck-frames.csv")}},
       {"a.jpg", "sub/exifcheck-report.html", "z/EXIFCHECK-FRAMES.CSV"}},
      {"named in another letter case",
       {{"EXIFCHECK-REPORT.HTML", id("check/exifcheck-report.html")}},
       {"a.jpg", "check/exifcheck-frames.csv", "sub/exifcheck-report.html",
        "z/EXIFCHECK-FRAMES.CSV"}},
      {"no page yet", {{"exifcheck-report.html", platform::FileId()}}, {}},
      {"another file's identity", {{"exifcheck-report.html", outside}}, {}},
  };
  const std::vector<const char*> everything = {
      "a.jpg", "check/exifcheck-frames.csv", "check/exifcheck-report.html",
      "sub/exifcheck-report.html", "z/EXIFCHECK-FRAMES.CSV"};
  for (const auto& c : cases) {
    ImageList expected;
    for (const char* file : c.listed.empty() ? everything : c.listed) {
      expected.push_back(Under(root, file));
    }
    EXPECT_EQ(ScanImageFolder(root, nullptr, c.own), expected) << c.name;
  }
}

}  // namespace
