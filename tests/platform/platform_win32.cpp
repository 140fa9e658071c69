// The Windows platform services: binary reads whatever the bytes, sizes past
// what a 32-bit position holds, devices and folders that are no image, the
// enumeration's own entries, and error.json replaced without leftovers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "support/test_files.h"

namespace {

using platform::FileRead;
using testsupport::ScopedTempDir;

struct Delivered {
  FileRead result = FileRead::kUnreadable;
  int calls = 0;
  std::string bytes;
};

Delivered Read(const std::string& path) {
  Delivered out;
  out.result = platform::ReadWholeFile(path, [&](const unsigned char* data, std::uint32_t size) {
    ++out.calls;
    if (size > 0) out.bytes.assign(reinterpret_cast<const char*>(data), size);
  });
  return out;
}

std::set<std::pair<std::string, bool>> Listed(const std::string& folder, bool* listed) {
  platform::FolderId id;
  std::vector<platform::FolderEntry> entries;
  *listed = platform::ListFolder(folder, &id, &entries);
  EXPECT_FALSE(id.known);
  std::set<std::pair<std::string, bool>> names;
  for (const platform::FolderEntry& e : entries) names.insert({e.name, e.is_folder});
  return names;
}

TEST(PlatformWin32, ReadsEveryByteAsStored) {
  // Text mode would turn CR LF into LF and stop at Ctrl-Z.
  std::string large(3 << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  const std::string contents[] = {"", "\x1a", "\r\n", "a\r\nb\x1a\r\r\nc\n", large};
  ScopedTempDir dir;
  for (const std::string& content : contents) {
    const std::string path = dir.Join("f" + std::to_string(content.size()) + ".jpg");
    testsupport::WriteFile(path, content);
    const Delivered got = Read(path);
    EXPECT_EQ(got.result, FileRead::kRead) << content.size() << " bytes";
    EXPECT_EQ(got.calls, 1) << content.size() << " bytes";
    EXPECT_TRUE(got.bytes == content) << content.size() << " bytes";
  }
}

TEST(PlatformWin32, SizesFromTwoGibibytesOnAreTooLarge) {
  // 4 GiB + 10 would pass for 10 bytes if the size were cut to 32 bits.
  const std::uintmax_t sizes[] = {0x80000000u, 0x10000000Au};
  ScopedTempDir dir;
  for (const std::uintmax_t size : sizes) {
    const std::string path = dir.Join("video" + std::to_string(size) + ".mp4");
    testsupport::WriteFile(path, "");
    std::error_code ec;
    std::filesystem::resize_file(path, size, ec);
    if (ec) GTEST_SKIP() << "cannot make a file of " << size << " bytes here: " << ec.message();
    const Delivered got = Read(path);
    EXPECT_EQ(got.result, FileRead::kTooLarge) << size;
    EXPECT_EQ(got.calls, 0) << size;
  }
}

TEST(PlatformWin32, WhatIsNoRegularFileIsUnreadable) {
  ScopedTempDir dir;
  testsupport::MakeFolders(dir.Join("folder.jpg"));
  const std::string cases[] = {dir.Join("missing.jpg"), dir.Join("folder.jpg"), "NUL"};
  for (const std::string& path : cases) {
    const Delivered got = Read(path);
    EXPECT_EQ(got.result, FileRead::kUnreadable) << path;
    EXPECT_EQ(got.calls, 0) << path;
  }
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
