// The Windows platform services: the enumeration's own entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "platform/platform.h"
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

}  // namespace
