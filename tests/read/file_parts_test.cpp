// Reading image files on every system: the exact head, tail and whole bytes
// at sizes around the point where a file is read in parts, bytes a text
// mode would change, files too large to read, and the reads in flight.
#include "read/file_parts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "read/list_reads.h"
#include "support/read_parts.h"
#include "support/test_files.h"

namespace {

using platform::FileRead;
using testsupport::ByteVector;
using testsupport::Pattern;
using testsupport::ReadParts;

ByteVector Slice(const ByteVector& bytes, std::size_t from, std::size_t size) {
  return ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                    bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
}

TEST(FileRead, HeadThenTailThenWholeAtSizesAroundTheirSum) {
  const std::uint32_t head = 5000, tail = 1200;  // no page multiples
  testsupport::ScopedTempDir dir;
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{head - 1}, std::size_t{head},
        std::size_t{head + tail - 1}, std::size_t{head + tail}, std::size_t{head + tail + 1},
        std::size_t{3} << 20}) {
    const std::string path = dir.Join("f" + std::to_string(size));
    const ByteVector content = Pattern(size);
    testsupport::WriteFile(path, content);
    const testsupport::Delivered got = ReadParts(path, head, tail, 2);
    // The head alone first; the tail when asked, if it is not the rest.
    const bool in_parts = !reading::kReadsWholeFiles && size > head;
    const bool with_tail = in_parts && size > head + tail;
    ASSERT_EQ(got.result, FileRead::kRead) << size;
    ASSERT_EQ(got.calls.size(), 1u + in_parts + with_tail) << size;
    if (in_parts) {
      EXPECT_EQ(got.calls[0].size, size);
      EXPECT_EQ(got.calls[0].tail_size, 0u);
      EXPECT_TRUE(got.heads[0] == Slice(content, 0, head)) << size;
    }
    if (with_tail) {
      EXPECT_TRUE(got.heads[1] == Slice(content, 0, head)) << size;
      EXPECT_TRUE(got.tails[1] == Slice(content, size - tail, tail)) << size;
    }
    const FileBytes& whole = got.calls.back();
    EXPECT_EQ(whole.size, size);
    EXPECT_EQ(whole.head, whole.tail) << size;
    EXPECT_TRUE(got.heads.back() == content) << size;
    EXPECT_TRUE(got.tails.back() == content) << size;
  }
}

TEST(FileRead, BytesATextModeWouldChangeArriveAsStored) {
  // Text mode would turn CR LF into LF and stop at Ctrl-Z.
  const std::string contents[] = {"\x1a", "\r\n", "a\r\nb\x1a\r\r\nc\n",
                                  std::string(9000, '\x1a') + "\r\n\r\n" + std::string(9000, '\r')};
  testsupport::ScopedTempDir dir;
  for (const std::string& content : contents) {
    const std::string path = dir.Join("f" + std::to_string(content.size()) + ".jpg");
    testsupport::WriteFile(path, content);
    const testsupport::Delivered got = ReadParts(path, 4096, 512, 2);
    ASSERT_EQ(got.result, FileRead::kRead) << content.size() << " bytes";
    EXPECT_TRUE(got.heads.back() == ByteVector(content.begin(), content.end()))
        << content.size() << " bytes";
  }
}

TEST(FileRead, AConsumerAnsweredByThePartsGetsNoWholeRead) {
  testsupport::ScopedTempDir dir;
  const std::string path = dir.Join("big.jpg");
  testsupport::WriteFile(path, Pattern(100000));
  const testsupport::Delivered got = ReadParts(path, 4096, 512, 0);
  EXPECT_EQ(got.result, FileRead::kRead);
  EXPECT_EQ(got.calls.size(), 1u);
  EXPECT_EQ(got.calls[0].head_size, reading::kReadsWholeFiles ? 100000u : 4096u);
}

TEST(FileRead, SparseFilesOf2GiBAndMoreAreNotRead) {
  // 4 GiB + 10 would pass for 10 bytes if the size were cut to 32 bits.
  testsupport::ScopedTempDir dir;
  for (const std::uintmax_t size :
       {std::uintmax_t{1} << 31, (std::uintmax_t{1} << 31) + 1, (std::uintmax_t{1} << 32) + 10}) {
    const std::string path = dir.Join("video" + std::to_string(size));
    testsupport::WriteFile(path, "");
    std::error_code ec;
    std::filesystem::resize_file(path, size, ec);
    if (ec) GTEST_SKIP() << "cannot make a file of " << size << " bytes here: " << ec.message();
    const testsupport::Delivered got = ReadParts(path, 16384, 4096);
    EXPECT_EQ(got.result, FileRead::kTooLarge) << size;
    EXPECT_EQ(got.why, "2 GiB or larger") << size;
    EXPECT_TRUE(got.calls.empty()) << size;
  }
}

// The reads in flight: each file's answer comes back in list order, with
// the reason a read of it alone gives, as the file was when a reader took
// it. The last 3 files are changed while file 0 is read: answers run at
// most 64 windows ahead, so no reader can have taken them yet.
TEST(FileRead, ReadsInFlightAnswerInListOrderAsEachFileWasWhenRead) {
  const ByteVector changed(700, 0x5A);
  struct Turn {
    FileRead result;
    const char* why;
    ByteVector content;
  };
  const Turn first[] = {
      {FileRead::kRead, "", Pattern(50)},
      {FileRead::kNotAFile, "a folder", {}},
      {FileRead::kMissing, "no longer there", {}},
      {FileRead::kRead, "", Pattern(1550)},
  };
  const Turn last[] = {
      {FileRead::kMissing, "no longer there", {}},
      {FileRead::kRead, "", Pattern(10)},
      {FileRead::kRead, "", changed},
  };
  const std::size_t count = 3 * 64 + 1 + 3;  // past the answers of a window of 3
  for (const std::size_t window : {0, 1, 3}) {
    testsupport::ScopedTempDir dir;
    std::vector<std::string> paths;
    for (std::size_t k = 0; k < count; ++k) {
      paths.push_back(dir.Join("f" + std::to_string(k) + ".jpg"));
      if (k == 1) testsupport::MakeFolders(paths.back());  // k == 2 is never there
      const std::size_t size = k == 0 ? 50 : k == 3 ? 1550 : k + 3 >= count ? 1850 : 1;
      if (k != 1 && k != 2) testsupport::WriteFile(paths.back(), Pattern(size));
    }
    reading::ListReads<ByteVector> reads(
        count, window, reading::ReadPlan{64, false},
        [&](std::size_t index, const reading::ReadPlan& plan, bool*) {
          reading::Listed<ByteVector> listed;
          ByteVector& got = listed.value;
          listed.result = reading::ReadFileParts(
              paths[index], plan, 16,
              [&](const FileBytes& parts) -> std::optional<ByteRequest> {
                if (index == 0) {
                  std::filesystem::remove(paths[count - 3]);
                  std::filesystem::resize_file(paths[count - 2], 10);
                  testsupport::WriteFile(paths[count - 1], changed);
                }
                got.assign(parts.head, parts.head + parts.head_size);
                if (parts.head_size == parts.size) return std::nullopt;
                return ByteRequest{false, 0, parts.size};
              },
              &listed.why);
          return listed;
        },
        reading::ReadAhead::kAtOnce);
    for (std::size_t k = 0; k < count; ++k) {
      const Turn filler{FileRead::kRead, "", Pattern(1)};
      const Turn& turn = k < 4 ? first[k] : k + 3 >= count ? last[k + 3 - count] : filler;
      const reading::Listed<ByteVector> read = reads.Await(k);
      EXPECT_EQ(read.result, turn.result) << window << " " << k << ": " << read.why;
      EXPECT_EQ(read.why, turn.why) << window << " " << k;
      if (read.result == FileRead::kRead) {
        EXPECT_TRUE(read.value == turn.content) << window << " " << k;
      }
    }
  }
}

}  // namespace

namespace {

// Once the first read has waited, the readers start; what the caller
// learns from that first file (the plan) reaches every read after it.
TEST(ListReads, ThePlanLearnedFromTheFirstFileReachesEveryReader) {
  const std::size_t count = 200;
  reading::ListReads<std::uint32_t> reads(
      count, 8, reading::ReadPlan{16384, false},
      [](std::size_t, const reading::ReadPlan& plan, bool* waited) {
        if (waited != nullptr) *waited = true;
        reading::Listed<std::uint32_t> listed;
        listed.value = plan.head;
        return listed;
      });
  EXPECT_EQ(reads.Await(0).value, 16384u);
  reads.SetPlan(reading::ReadPlan{28672, true});
  for (std::size_t k = 1; k < count; ++k) EXPECT_EQ(reads.Await(k).value, 28672u) << k;
}

}  // namespace
