// One file read as a few exact parts: its head, then what its consumer
// names (the tail, or a range), each read in one request, and after a few
// requests the whole file. The consumer sees the parts as FileBytes, the
// reader's own vocabulary, and answers with what it lacks.
#ifndef EXIFCHECK_READ_FILE_PARTS_H_
#define EXIFCHECK_READ_FILE_PARTS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "exif/file_bytes.h"
#include "platform/platform.h"

namespace reading {

/// Reads exactly `size` bytes from `offset` into `data`; false when the file
/// ends early or a read fails.
using ReadAt = std::function<bool(unsigned char* data, std::size_t size, std::uint64_t offset)>;

/// Receives the parts of a file read so far, valid only during the call,
/// and returns what more it needs: nothing once it has its answer; the
/// tail (end_marker); or the bytes [from, to).
using PartsConsumer = std::function<std::optional<ByteRequest>(const FileBytes& parts)>;

/// How a file's read begins: its first `head` bytes and, when `tail` is
/// set, its last bytes asked for at the same time, for surveys whose frames
/// all turn out to need them.
struct ReadPlan {
  std::uint32_t head = 0;
  bool tail = false;
};

/// Reads `size` bytes from `offset` ahead of their read; may do nothing.
using Prefetch = std::function<void(std::uint64_t offset, std::size_t size)>;

/// Whether this build reads every file whole, in one piece, whatever head
/// and tail it is asked for (-DEXIFCHECK_PLAIN_READ=ON).
extern const bool kReadsWholeFiles;

/// Reads a file of `size` bytes through `read_at` and hands it to
/// `consume`: a file longer than `plan.head` bytes as its first bytes, then
/// as `consume` asks, the last `tail` bytes or the range it names, each read
/// exactly, and after a few requests the whole file; a shorter file whole at
/// once. A range that starts within the head or where it ends grows the
/// head. With `plan.tail`, `prefetch` (when given) is asked for the tail
/// before the head is read. `asked_tail`, when not null, is set when the
/// consumer asked for the tail. For any result but kRead `why` says what
/// went wrong, and anything `consume` derived must be dropped.
platform::FileRead ReadSizedFile(std::uint64_t size, const ReadPlan& plan, std::uint32_t tail,
                                 const ReadAt& read_at, const PartsConsumer& consume,
                                 std::string* why, const Prefetch& prefetch = nullptr,
                                 bool* asked_tail = nullptr);

/// Opens the file at `path` and reads it as ReadSizedFile does. `waited`,
/// when not null, is set when the first read was not served by the
/// system's cache alone, or the system cannot tell; left as it is
/// otherwise.
platform::FileRead ReadFileParts(const std::string& path, const ReadPlan& plan, std::uint32_t tail,
                                 const PartsConsumer& consume, std::string* why,
                                 bool* waited = nullptr, bool* asked_tail = nullptr);

}  // namespace reading

#endif  // EXIFCHECK_READ_FILE_PARTS_H_
