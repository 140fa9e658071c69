// POSIX: files replaced through a temporary file beside the file they name.
// Users link error.json elsewhere, set its mode, and look at it while a run
// is on; an in-place write served all of that, so its replacement keeps it
// up: the link stays, the mode stays. The page and the table are the tool's
// own files, and a shared output folder must not turn them against the run:
// a link named like them gives way to the file and is never written
// through. A signal never strands the temporary file in a folder that a
// later scan may read.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace platform {

// One replace from BeginReplace to its end. `fd` is where the bytes go: the
// temporary file, or the old file when it is written in place (`temp`
// empty). `failure` keeps the errno of the first write that failed.
struct Replacement {
  std::string target;
  std::string temp;
  std::string in_place_why;
  int fd = -1;
  off_t written = 0;
  std::string held;
  int failure = 0;
};

namespace {

void (*g_test_hook)(const std::string& temp_path) = nullptr;

// The kernel gives up on a chain of links after as many.
constexpr int kMaxLinkHops = 40;

// Appends are gathered up to this many bytes, so that a table written row
// by row costs a write per block, not per row, and never more memory.
constexpr std::size_t kHeldBytes = std::size_t{64} << 10;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file an in-place open of `path` would write: every link followed, a
// relative one from the folder the link is in. The end of a dangling chain is
// returned as it stands, to be created there.
bool FollowLinks(const std::string& path, std::string* target, std::string* error) {
  std::string current = path;
  for (int hops = 0;; ++hops) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *target = current;
      return true;
    }
    if (hops == kMaxLinkHops) {
      *error = "cannot follow the links from " + path + ": " + ErrorText(ELOOP);
      return false;
    }
    // st_size may be 0 for links the kernel makes up, so grow until it fits.
    std::string link(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 256, '\0');
    for (;;) {
      const ssize_t length = readlink(current.c_str(), &link[0], link.size());
      if (length < 0) {
        *error = "cannot read the link " + current + ": " + ErrorText(errno);
        return false;
      }
      if (static_cast<std::size_t>(length) < link.size()) {
        link.resize(static_cast<std::size_t>(length));
        break;
      }
      link.resize(link.size() * 2);
    }
    if (link.empty() || link[0] != '/') link = FolderOf(current).append("/").append(link);
    current = link;
  }
}

// Filesystems without a flush say so with one of these; the data is then as
// safe as that filesystem makes it, which an in-place write would not beat.
bool FlushUnsupported(int code) {
  return code == EINVAL || code == ENOTSUP || code == ENOSYS || code == EBADF;
}

bool Flush(int fd) { return fsync(fd) == 0 || FlushUnsupported(errno); }

// The signals that end a run from the console, a session or `kill`; while
// they wait, the temporary file is either in place or gone. SIGXFSZ too: held
// back, it turns an over-long write into EFBIG, which cleans up.
sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ})
    sigaddset(&set, signal_number);
  return set;
}

// Replaces may nest (a table begun, error.json written meanwhile); the
// signals come back when the last one ends.
thread_local int g_replaces_held = 0;
thread_local sigset_t g_mask_before;

// Every thread the tool starts holds the ending signals back for its whole
// life (StartThread), so a signal sent to the process can only be taken by
// the main thread: blocked here, it waits for the replace whatever else runs.
void HoldEndingSignals() {
  if (g_replaces_held++ > 0) return;
  const sigset_t ending = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &ending, &g_mask_before);
}

void ReleaseEndingSignals() {
  if (--g_replaces_held == 0) pthread_sigmask(SIG_SETMASK, &g_mask_before, nullptr);
}

// `size` bytes at the replacement's end; a temporary file is written from
// its start as well, so one positioned write serves both.
bool WriteOut(Replacement& replacement, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = pwrite(replacement.fd, data + done, size - done,
                               replacement.written + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      replacement.failure = put == 0 ? ENOSPC : errno;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  replacement.written += static_cast<off_t>(size);
  return true;
}

bool WriteHeld(Replacement& replacement) {
  if (replacement.failure != 0) return false;
  const bool written = WriteOut(replacement, replacement.held.data(), replacement.held.size());
  replacement.held.clear();
  return written;
}

// A fresh name beside `target`, created the way a plain open would create
// error.json, so umask and a default ACL of the folder apply as they always
// did. O_EXCL: never through a link someone put under that name.
int CreateTemporary(const std::string& target, std::string* temp) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned long long seed = static_cast<unsigned long long>(now.tv_nsec) ^
                            (static_cast<unsigned long long>(getpid()) << 32);
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    std::string suffix;
    for (unsigned long long bits = seed >> 16; suffix.size() < 6; bits /= 36)
      suffix += kDigits[bits % 36];
    *temp = target;
    temp->append(".").append(suffix);
    const int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The old file's owner and group where the run may set them, then its mode,
// which a change of owner may have cut short of its set-id bits.
bool KeepOwnerAndMode(int fd, const struct stat& old, std::string* error) {
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not root: the group may still be one the user is in.
    if (errno != EPERM || (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM)) {
      *error = ErrorText(errno);
      return false;
    }
  }
  if (fchmod(fd, old.st_mode & 07777) != 0) {
    *error = ErrorText(errno);
    return false;
  }
  return true;
}

bool NotAFile(const std::string& target, mode_t mode, std::string* error) {
  *error = "cannot replace " + target + ": " +
           (S_ISDIR(mode) ? ErrorText(EISDIR) : "not a regular file");
  return false;
}

// The old file the target names after every link, opened for writing:
// in-place writing failed on a file the run may not write, and so does this.
bool OpenFollowed(const std::string& target, int* old_fd, struct stat* old, std::string* error) {
  if (stat(target.c_str(), old) != 0) {
    if (errno == ENOENT) return true;
    *error = "cannot replace " + target + ": " + ErrorText(errno);
    return false;
  }
  if (!S_ISREG(old->st_mode)) return NotAFile(target, old->st_mode, error);
  *old_fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (*old_fd < 0) {
    *error = "cannot write " + target + ": " + ErrorText(errno);
    return false;
  }
  return true;
}

// The file the target names itself, opened for writing, or none when it is
// a link: the new file takes its place and nothing of what it leads to.
// O_NOFOLLOW and fstat hold even when the name changes in between.
bool OpenUnfollowed(const std::string& target, int* old_fd, struct stat* old, std::string* error) {
  if (lstat(target.c_str(), old) != 0) {
    if (errno == ENOENT) return true;
    *error = "cannot replace " + target + ": " + ErrorText(errno);
    return false;
  }
  if (S_ISLNK(old->st_mode)) return true;
  if (!S_ISREG(old->st_mode)) return NotAFile(target, old->st_mode, error);
  // O_NONBLOCK: a FIFO put there meanwhile must not hold the run.
  *old_fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
  if (*old_fd < 0) {
    if (errno == ELOOP) return true;  // a link by now
    *error = "cannot write " + target + ": " + ErrorText(errno);
    return false;
  }
  if (fstat(*old_fd, old) != 0 || !S_ISREG(old->st_mode)) {
    close(*old_fd);
    *old_fd = -1;
    return NotAFile(target, old->st_mode, error);
  }
  return true;
}

// The temporary file, with the old file's owner and mode when there is one.
// A folder that refuses new files sends the bytes to the old file instead.
bool StartWriting(Replacement& replacement, int old_fd, const struct stat& old,
                  std::string* error) {
  const int fd = CreateTemporary(replacement.target, &replacement.temp);
  if (fd < 0) {
    const int code = errno;
    replacement.temp.clear();
    *error = "cannot create a temporary file in " + FolderOf(replacement.target) + ": " +
             ErrorText(code);
    // A full disk would fail an in-place write half-way, so only a refusal
    // of the folder sends the content to the old file.
    if (old_fd < 0 || (code != EACCES && code != EPERM && code != EROFS)) return false;
    replacement.fd = old_fd;
    replacement.in_place_why = *error;
    return true;
  }
  replacement.fd = fd;
  std::string reason;
  if (old_fd >= 0 && !KeepOwnerAndMode(fd, old, &reason)) {
    *error = "cannot write " + replacement.temp + ": " + reason;
    return false;
  }
  return true;
}

ReportWrite FinishInPlace(Replacement& replacement, std::string* error) {
  if (WriteHeld(replacement) &&
      (ftruncate(replacement.fd, replacement.written) != 0 || !Flush(replacement.fd))) {
    replacement.failure = errno;
  }
  if (replacement.failure != 0) {
    *error = "cannot write " + replacement.target + " in place: " + ErrorText(replacement.failure);
    return ReportWrite::kFailed;
  }
  *error = replacement.in_place_why;
  return ReportWrite::kWrittenInPlace;
}

}  // namespace

void DropReplacement(Replacement* replacement) {
  if (replacement->fd >= 0) close(replacement->fd);
  if (!replacement->temp.empty()) unlink(replacement->temp.c_str());
  ReleaseEndingSignals();
  delete replacement;
}

ReplacementHandle BeginReplace(const std::string& path, LinkPolicy links, std::string* error,
                               LineEnds /*line_ends*/) {
  ReplacementHandle none(nullptr, DropReplacement);
  auto replacement = std::make_unique<Replacement>();
  replacement->held.reserve(kHeldBytes);
  if (links == LinkPolicy::kFollowLink) {
    if (!FollowLinks(path.c_str(), &replacement->target, error)) return none;
  } else {
    replacement->target = path.c_str();
  }
  struct stat old {};
  int old_fd = -1;
  const bool opened = links == LinkPolicy::kFollowLink
                          ? OpenFollowed(replacement->target, &old_fd, &old, error)
                          : OpenUnfollowed(replacement->target, &old_fd, &old, error);
  if (!opened) return none;

  HoldEndingSignals();
  ReplacementHandle handle(replacement.release(), DropReplacement);
  const bool started = StartWriting(*handle, old_fd, old, error);
  if (old_fd >= 0 && old_fd != handle->fd) close(old_fd);
  return started ? std::move(handle) : std::move(none);
}

bool AppendToReplacement(Replacement& replacement, const char* data, std::size_t size) {
  if (replacement.failure != 0) return false;
  if (replacement.held.size() + size <= kHeldBytes) {
    replacement.held.append(data, size);
    return true;
  }
  if (!WriteHeld(replacement)) return false;
  if (size >= kHeldBytes) return WriteOut(replacement, data, size);
  replacement.held.append(data, size);
  return true;
}

ReportWrite FinishReplace(ReplacementHandle handle, std::string* error) {
  Replacement& replacement = *handle;
  if (replacement.temp.empty()) return FinishInPlace(replacement, error);
  if (WriteHeld(replacement) && !Flush(replacement.fd)) replacement.failure = errno;
  const int fd = std::exchange(replacement.fd, -1);
  if (close(fd) != 0 && replacement.failure == 0) replacement.failure = errno;
  if (replacement.failure != 0) {
    *error = "cannot write " + replacement.temp + ": " + ErrorText(replacement.failure);
    return ReportWrite::kFailed;
  }
  if (g_test_hook != nullptr) g_test_hook(replacement.temp);
  if (rename(replacement.temp.c_str(), replacement.target.c_str()) != 0) {
    *error = "cannot replace " + replacement.target + ": " + ErrorText(errno);
    return ReportWrite::kFailed;
  }
  replacement.temp.clear();
  // The rename is on disk only once the folder is. A folder the run may not
  // open for reading cannot be flushed; the file is in place all the same.
  const std::string folder = FolderOf(replacement.target);
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    const bool flushed = Flush(folder_fd);
    const int code = errno;
    close(folder_fd);
    if (!flushed) {
      *error = "cannot flush " + folder + " to disk after replacing " + replacement.target + ": " +
               ErrorText(code);
      return ReportWrite::kFailed;
    }
  }
  return ReportWrite::kReplaced;
}

std::thread StartThread(std::function<void()> body) {
  // A new thread takes the creating thread's mask from its first instruction.
  const sigset_t ending = EndingSignals();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &ending, &previous);
  try {
    std::thread thread(std::move(body));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
}

void SetReplaceFileTestHook(void (*hook)(const std::string& temp_path)) { g_test_hook = hook; }

bool CallReplaceFileConsoleHandler(unsigned long /*event*/) { return false; }

}  // namespace platform
