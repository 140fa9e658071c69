// The few operating-system services the tool needs: test a path, make a
// folder, list a folder, read a whole file, replace a file. Each system has
// its own sources (platform_posix.cpp with file_read_posix.cpp, and
// platform_win32.cpp); nothing outside this folder includes an OS header.
//
// Every path is a narrow byte string handed to the system as a C string, so
// a path holding a NUL byte ends there, as it does for the C runtime.
#ifndef EXIFCHECK_PLATFORM_PLATFORM_H_
#define EXIFCHECK_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

/// The folder separator that joins paths: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

/// `folder`, the separator, then `name`; neither part is normalised.
std::string JoinPath(const std::string& folder, const std::string& name);

/// True when something exists at `path` (the C runtime's access with mode 0).
bool PathExists(const std::string& path);

/// Creates the last element of `path`; parents are not made, failure is silent.
void MakeFolder(const std::string& path);

/// Identity of a listed folder, so the scan can tell when a link leads back
/// into a folder it is already inside. `known` is false where the system
/// gives no such identity.
struct FolderId {
  bool known = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

bool SameFolder(const FolderId& a, const FolderId& b);

/// One name a folder listing delivers. `is_folder` is the subdirectory bit;
/// links are followed, so a link to a folder counts as a folder and anything
/// else (a file, a broken link, a FIFO) as a file.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
};

/// Lists `folder`, in the order the system delivers (byte order of the names
/// where the system has none), "." and ".." included where the system
/// delivers them. Returns false when the folder cannot be listed.
bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries);

/// How reading one image file went.
enum class FileRead {
  kRead,        // the bytes were handed to the consumer
  kUnreadable,  // missing, not a regular file, cannot be opened, or read short
  kTooLarge,    // 2 GiB or more: not read
};

/// Receives the whole content of a file; `data` may be null when `size` is 0.
/// The bytes are valid only during the call.
using FileConsumer = std::function<void(const unsigned char* data, std::uint32_t size)>;

/// Tests that `path` exists, reads the whole file and hands it to `consume`.
/// When the result is not kRead, anything `consume` derived must be dropped:
/// a file that shrinks while it is read counts as unreadable even after its
/// bytes were handed on.
FileRead ReadWholeFile(const std::string& path, const FileConsumer& consume);

/// Replaces the file at `path` with `content` in one step, through a
/// temporary file beside it, so a reader never sees a half-written file.
/// Returns false, with a reason in `error`, when it could not.
bool ReplaceFile(const std::string& path, const std::string& content, std::string* error);

/// Text-mode line ends: Windows drops a CR directly before the LF when it
/// reads a text file; elsewhere this drops it for the same lines.
/// `ended_by_newline` tells whether the line reader found an LF after `line`.
void DropTextModeCarriageReturn(std::string* line, bool ended_by_newline);

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_PLATFORM_H_
