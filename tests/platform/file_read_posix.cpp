// Reading image files whole, by either read path: the exact bytes at sizes
// around page boundaries and around the size where mapping starts, files
// that are not regular, files too large to read, and a file cut short while
// the consumer holds its bytes.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_read_posix.h"
#include "platform/platform.h"
#include "support/test_files.h"

namespace {

using platform::FileRead;

// A byte pattern whose period (251) is no power of two, so a misplaced
// page or an offset error shows as wrong bytes.
std::vector<unsigned char> Pattern(std::size_t size) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i % 251);
  return bytes;
}

struct Delivered {
  FileRead result = FileRead::kUnreadable;
  int calls = 0;
  std::vector<unsigned char> bytes;
};

Delivered Read(const std::string& path) {
  Delivered out;
  out.result = platform::ReadWholeFile(path, [&](const unsigned char* data, std::uint32_t size) {
    ++out.calls;
    if (size > 0) out.bytes.assign(data, data + size);
  });
  return out;
}

TEST(FileRead, DeliversExactBytesAroundPageAndMappingBoundaries) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  // In a plain-read build nothing is mapped; 1 MiB then stands in.
  const std::size_t mapped =
      static_cast<std::size_t>(std::min<std::uint64_t>(platform::SmallestMappedFile(), 1 << 20));
  const std::size_t centres[] = {0,        1,          page,     2 * page,     mapped,
                                 mapped + page, 16 * page + mapped, 1 << 20};
  testsupport::ScopedTempDir dir;
  for (const std::size_t centre : centres) {
    for (const std::size_t size : {centre - 1, centre, centre + 1}) {
      if (size > (std::size_t{1} << 30)) continue;  // centre 0 minus one
      const std::string path = dir.Join("f" + std::to_string(size));
      const std::vector<unsigned char> content = Pattern(size);
      testsupport::WriteFile(path, content);
      const Delivered got = Read(path);
      EXPECT_EQ(got.result, FileRead::kRead) << size << " bytes";
      EXPECT_EQ(got.calls, 1) << size << " bytes";
      EXPECT_TRUE(got.bytes == content) << size << " bytes";
    }
  }
}

TEST(FileRead, WhatIsNoRegularFileIsUnreadableWithoutBlocking) {
  testsupport::ScopedTempDir dir;
  const std::string fifo = dir.Join("pipe.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  testsupport::MakeFolders(dir.Join("folder.jpg"));
  const std::string cases[] = {dir.Join("missing.jpg"), dir.Join("folder.jpg"), fifo,
                               "/dev/null"};
  for (const std::string& path : cases) {
    const Delivered got = Read(path);
    EXPECT_EQ(got.result, FileRead::kUnreadable) << path;
    EXPECT_EQ(got.calls, 0) << path;
  }
}

TEST(FileRead, SparseFilesOf2GiBAndMoreAreNotRead) {
  testsupport::ScopedTempDir dir;
  const std::uint64_t sizes[] = {std::uint64_t{1} << 31, (std::uint64_t{1} << 31) + 1,
                                 std::uint64_t{5} << 30};
  for (const std::uint64_t size : sizes) {
    const std::string path = dir.Join("video" + std::to_string(size));
    testsupport::WriteFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0) << size;
    const Delivered got = Read(path);
    EXPECT_EQ(got.result, FileRead::kTooLarge) << size;
    EXPECT_EQ(got.calls, 0) << size;
  }
}

// The consumer cuts the file while it holds the bytes, then touches the
// last byte, as the reader's backward search for the end marker does. A
// mapped file must read as short, not kill the run; a plain read had its
// copy complete before the cut.
TEST(FileRead, FileCutWhileHeldReadsShortAndTheNextReadWorks) {
  const std::size_t size = (1 << 20) + 12345;
  const std::size_t new_sizes[] = {0, 1, size / 2, size - 8192};
  testsupport::ScopedTempDir dir;
  const std::string path = dir.Join("growing.jpg");
  for (const std::size_t new_size : new_sizes) {
    testsupport::WriteFile(path, Pattern(size));
    unsigned last = 0;
    const FileRead result =
        platform::ReadWholeFile(path, [&](const unsigned char* data, std::uint32_t length) {
          ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(new_size)), 0);
          last = *static_cast<const volatile unsigned char*>(data + length - 1);
          last += *static_cast<const volatile unsigned char*>(data);
        });
    const FileRead expected =
        platform::MapsFileOfSize(size) ? FileRead::kUnreadable : FileRead::kRead;
    EXPECT_EQ(result, expected) << "cut to " << new_size;
    if (result == FileRead::kRead) {
      EXPECT_EQ(last, (size - 1) % 251);
    }
  }
  // The handler stays in place and the next file reads normally.
  testsupport::WriteFile(path, Pattern(size));
  const Delivered again = Read(path);
  EXPECT_EQ(again.result, FileRead::kRead);
  EXPECT_TRUE(again.bytes == Pattern(size));
}

// A SIGBUS that is not about the file being read must still end the
// process, even after a mapped read has put its handler in place.
TEST(FileReadDeathTest, ForeignBusErrorStillEndsTheProcess) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  testsupport::ScopedTempDir dir;
  const std::string path = dir.Join("other.bin");
  const std::size_t size = 1 << 20;
  testsupport::WriteFile(path, Pattern(size));
  EXPECT_DEATH(
      {
        Read(path);  // installs the handler where this build maps
        const int fd = open(path.c_str(), O_RDONLY);
        void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping == MAP_FAILED || ftruncate(open(path.c_str(), O_WRONLY), 0) != 0) {
          _exit(0);  // not a death: the test fails
        }
        const volatile unsigned char* bytes = static_cast<const unsigned char*>(mapping);
        _exit(bytes[size - 1]);  // faults; exits 0 only if the fault was swallowed
      },
      "");
}

}  // namespace
