// POSIX: error.json replaced through a temporary file beside the file it
// names. Users link error.json elsewhere, set its mode, and look at it while
// a run is on; an in-place write served all of that, so the replacement
// keeps it up: the link stays, the mode stays, and a signal never strands the
// temporary file in a folder that a later scan may read.
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

namespace {

void (*g_test_hook)(const std::string& temp_path) = nullptr;

// The kernel gives up on a chain of links after as many.
constexpr int kMaxLinkHops = 40;

std::string Reason(int code) { return ErrorText(code); }

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
      *error = "cannot follow the links from " + path + ": " + Reason(ELOOP);
      return false;
    }
    // st_size may be 0 for links the kernel makes up, so grow until it fits.
    std::string link(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 256, '\0');
    for (;;) {
      const ssize_t length = readlink(current.c_str(), &link[0], link.size());
      if (length < 0) {
        *error = "cannot read the link " + current + ": " + Reason(errno);
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

bool WriteAll(int fd, const std::string& content, bool at_start) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t put = at_start ? pwrite(fd, content.data() + done, content.size() - done,
                                          static_cast<off_t>(done))
                                 : write(fd, content.data() + done, content.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// A fresh name beside `target`, created the way a plain open would create
// error.json, so umask and a default ACL of the folder apply as they always did.
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
      *error = Reason(errno);
      return false;
    }
  }
  if (fchmod(fd, old.st_mode & 07777) != 0) {
    *error = Reason(errno);
    return false;
  }
  return true;
}

ReportWrite WriteInPlace(int fd, const std::string& target, const std::string& content,
                         std::string* error) {
  if (!WriteAll(fd, content, true) || ftruncate(fd, static_cast<off_t>(content.size())) != 0 ||
      !Flush(fd)) {
    *error = "cannot write " + target + " in place: " + Reason(errno);
    return ReportWrite::kFailed;
  }
  return ReportWrite::kWrittenInPlace;
}

// Everything that runs with the ending signals held back. `old_fd` is the old
// file opened for writing, or -1 when there is none.
ReportWrite WriteHeldBack(const std::string& target, const std::string& content, int old_fd,
                          const struct stat& old, std::string* error) {
  const std::string folder = FolderOf(target);
  std::string temp;
  const int fd = CreateTemporary(target, &temp);
  if (fd < 0) {
    const int code = errno;
    *error = "cannot create a temporary file in " + folder + ": " + Reason(code);
    // A full disk would fail an in-place write half-way, so only a refusal
    // of the folder sends the report to the old file.
    if (old_fd >= 0 && (code == EACCES || code == EPERM || code == EROFS)) {
      const std::string reason = *error;
      const ReportWrite result = WriteInPlace(old_fd, target, content, error);
      if (result == ReportWrite::kWrittenInPlace) *error = reason;
      return result;
    }
    return ReportWrite::kFailed;
  }
  std::string reason;
  bool ok = old_fd < 0 || KeepOwnerAndMode(fd, old, &reason);
  if (ok && (!WriteAll(fd, content, false) || !Flush(fd))) {
    reason = Reason(errno);
    ok = false;
  }
  if (close(fd) != 0 && ok) {
    reason = Reason(errno);
    ok = false;
  }
  if (!ok) {
    *error = "cannot write " + temp + ": " + reason;
    unlink(temp.c_str());
    return ReportWrite::kFailed;
  }
  if (g_test_hook != nullptr) g_test_hook(temp);
  if (rename(temp.c_str(), target.c_str()) != 0) {
    *error = "cannot replace " + target + ": " + Reason(errno);
    unlink(temp.c_str());
    return ReportWrite::kFailed;
  }
  // The rename is on disk only once the folder is. A folder the run may not
  // open for reading cannot be flushed; the report is in place all the same.
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    const bool flushed = Flush(folder_fd);
    const int code = errno;
    close(folder_fd);
    if (!flushed) {
      *error =
          "cannot flush " + folder + " to disk after replacing " + target + ": " + Reason(code);
      return ReportWrite::kFailed;
    }
  }
  return ReportWrite::kReplaced;
}

}  // namespace

ReportWrite ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  std::string target;
  if (!FollowLinks(path.c_str(), &target, error)) return ReportWrite::kFailed;

  struct stat old {};
  int old_fd = -1;
  if (stat(target.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) {
      *error = "cannot replace " + target + ": " +
               (S_ISDIR(old.st_mode) ? Reason(EISDIR) : "not a regular file");
      return ReportWrite::kFailed;
    }
    // In-place writing failed on a file the run may not write; so does this.
    old_fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (old_fd < 0) {
      *error = "cannot write " + target + ": " + Reason(errno);
      return ReportWrite::kFailed;
    }
  } else if (errno != ENOENT) {
    *error = "cannot replace " + target + ": " + Reason(errno);
    return ReportWrite::kFailed;
  }

  // Every thread the tool starts holds the ending signals back for its whole
  // life (StartThread), so a signal sent to the process can only be taken by
  // this thread: blocked here, it waits for the replace whatever else runs.
  const sigset_t ending = EndingSignals();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &ending, &previous);
  const ReportWrite result = WriteHeldBack(target, content, old_fd, old, error);
  if (old_fd >= 0) close(old_fd);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return result;
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
