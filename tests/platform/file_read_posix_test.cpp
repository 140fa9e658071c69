// Reading image files on POSIX: the reason given for each kind of file that
// cannot be read, and a file that changes while it is read.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "read/file_parts.h"
#include "support/read_parts.h"
#include "support/test_files.h"

namespace {

using platform::FileRead;

using testsupport::Pattern;
using testsupport::ReadParts;

// Root may open anything: the unreadable case runs with the effective user
// "nobody" for its duration.
TEST(FileRead, WhatCannotBeReadSaysWhy) {
  testsupport::ScopedTempDir dir;
  const std::string fifo = dir.Join("pipe.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(chmod(fifo.c_str(), 0666), 0);  // nobody, below, may open it
  testsupport::MakeFolders(dir.Join("folder.jpg"));
  std::error_code ec;
  std::filesystem::create_symlink(dir.Join("nowhere"), dir.Join("broken.jpg"), ec);
  const std::string socket_path = dir.Join("sock");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string locked = dir.Join("locked.jpg");
  testsupport::WriteFile(locked, "x");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);

  const std::vector<testsupport::Unreadable> cases = {
      {dir.Join("missing.jpg"), FileRead::kMissing, "no longer there"},
      {dir.Join("broken.jpg"), FileRead::kMissing, "a link to nothing"},
      {dir.Join("folder.jpg"), FileRead::kNotAFile, "a folder"},
      {fifo, FileRead::kNotAFile, "a FIFO"},
      {socket_path, FileRead::kNotAFile, "a socket"},
      {"/dev/null", FileRead::kNotAFile, "a device"},
      {locked, FileRead::kCannotOpen, "cannot be opened: Permission denied"},
  };
  const bool as_root = geteuid() == 0;
  if (as_root) {
    ASSERT_EQ(seteuid(65534), 0);
  }
  testsupport::ExpectUnreadable(cases);
  if (as_root) {
    ASSERT_EQ(seteuid(0), 0);
  }
  close(fd);
}

// The consumer cuts the file while it holds the parts: the bytes it holds
// stay valid (they are a copy), and the whole read that follows comes up
// short and says so, so the answer is dropped.
TEST(FileRead, FileCutBeforeTheWholeReadReadsShort) {
  if (reading::kReadsWholeFiles) GTEST_SKIP() << "this build reads no parts";
  const std::size_t size = (1 << 20) + 12345;
  testsupport::ScopedTempDir dir;
  const std::string path = dir.Join("shrinking.jpg");
  for (const std::size_t cut : {std::size_t{0}, std::size_t{100}, size / 2, size - 1}) {
    testsupport::WriteFile(path, Pattern(size));
    int calls = 0;
    unsigned last = 0;
    std::string why;
    const FileRead result = reading::ReadFileParts(
        path, reading::ReadPlan{16384, false}, 4096,
        [&](const FileBytes& parts) -> std::optional<ByteRequest> {
          ++calls;
          EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
          last = parts.head[parts.head_size - 1];
          return ByteRequest{false, 0, parts.size};
        },
        &why);
    EXPECT_EQ(result, FileRead::kReadShort) << "cut to " << cut;
    EXPECT_EQ(calls, 1) << "cut to " << cut;
    EXPECT_EQ(last, (16384u - 1) % 251);
    EXPECT_NE(why.find("read short"), std::string::npos) << why;
  }
}

}  // namespace
