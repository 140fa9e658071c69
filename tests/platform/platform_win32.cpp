// The Windows platform services: the enumeration's own entries, and
// error.json replaced without leftovers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "support/test_files.h"

namespace {

using testsupport::ScopedTempDir;

std::set<std::pair<std::string, bool>> Listed(const std::string& folder, bool* listed) {
  platform::FolderId id;
  std::vector<platform::FolderEntry> entries;
  *listed = platform::ListFolder(folder, &id, &entries);
  EXPECT_FALSE(id.known);
  std::set<std::pair<std::string, bool>> names;
  for (const platform::FolderEntry& e : entries) names.insert({e.name, e.is_folder});
  return names;
}

TEST(PlatformWin32, ListsTheEnumerationsOwnEntriesAndTheFolderBit) {
  ScopedTempDir dir;
  testsupport::WriteFile(dir.Join("f.jpg"), "x");
  testsupport::WriteFile(dir.Join("noext"), "x");
  testsupport::MakeFolders(dir.Join("sub.d"));
  bool listed = false;
  EXPECT_EQ(Listed(dir.path(), &listed),
            (std::set<std::pair<std::string, bool>>{
                {".", true}, {"..", true}, {"f.jpg", false}, {"noext", false}, {"sub.d", true}}));
  EXPECT_TRUE(listed);
  for (const std::string& missing : {dir.Join("missing"), dir.Join("f.jpg")}) {
    EXPECT_TRUE(Listed(missing, &listed).empty()) << missing;
    EXPECT_FALSE(listed) << missing;
  }
}

TEST(PlatformWin32, ReplacesTheReportAndLeavesNoTemporaryFile) {
  ScopedTempDir dir;
  const std::string report = dir.Join("error.json");
  testsupport::WriteFile(report, std::string(5000, 'x'));
  std::string error;
  EXPECT_TRUE(platform::ReplaceFile(report, "{\"errors\":[]}", &error)) << error;
  EXPECT_EQ(testsupport::ReadFile(report), "{\"errors\":[]}");
  bool listed = false;
  EXPECT_EQ(Listed(dir.path(), &listed),
            (std::set<std::pair<std::string, bool>>{{".", true}, {"..", true}, {"error.json", false}}));
}

TEST(PlatformWin32, FailedReplaceSaysWhyAndCleansUp) {
  ScopedTempDir dir;
  // A folder cannot be replaced by a file; a missing folder takes no file.
  testsupport::MakeFolders(dir.Join("error.json"));
  const std::string targets[] = {dir.Join("error.json"),
                                 platform::JoinPath(dir.Join("missing"), "error.json")};
  for (const std::string& target : targets) {
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(target, "{}", &error)) << target;
    EXPECT_NE(error.find(target), std::string::npos) << error;
  }
  bool listed = false;
  EXPECT_EQ(Listed(dir.path(), &listed),
            (std::set<std::pair<std::string, bool>>{{".", true}, {"..", true}, {"error.json", true}}));
}

}  // namespace
