// Windows: error.json replaced through a temporary file beside it. An
// in-place write kept the file's attributes and access list and could not
// be cut off half-way by Ctrl-C, so the replacement keeps both and holds
// console interrupts back until the temporary file is in place or gone.
//
// The attributes and the DACL are copied onto the temporary file, which then
// moves over the old one. ReplaceFileA would keep them itself on Windows,
// but Wine's drops the attributes, and it has no write-through; the copy
// does the same on both and can be tested.
#include "platform/platform.h"

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

namespace {

void (*g_test_hook)(const std::string& temp_path) = nullptr;

// Held by the writer from before the temporary file exists until it is in
// place or removed; the console handler waits for it.
SRWLOCK g_write_lock = SRWLOCK_INIT;

// The attributes an in-place write left as they were and a new file can take.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                  FILE_ATTRIBUTE_OFFLINE;

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length)
                                                      : "system error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator == 0 ? 1 : separator);
}

// Ctrl-C, Ctrl-Break, closing the window: the system calls this on a thread
// of its own. It waits for the write, then lets the default handling end the
// process.
BOOL WINAPI WaitForTheReport(DWORD /*event*/) {
  AcquireSRWLockShared(&g_write_lock);
  ReleaseSRWLockShared(&g_write_lock);
  return FALSE;
}

// The old tool wrote in text mode: every LF went out as CR LF.
std::string TextModeBytes(const std::string& content) {
  std::string bytes;
  bytes.reserve(content.size());
  for (const char c : content) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr)) return false;
    if (put == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    done += put;
  }
  return true;
}

// The old file's access list onto the temporary file, where the run may read
// and set it. An inherited list stays inherited, so the folder's entries are
// not frozen into the file.
void KeepAccessList(const std::string& from, const std::string& to) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    std::string name = to;
    (void)SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  }
  LocalFree(descriptor);
}

ReportWrite WriteInPlace(const std::string& target, const std::string& bytes, std::string* error) {
  const HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, bytes) &&
                       SetEndOfFile(file) && FlushFileBuffers(file);
  const DWORD code = GetLastError();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!written) {
    *error = "cannot write " + target + " in place: " + SystemMessage(code);
    return ReportWrite::kFailed;
  }
  return ReportWrite::kWrittenInPlace;
}

// Everything that runs while the console handler waits. `attributes` are the
// old file's, or INVALID_FILE_ATTRIBUTES when there is none.
ReportWrite WriteHeldBack(const std::string& target, const std::string& content, DWORD attributes,
                          std::string* error) {
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  const std::string bytes = TextModeBytes(content);
  // The process id keeps two runs that share an output folder apart.
  const std::string temp = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  const HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    *error = "cannot create a temporary file in " + FolderOf(target) + ": " + SystemMessage(code);
    // A full disk would fail an in-place write half-way, so only a refusal
    // of the folder sends the report to the old file.
    if (exists && (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT)) {
      const std::string reason = *error;
      const ReportWrite result = WriteInPlace(target, bytes, error);
      if (result == ReportWrite::kWrittenInPlace) *error = reason;
      return result;
    }
    return ReportWrite::kFailed;
  }
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  DWORD code = GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    code = GetLastError();
  }
  if (ok && exists && !SetFileAttributesA(temp.c_str(), attributes & kKeptAttributes)) {
    ok = false;
    code = GetLastError();
  }
  if (!ok) {
    *error = "cannot write " + temp + ": " + SystemMessage(code);
    DeleteFileA(temp.c_str());
    return ReportWrite::kFailed;
  }
  if (exists) KeepAccessList(target, temp);
  if (g_test_hook != nullptr) g_test_hook(temp);
  if (!MoveFileExA(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = "cannot replace " + target + ": " + SystemMessage(GetLastError());
    DeleteFileA(temp.c_str());
    return ReportWrite::kFailed;
  }
  return ReportWrite::kReplaced;
}

}  // namespace

ReportWrite ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  const std::string target = path.c_str();
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
      *error = "cannot replace " + target + ": " + SystemMessage(code);
      return ReportWrite::kFailed;
    }
  } else {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      *error = "cannot replace " + target + ": it is a folder";
      return ReportWrite::kFailed;
    }
    // An in-place open failed on a file the run may not write; so does this.
    // The attribute is tested apart: a run with every privilege opens it anyway.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      *error = "cannot write " + target + ": the file is read-only";
      return ReportWrite::kFailed;
    }
    const HANDLE probe =
        CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      *error = "cannot write " + target + ": " + SystemMessage(GetLastError());
      return ReportWrite::kFailed;
    }
    CloseHandle(probe);
  }

  AcquireSRWLockExclusive(&g_write_lock);
  SetConsoleCtrlHandler(WaitForTheReport, TRUE);
  const ReportWrite result = WriteHeldBack(target, content, attributes, error);
  ReleaseSRWLockExclusive(&g_write_lock);
  SetConsoleCtrlHandler(WaitForTheReport, FALSE);
  return result;
}

std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

void SetReplaceFileTestHook(void (*hook)(const std::string& temp_path)) { g_test_hook = hook; }

bool CallReplaceFileConsoleHandler(unsigned long event) { return WaitForTheReport(event) != FALSE; }

}  // namespace platform
