// The few operating-system services the tool needs: test a path, make a
// folder, list a folder, open an image file and read it at an offset,
// replace a file, the console. platform.cpp holds what reads the same
// everywhere; each system has its own sources for the rest, split alike
// (platform_, file_read_ and replace_file_posix.cpp, and the same names
// with _win32; the cache probe of image reads is Linux's own). How frames
// are read over these calls, on how many threads, lives in src/read.
// Nothing outside this folder includes an OS header.
//
// Every path is a narrow byte string handed to the system as a C string, so
// a path holding a NUL byte ends there, as it does for the C runtime.
#ifndef EXIFCHECK_PLATFORM_PLATFORM_H_
#define EXIFCHECK_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace platform {

/// Writes one line to standard error: "exifcheck: " and `message`. Every
/// message the tool adds to its fixed console texts goes this way, so
/// standard output carries those texts alone.
void Warn(const std::string& message);

/// The folder separator that joins paths: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

/// Every byte that ends a folder name in a path: both slashes on Windows,
/// only '/' elsewhere, where a backslash is a byte like any other.
extern const char kPathSeparators[];

/// `folder`, the separator, then `name`; neither part is normalised.
std::string JoinPath(const std::string& folder, const std::string& name);

/// True when something exists at `path` (the C runtime's access with mode 0).
bool PathExists(const std::string& path);

/// True when `path` names a folder (a link to one included).
bool IsFolder(const std::string& path);

/// Creates the last element of `path`; parents are not made, failure is silent.
void MakeFolder(const std::string& path);

/// Identity of a file or a folder, so that the scan can tell when a link
/// leads back into a folder it is already inside, and the files this tool
/// wrote from others of the same name: device and inode on POSIX, volume
/// serial number and file index on Windows. `known` is false when nothing
/// is there or the system gives no identity (a folder the Windows
/// enumeration lists).
struct FileId {
  bool known = false;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
};
using FolderId = FileId;

bool SameFile(const FileId& a, const FileId& b);

/// The identity of what `path` names: with `follow_link`, of what a link
/// there leads to, otherwise of the link itself.
FileId IdentifyFile(const std::string& path, bool follow_link);

/// One name a folder listing delivers. `is_folder` is the subdirectory bit;
/// links are followed, so a link to a folder counts as a folder and anything
/// else (a file, a broken link, a FIFO) as a file.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
};

/// Lists `folder`, in the order the system delivers (byte order of the names
/// where the system has none), "." and ".." included where the system
/// delivers them. Returns false when the folder cannot be listed, with the
/// system's reason in `why` when it is not null.
bool ListFolder(const std::string& folder, FolderId* id, std::vector<FolderEntry>* entries,
                std::string* why = nullptr);

/// How reading one image file went.
enum class FileRead {
  kRead,        // the bytes were handed to the consumer
  kTooLarge,    // 2 GiB or more: not read
  kMissing,     // nothing there: gone since the scan, or a broken link
  kNotAFile,    // a folder, FIFO, socket or device
  kCannotOpen,  // no permission, held by another program, a name the system refuses
  kReadShort,   // ended early or a read failed: changed while read, or an I/O error
};

/// An image file open for reads at any offset, from any thread (the shape
/// of a random-access file: open, size, read at an offset).
struct ImageFile;
void CloseImageFile(ImageFile* file);
using ImageFileHandle = std::unique_ptr<ImageFile, void (*)(ImageFile*)>;

/// Opens the regular file at `path` and takes its size. With `at_random`
/// the system is told that the file is read at random, so that it reads
/// from the storage no more than each read asks for: a frame is read as a
/// head of a few kilobytes and the exact pieces the reader names, and a
/// read-ahead window would triple the bytes a card or a share must deliver.
/// For any result but kRead `why` says what kept the file from being
/// opened.
FileRead OpenImageFile(const std::string& path, ImageFileHandle* file, std::uint64_t* size,
                       std::string* why, bool at_random = true);

/// Reads exactly `size` bytes from `offset` into `data`; false when the
/// file ends early or a read fails.
bool ReadImageAt(ImageFile& file, unsigned char* data, std::size_t size, std::uint64_t offset);

/// Tells the system that `size` bytes from `offset` on will be read soon,
/// so that their request goes out while another read waits: a frame's
/// tail asked for with its head costs one round trip, not two. Where the
/// system has no such call for a file (Windows) it does nothing.
void PrefetchImageRange(ImageFile& file, std::uint64_t offset, std::size_t size);

/// Reads what the system's cache holds of `size` bytes from `offset` on,
/// without waiting for the storage, and returns how many it read; sets
/// `waited` when that was not all of them. Where the system cannot tell
/// (Windows, a file system that refuses the probe) it reads nothing and
/// sets `waited`: reading ahead is what such storage needs.
std::size_t ReadCachedAt(ImageFile& file, unsigned char* data, std::size_t size,
                         std::uint64_t offset, bool* waited);

/// How writing the report file went.
enum class ReportWrite {
  kReplaced,        // the new content replaced the old file in one step
  kWrittenInPlace,  // no temporary file could be made; the old file was overwritten
  kFailed,          // nothing usable was written
};

/// What a replace does with a link named like the file it writes.
enum class LinkPolicy {
  /// error.json, as users set it up: on POSIX the link stays and the file
  /// it leads to is replaced, keeping that file's permissions and owner.
  kFollowLink,
  /// The page and the table: the link itself gives way to the new file,
  /// which is never written through it and takes nothing (permissions,
  /// owner, attributes, access list) from what it leads to. A symbolic link
  /// or junction on Windows likewise.
  kReplaceLink,
};

/// How the content's line ends are written.
enum class LineEnds {
  /// As the old tool's text-mode write did: each LF as CR LF on Windows,
  /// as it stands elsewhere (error.json, the page).
  kText,
  /// Every byte as given, on every system (the table, whose rows end in
  /// CR LF already).
  kAsGiven,
};

/// Replaces the file at `path` with `content` in one step, through a
/// temporary file beside it that is on disk before it takes the file's
/// place, so a reader never sees a half-written file. A link at `path` is
/// handled as `links` says. An existing file keeps its permissions, owner
/// and group (POSIX) or attributes and DACL (Windows). A file the run may
/// not write is left alone, as an in-place open would fail on it. When the
/// folder takes no new file but the old one may be written, it is
/// overwritten in place instead (never a link with kReplaceLink).
/// Interrupts (POSIX signals, Windows console events) wait until the write
/// is over, so none leaves a temporary file behind. For kWrittenInPlace and
/// kFailed `error` says why. On Windows each LF is written as CR LF, as a
/// text-mode write did.
ReportWrite ReplaceFile(const std::string& path, const std::string& content, std::string* error,
                        LinkPolicy links = LinkPolicy::kFollowLink);

/// A replace in progress, for content written piece by piece; see BeginReplace.
struct Replacement;
void DropReplacement(Replacement* replacement);
using ReplacementHandle = std::unique_ptr<Replacement, void (*)(Replacement*)>;

/// ReplaceFile in steps, so that content too large to hold is written as it
/// is made and never held whole: the checks of the old file and the
/// temporary file beside it come here, interrupts wait from here until the
/// handle is finished or dropped, and a null handle with `error` set says
/// what failed. Append and finish on the thread that began. Dropping the
/// handle unfinished removes the temporary file (a file already being
/// written in place stays as far as it got).
ReplacementHandle BeginReplace(const std::string& path, LinkPolicy links, std::string* error,
                               LineEnds line_ends = LineEnds::kText);

/// Adds `size` bytes to the new content. Bytes are held back in a small
/// buffer; false once a write has failed, and FinishReplace then says why.
bool AppendToReplacement(Replacement& replacement, const char* data, std::size_t size);

/// Writes what is held back, puts the new file in place as ReplaceFile does
/// and answers as it does; the handle is gone either way.
ReportWrite FinishReplace(ReplacementHandle replacement, std::string* error);

/// Starts a thread that runs `body`. On POSIX the thread holds back the
/// signals that end a run (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ) for
/// its whole life, so that they come only to the main thread, which holds
/// them back while a file is replaced; elsewhere the thread starts plainly.
/// Throws std::system_error as std::thread does when no thread can start.
std::thread StartThread(std::function<void()> body);

/// The system's text for the C runtime error `code` (an errno value), safe
/// to call on any thread.
std::string ErrorText(int code);

/// For tests only: `hook`, when not null, is called with the temporary
/// file's path once it is written and flushed, before it replaces the target.
void SetReplaceFileTestHook(void (*hook)(const std::string& temp_path));

/// For tests only: hands `event` (a Windows console control event) to the
/// handler that holds interrupts back during ReplaceFile, as the system
/// would on a thread of its own, and returns its answer. Where there is no
/// such handler (POSIX) it returns false at once.
bool CallReplaceFileConsoleHandler(unsigned long event);

/// The character set in which the system hands out file names, as a web
/// page names it ("utf-8", "gbk", "windows-1252", ...): on Windows the
/// system's code page, elsewhere the user's locale's.
std::string NamesCharset();

/// Text-mode line ends: Windows drops a CR directly before the LF when it
/// reads a text file; elsewhere this drops it for the same lines.
/// `ended_by_newline` tells whether the line reader found an LF after `line`.
void DropTextModeCarriageReturn(std::string* line, bool ended_by_newline);

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_PLATFORM_H_
