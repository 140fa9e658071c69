// The platform services that read the same on every system; what differs
// lives in the _posix and _win32 sources beside this one.
#include "platform/platform.h"

#include <cstring>
#include <iostream>
#include <memory>

#include "platform/file_parts.h"

namespace platform {

void Warn(const std::string& message) { std::cerr << "exifcheck: " << message << std::endl; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool SameFolder(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

#if EXIFCHECK_PLAIN_READ
const bool kReadsWholeFiles = true;
#else
const bool kReadsWholeFiles = false;
#endif

FileRead FailedRead(FileRead result, const std::string& why_text, std::string* why) {
  *why = why_text;
  return result;
}

namespace {

// 2 GiB: the largest size a signed 32-bit file position can tell.
constexpr std::uint64_t kMaxImageSize = 0x80000000u;

const char kShrank[] = "read short: the file changed while it was read, or the disk failed";

}  // namespace

FileRead ReadSizedFile(std::uint64_t size, std::uint32_t head, std::uint32_t tail,
                       const ReadAt& read_at, const PartsConsumer& consume, std::string* why) {
  if (size >= kMaxImageSize) return FailedRead(FileRead::kTooLarge, "2 GiB or larger", why);
  const auto length = static_cast<std::uint32_t>(size);
  // Not value-initialised: every byte is overwritten by the read.
  std::unique_ptr<unsigned char[]> whole;
  if (!kReadsWholeFiles && std::uint64_t{head} + tail < size) {
    std::unique_ptr<unsigned char[]> ends(new unsigned char[std::size_t{head} + tail]);
    if (!read_at(ends.get(), head, 0) || !read_at(ends.get() + head, tail, length - tail)) {
      return FailedRead(FileRead::kReadShort, kShrank, why);
    }
    if (consume(FileParts{ends.get(), head, ends.get() + head, tail, length})) {
      return FileRead::kRead;
    }
    // The head is read already; only the rest is read again.
    whole.reset(new unsigned char[length]);
    std::memcpy(whole.get(), ends.get(), head);
    if (!read_at(whole.get() + head, length - head, head)) {
      return FailedRead(FileRead::kReadShort, kShrank, why);
    }
  } else {
    whole.reset(new unsigned char[length]);
    if (!read_at(whole.get(), length, 0)) return FailedRead(FileRead::kReadShort, kShrank, why);
  }
  consume(FileParts{whole.get(), length, whole.get(), length, length});
  return FileRead::kRead;
}

}  // namespace platform
