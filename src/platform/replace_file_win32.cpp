// Windows: files replaced through a temporary file beside them. An in-place
// write of error.json kept the file's attributes and access list and could
// not be cut off half-way by Ctrl-C, so the replacement keeps both and holds
// console interrupts back until the temporary file is in place or gone. The
// page and the table take the place of a symbolic link or junction named
// like them, and nothing of what it leads to.
//
// The attributes and the DACL are copied onto the temporary file, which then
// moves over the old one. ReplaceFileA would keep them itself on Windows,
// but Wine's drops the attributes, and it has no write-through; the copy
// does the same on both and can be tested.
//
// Links: GetFileAttributesA tells of a link itself, while CreateFileA
// follows it unless asked not to (FILE_FLAG_OPEN_REPARSE_POINT); MoveFileExA
// replaces a link to a file as a name, but fails on a link to a folder.
#include "platform/platform.h"
#include "platform/system_message_win32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for ReplaceFileA; ours is a function.
#undef ReplaceFile
#include <aclapi.h>

#include <algorithm>
#include <string>
#include <utility>

namespace platform {

// One replace from BeginReplace to its end. `file` is where the bytes go:
// the temporary file, or the old file when it is written in place (`temp`
// empty). `failure` keeps the system error of the first write that failed.
struct Replacement {
  std::string target;
  std::string temp;
  std::string in_place_why;
  LinkPolicy links = LinkPolicy::kFollowLink;
  LineEnds line_ends = LineEnds::kText;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string held;
  DWORD failure = 0;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // the old file's, when there is one to keep
  bool folder_link = false;                    // a link to a folder to remove before the move
};

namespace {

void (*g_test_hook)(const std::string& temp_path) = nullptr;

// Replaces in progress, under the lock; the console handler waits until
// there are none.
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_none_left = CONDITION_VARIABLE_INIT;
int g_replaces = 0;

// The attributes an in-place write left as they were and a new file can take.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                  FILE_ATTRIBUTE_OFFLINE;

// Appends are gathered up to this many bytes, so that a table written row
// by row costs a write per block, not per row, and never more memory.
constexpr std::size_t kHeldBytes = std::size_t{64} << 10;

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator == 0 ? 1 : separator);
}

// Ctrl-C, Ctrl-Break, closing the window: the system calls this on a thread
// of its own. It waits for the replaces in progress, then lets the default
// handling end the process.
BOOL WINAPI WaitForTheReport(DWORD /*event*/) {
  AcquireSRWLockExclusive(&g_lock);
  while (g_replaces > 0) SleepConditionVariableSRW(&g_none_left, &g_lock, INFINITE, 0);
  ReleaseSRWLockExclusive(&g_lock);
  return FALSE;
}

// The handler stays registered once a replace has begun: outside one it
// passes the event on at once, and it is never added or removed while the
// system may be calling it.
void HoldInterrupts() {
  static const bool registered = SetConsoleCtrlHandler(WaitForTheReport, TRUE) != FALSE;
  (void)registered;
  AcquireSRWLockExclusive(&g_lock);
  ++g_replaces;
  ReleaseSRWLockExclusive(&g_lock);
}

void ReleaseInterrupts() {
  AcquireSRWLockExclusive(&g_lock);
  if (--g_replaces == 0) WakeAllConditionVariable(&g_none_left);
  ReleaseSRWLockExclusive(&g_lock);
}

bool WriteHeld(Replacement& replacement) {
  if (replacement.failure != 0) return false;
  const std::string& bytes = replacement.held;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(replacement.file, bytes.data() + done, chunk, &put, nullptr)) {
      replacement.failure = GetLastError();
      return false;
    }
    if (put == 0) {
      replacement.failure = ERROR_DISK_FULL;
      return false;
    }
    done += put;
  }
  replacement.held.clear();
  return true;
}

// The name itself, opened as what it is: a link is not followed.
HANDLE OpenUnfollowed(const std::string& target, DWORD access) {
  return CreateFileA(target.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A symbolic link or junction (a name-surrogate reparse point), which the
// page's policy replaces. Wine 8 shows a Unix link to a folder as a reparse
// point without a tag; its RemoveDirectoryA would remove the empty folder the
// link leads to, so that one counts as a folder.
bool IsLink(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  return GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info) &&
         (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsReparseTagNameSurrogate(info.ReparseTag);
}

bool IsLink(const std::string& target, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  const HANDLE entry = OpenUnfollowed(target, FILE_READ_ATTRIBUTES);
  if (entry == INVALID_HANDLE_VALUE) return false;
  const bool link = IsLink(entry);
  CloseHandle(entry);
  return link;
}

// MoveFileExA cannot replace a link to a folder, which is a folder; it is
// deleted first through a handle to the link itself, never what it leads to.
bool RemoveFolderLink(const std::string& target, std::string* error) {
  const HANDLE link = OpenUnfollowed(target, DELETE | FILE_READ_ATTRIBUTES);
  if (link == INVALID_HANDLE_VALUE) {
    *error = "cannot replace " + target + ": " + SystemMessage(GetLastError());
    return false;
  }
  FILE_DISPOSITION_INFO gone{};
  gone.DeleteFile = TRUE;
  const bool link_still = IsLink(link);
  const bool removed =
      link_still && SetFileInformationByHandle(link, FileDispositionInfo, &gone, sizeof gone);
  const DWORD code = GetLastError();
  CloseHandle(link);
  if (!removed) {
    *error =
        "cannot replace " + target + ": " + (link_still ? SystemMessage(code) : "it is a folder");
  }
  return removed;
}

// The old file's access list onto the temporary file, where the run may read
// and set it. An inherited list stays inherited, so the folder's entries are
// not frozen into the file. The page's policy reads the list of the name
// itself, never of what a link put there since leads to.
void KeepAccessList(const Replacement& replacement) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD got = ERROR_ACCESS_DENIED;
  if (replacement.links == LinkPolicy::kReplaceLink) {
    const HANDLE old = OpenUnfollowed(replacement.target, READ_CONTROL);
    if (old == INVALID_HANDLE_VALUE) return;
    got = GetSecurityInfo(old, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                          nullptr, &descriptor);
    CloseHandle(old);
  } else {
    got =
        GetNamedSecurityInfoA(replacement.target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &descriptor);
  }
  if (got != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    std::string name = replacement.temp;
    (void)SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  }
  LocalFree(descriptor);
}

// Flags that keep an open from following a link the page's policy replaces.
DWORD OpenFlags(LinkPolicy links) {
  return links == LinkPolicy::kReplaceLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
}

// What the name holds now. A file to keep must be one the run may write: an
// in-place open failed on it, and so does this.
bool LookAtOld(Replacement& replacement, std::string* error) {
  const std::string& target = replacement.target;
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    *error = "cannot replace " + target + ": " + SystemMessage(code);
    return false;
  }
  if (replacement.links == LinkPolicy::kReplaceLink && IsLink(target, attributes)) {
    replacement.folder_link = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = "cannot replace " + target + ": it is a folder";
    return false;
  }
  // The attribute is tested apart: a run with every privilege opens it anyway.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    *error = "cannot write " + target + ": the file is read-only";
    return false;
  }
  const HANDLE probe =
      CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | OpenFlags(replacement.links), nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    *error = "cannot write " + target + ": " + SystemMessage(GetLastError());
    return false;
  }
  CloseHandle(probe);
  replacement.attributes = attributes;
  return true;
}

// A fresh name beside the target, never opened through something already
// there: the process id keeps two runs that share an output folder apart.
HANDLE CreateTemporary(const std::string& target, std::string* temp) {
  const std::string stem = target + "." + std::to_string(GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".tmp";
    const HANDLE file = CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD code = GetLastError();
    const bool taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ||
                       (code == ERROR_ACCESS_DENIED &&
                        GetFileAttributesA(temp->c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!taken) {
      SetLastError(code);
      return INVALID_HANDLE_VALUE;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// The temporary file, or, when the folder refuses new files, the old file
// opened for writing in place.
bool StartWriting(Replacement& replacement, std::string* error) {
  replacement.file = CreateTemporary(replacement.target, &replacement.temp);
  if (replacement.file != INVALID_HANDLE_VALUE) return true;
  const DWORD code = GetLastError();
  replacement.temp.clear();
  *error = "cannot create a temporary file in " + FolderOf(replacement.target) + ": " +
           SystemMessage(code);
  // A full disk would fail an in-place write half-way, so only a refusal of
  // the folder sends the content to the old file.
  if (replacement.attributes == INVALID_FILE_ATTRIBUTES ||
      (code != ERROR_ACCESS_DENIED && code != ERROR_WRITE_PROTECT)) {
    return false;
  }
  replacement.in_place_why = *error;
  replacement.file =
      CreateFileA(replacement.target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | OpenFlags(replacement.links), nullptr);
  if (replacement.file != INVALID_HANDLE_VALUE) return true;
  *error = "cannot write " + replacement.target + " in place: " + SystemMessage(GetLastError());
  return false;
}

ReportWrite FinishInPlace(Replacement& replacement, std::string* error) {
  if (WriteHeld(replacement) &&
      (!SetEndOfFile(replacement.file) || !FlushFileBuffers(replacement.file))) {
    replacement.failure = GetLastError();
  }
  if (replacement.failure != 0) {
    *error =
        "cannot write " + replacement.target + " in place: " + SystemMessage(replacement.failure);
    return ReportWrite::kFailed;
  }
  *error = replacement.in_place_why;
  return ReportWrite::kWrittenInPlace;
}

}  // namespace

void DropReplacement(Replacement* replacement) {
  if (replacement->file != INVALID_HANDLE_VALUE) CloseHandle(replacement->file);
  if (!replacement->temp.empty()) DeleteFileA(replacement->temp.c_str());
  ReleaseInterrupts();
  delete replacement;
}

ReplacementHandle BeginReplace(const std::string& path, LinkPolicy links, std::string* error,
                               LineEnds line_ends) {
  ReplacementHandle none(nullptr, DropReplacement);
  auto replacement = std::make_unique<Replacement>();
  replacement->target = path.c_str();
  replacement->links = links;
  replacement->line_ends = line_ends;
  // A CR for every LF may double a block.
  replacement->held.reserve(kHeldBytes + 2);
  if (!LookAtOld(*replacement, error)) return none;
  HoldInterrupts();
  ReplacementHandle handle(replacement.release(), DropReplacement);
  if (!StartWriting(*handle, error)) return none;
  return handle;
}

// The old tool wrote in text mode: every LF goes out as CR LF.
bool AppendToReplacement(Replacement& replacement, const char* data, std::size_t size) {
  if (replacement.failure != 0) return false;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' && replacement.line_ends == LineEnds::kText) replacement.held += '\r';
    replacement.held += data[i];
    if (replacement.held.size() >= kHeldBytes && !WriteHeld(replacement)) return false;
  }
  return true;
}

ReportWrite FinishReplace(ReplacementHandle handle, std::string* error) {
  Replacement& replacement = *handle;
  if (replacement.temp.empty()) return FinishInPlace(replacement, error);
  if (WriteHeld(replacement) && !FlushFileBuffers(replacement.file)) {
    replacement.failure = GetLastError();
  }
  if (!CloseHandle(std::exchange(replacement.file, INVALID_HANDLE_VALUE)) &&
      replacement.failure == 0) {
    replacement.failure = GetLastError();
  }
  const bool keep = replacement.attributes != INVALID_FILE_ATTRIBUTES;
  if (replacement.failure == 0 && keep &&
      !SetFileAttributesA(replacement.temp.c_str(), replacement.attributes & kKeptAttributes)) {
    replacement.failure = GetLastError();
  }
  if (replacement.failure != 0) {
    *error = "cannot write " + replacement.temp + ": " + SystemMessage(replacement.failure);
    return ReportWrite::kFailed;
  }
  if (keep) KeepAccessList(replacement);
  if (g_test_hook != nullptr) g_test_hook(replacement.temp);
  if (replacement.folder_link && !RemoveFolderLink(replacement.target, error)) {
    return ReportWrite::kFailed;
  }
  if (!MoveFileExA(replacement.temp.c_str(), replacement.target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = "cannot replace " + replacement.target + ": " + SystemMessage(GetLastError());
    return ReportWrite::kFailed;
  }
  replacement.temp.clear();
  return ReportWrite::kReplaced;
}

std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

void SetReplaceFileTestHook(void (*hook)(const std::string& temp_path)) { g_test_hook = hook; }

bool CallReplaceFileConsoleHandler(unsigned long event) { return WaitForTheReport(event) != FALSE; }

}  // namespace platform
