// Reading image files on Windows: the reason given for each kind of file
// that cannot be read, alone and among reads in flight.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "read/file_parts.h"
#include "read/list_reads.h"
#include "support/read_parts.h"
#include "support/test_files.h"

namespace {

using platform::FileRead;

TEST(FileRead, WhatCannotBeReadSaysWhy) {
  testsupport::ScopedTempDir dir;
  testsupport::MakeFolders(dir.Join("folder.jpg"));
  const std::string held = dir.Join("held.jpg");
  testsupport::WriteFile(held, "x");
  // Another program holding the file with no sharing.
  const HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  std::string long_path = dir.path();
  while (long_path.size() < 270) long_path = platform::JoinPath(long_path, "long-folder-name");

  const std::vector<testsupport::Unreadable> cases = {
      {dir.Join("missing.jpg"), FileRead::kMissing, "no longer there"},
      {dir.Join("folder.jpg"), FileRead::kNotAFile, "a folder"},
      {"NUL", FileRead::kNotAFile, "a device"},
      {held, FileRead::kCannotOpen, "cannot be opened: another program holds it, or no permission"},
      {dir.Join("?.jpg"), FileRead::kCannotOpen,
       "its name has characters outside the system's code page"},
      {long_path, FileRead::kCannotOpen, "its path is longer than Windows paths may be (259)"},
  };
  testsupport::ExpectUnreadable(cases);

  // Read in flight, each is told as a read of it alone tells it.
  std::vector<std::string> paths = {dir.Join("readable.jpg")};
  testsupport::WriteFile(paths[0], "y");
  for (const auto& c : cases) paths.push_back(c.path);
  reading::ListReads<int> reads(
      paths.size(), 3, reading::ReadPlan{16, false},
      [&paths](std::size_t index, const reading::ReadPlan& plan, bool*) {
        reading::Listed<int> listed;
        listed.result = reading::ReadFileParts(
            paths[index], plan, 4, [](const FileBytes&) { return std::optional<ByteRequest>(); },
            &listed.why);
        return listed;
      },
      reading::ReadAhead::kAtOnce);
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const reading::Listed<int> read = reads.Await(k);
    EXPECT_EQ(read.result, k == 0 ? FileRead::kRead : cases[k - 1].result) << paths[k];
    EXPECT_EQ(read.why, k == 0 ? "" : cases[k - 1].why) << paths[k];
  }
  CloseHandle(handle);
}

}  // namespace
