// Reading image files on every system: the exact head, tail and whole bytes
// at sizes around the point where a file is read in parts, bytes a text
// mode would change, and files too large to read.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/read_parts.h"
#include "support/test_files.h"

namespace {

using platform::FileParts;
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
    const bool in_parts = !platform::kReadsWholeFiles && size > head;
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
    const FileParts& whole = got.calls.back();
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
  EXPECT_EQ(got.calls[0].head_size, platform::kReadsWholeFiles ? 100000u : 4096u);
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

// The files of a list read through the window that fetches heads ahead:
// each file, at its turn, hands over its own bytes as they are then, even
// when it vanished, shrank or changed while it waited in the window.
TEST(FileRead, TheWindowHandsEachFileItsOwnBytesAtItsTurn) {
  testsupport::ScopedTempDir dir;
  std::vector<std::string> paths;
  for (std::size_t k = 0; k < 7; ++k) {
    paths.push_back(dir.Join("f" + std::to_string(k) + ".jpg"));
    testsupport::WriteFile(paths.back(), Pattern(50 + 300 * k));
  }
  platform::ListReader reader = platform::MakeListReader(paths, 64, 16, 3);
  reader.cold = true;  // fetch ahead however warm the cache is
  const ByteVector changed(700, 0x5A);
  struct Turn {
    FileRead result;
    ByteVector content;
  };
  const Turn turns[] = {
      {FileRead::kRead, Pattern(50)},   {FileRead::kRead, Pattern(350)},
      {FileRead::kMissing, {}},         {FileRead::kRead, Pattern(10)},
      {FileRead::kRead, changed},       {FileRead::kRead, Pattern(1550)},
      {FileRead::kRead, Pattern(1850)},
  };
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (k == 1) {  // files 2 to 4 wait in the window now
      std::filesystem::remove(paths[2]);
      std::filesystem::resize_file(paths[3], 10);
      testsupport::WriteFile(paths[4], changed);
    }
    ByteVector got;
    std::string why;
    const FileRead result = platform::ReadListedImage(
        reader, k,
        [&](const FileParts& parts) {
          got.assign(parts.head, parts.head + parts.head_size);
          if (parts.head_size == parts.size) return platform::PartsWanted{};
          return platform::PartsWanted{false, false, 0, parts.size};
        },
        &why);
    EXPECT_EQ(result, turns[k].result) << k << ": " << why;
    EXPECT_TRUE(got == turns[k].content) << k;
  }
}

}  // namespace
