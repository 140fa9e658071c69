// Replacing error.json on POSIX: links, permissions, a folder that takes no
// new file, and signals that arrive while the report is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "checks/check_findings.h"
#include "platform/platform.h"
#include "report/error_report.h"
#include "support/report_write.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using platform::ReportWrite;
using testsupport::ScopedTempDir;

constexpr uid_t kNobody = 65534;
const std::string& kNew = testsupport::kNewReport;

// Every path below `root`, relative to it, links as links.
void AddTree(const fs::path& root, const fs::path& folder, std::set<std::string>* names) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    names->insert(entry.path().lexically_relative(root).string());
    if (fs::is_directory(entry.symlink_status())) AddTree(root, entry.path(), names);
  }
}

std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> names;
  AddTree(root, root, &names);
  return names;
}

mode_t Mode(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::string FolderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// What the test hook saw of the temporary file before it took the target's place.
struct TempSeen {
  std::string path;
  std::string content;
  mode_t mode = 0;
};
TempSeen g_seen;

void RecordTemp(const std::string& temp) {
  g_seen = {temp, testsupport::ReadFile(temp), Mode(temp)};
}

using testsupport::Replace;
using testsupport::Written;

// Root writes where permissions forbid it; such cases run with the effective
// user "nobody", who must then be let into the test's folder.
Written ReplaceAsUser(const std::string& path, const std::string& content = kNew) {
  const bool as_root = geteuid() == 0;
  if (as_root && seteuid(kNobody) != 0) return {ReportWrite::kFailed, "seteuid failed"};
  const Written out = Replace(path, content);
  if (as_root && seteuid(0) != 0) std::abort();
  return out;
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(umask(mask)) {}
  ~ScopedUmask() { umask(previous_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t previous_;
};

TEST(ReplaceFilePosix, LinksStayAndTheFileTheyLeadToIsReplaced) {
  // Link texts: "@" stands for the test's folder; files are made first.
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::pair<std::string, std::string>> links;
    std::string replaced;
  } cases[] = {
      {"plain file, longer before",
       {{"out/error.json", std::string(5000, 'x')}},
       {},
       "out/error.json"},
      {"relative link",
       {{"real/report.json", "old"}},
       {{"out/error.json", "../real/report.json"}},
       "real/report.json"},
      {"absolute link",
       {{"real/report.json", "old"}},
       {{"out/error.json", "@/real/report.json"}},
       "real/report.json"},
      // Each hop is read from its own folder, not from the first link's.
      {"chain of relative links",
       {{"real/report.json", "old"}},
       {{"out/error.json", "a/hop1"},
        {"out/a/hop1", "../../real/hop2"},
        {"real/hop2", "report.json"}},
       "real/report.json"},
      {"dangling link",
       {{"real/placeholder", ""}},
       {{"out/error.json", "../real/new.json"}},
       "real/new.json"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    for (const auto& file : c.files) testsupport::WriteFile(dir.Join(file.first), file.second);
    for (const auto& link : c.links) {
      std::string text = link.second;
      if (text[0] == '@') text = dir.path() + text.substr(1);
      testsupport::MakeFolders(FolderOf(dir.Join(link.first)));
      fs::create_symlink(text, dir.Join(link.first));
    }
    std::set<std::string> expected = Tree(dir.path());
    expected.insert(c.replaced);
    g_seen = {};
    platform::SetReplaceFileTestHook(RecordTemp);
    const Written got = Replace(dir.Join("out/error.json"));
    platform::SetReplaceFileTestHook(nullptr);

    EXPECT_EQ(got.result, ReportWrite::kReplaced) << c.name << ": " << got.error;
    EXPECT_EQ(testsupport::ReadFile(dir.Join(c.replaced)), kNew) << c.name;
    for (const auto& link : c.links) {
      EXPECT_TRUE(fs::is_symlink(dir.Join(link.first))) << c.name << ": " << link.first;
    }
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(FolderOf(g_seen.path), FolderOf(dir.Join(c.replaced)), ec))
        << c.name << ": temporary file " << g_seen.path;
    EXPECT_EQ(g_seen.content, kNew) << c.name << ": the temporary file was not complete";
    EXPECT_EQ(Tree(dir.path()), expected) << c.name;
  }
}

// The page's policy: whatever a link named like it leads to is left as it
// was, and the page takes the link's place with a mode of its own.
TEST(ReplaceFilePosix, PageTakesTheLinksPlaceAndNothingOfWhatItLeadsTo) {
  const struct {
    const char* name;
    std::string link;  // empty: a plain old page of mode 0640
    mode_t expected_mode;
  } cases[] = {
      {"link to a private file", "../elsewhere/notes.txt", 0644},
      {"dangling link", "../elsewhere/new.txt", 0644},
      {"link to a folder", "../elsewhere", 0644},
      {"link to itself", "page.html", 0644},
      {"plain old page", "", 0640},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    const std::string page = dir.Join("out/page.html");
    const std::string notes = dir.Join("elsewhere/notes.txt");
    testsupport::WriteFile(notes, "private");
    ASSERT_EQ(chmod(notes.c_str(), 0600), 0);
    testsupport::MakeFolders(dir.Join("out"));
    if (c.link.empty()) {
      testsupport::WriteFile(page, "old page");
      ASSERT_EQ(chmod(page.c_str(), 0640), 0);
    } else {
      fs::create_symlink(c.link, page);
    }
    const std::set<std::string> before = Tree(dir.path());
    Written got;
    {
      const ScopedUmask mask(022);
      got.result =
          platform::ReplaceFile(page, kNew, &got.error, platform::LinkPolicy::kReplaceLink);
    }

    EXPECT_EQ(got.result, ReportWrite::kReplaced) << c.name << ": " << got.error;
    EXPECT_FALSE(fs::is_symlink(page)) << c.name;
    EXPECT_EQ(testsupport::ReadFile(page), kNew) << c.name;
    EXPECT_EQ(Mode(page), c.expected_mode) << c.name;
    EXPECT_EQ(testsupport::ReadFile(notes), "private") << c.name;
    EXPECT_EQ(Mode(notes), 0600u) << c.name;
    EXPECT_EQ(Tree(dir.path()), before) << c.name;
  }
}

TEST(ReplaceFilePosix, ModeOfAnOldFileStaysAndANewFileGetsThePlainOne) {
  const struct {
    mode_t mask;
    int old_mode;  // -1: no old file
    mode_t expected;
  } cases[] = {
      {022, 0640, 0640}, {022, 0600, 0600}, {077, 0604, 0604}, {0, 0751, 0751},
      {022, -1, 0644},   {077, -1, 0600},   {0, -1, 0666},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    const std::string report = dir.Join("error.json");
    if (c.old_mode >= 0) {
      testsupport::WriteFile(report, "old");
      ASSERT_EQ(chmod(report.c_str(), static_cast<mode_t>(c.old_mode)), 0);
    }
    g_seen = {};
    platform::SetReplaceFileTestHook(RecordTemp);
    Written got;
    {
      const ScopedUmask mask(c.mask);
      got = Replace(report);
    }
    platform::SetReplaceFileTestHook(nullptr);
    EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
    EXPECT_EQ(Mode(report), c.expected) << std::oct << "umask " << c.mask << ", old " << c.old_mode;
    // The mode is set before the content goes in, not after the rename.
    EXPECT_EQ(g_seen.mode, c.expected) << std::oct << "umask " << c.mask << ", old " << c.old_mode;
  }
}

TEST(ReplaceFilePosix, OwnerAndGroupStayWhereTheRunMaySetThem) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may hand a file to another owner";
  ScopedTempDir dir;
  const std::string report = dir.Join("error.json");
  testsupport::WriteFile(report, "old");
  ASSERT_EQ(chown(report.c_str(), kNobody, kNobody), 0);
  const Written got = Replace(report);
  EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
  struct stat info {};
  ASSERT_EQ(stat(report.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, kNobody);
  EXPECT_EQ(info.st_gid, kNobody);
}

// A folder that takes no new file: the old file, where the user may write
// it, is overwritten in place, whatever its length was.
TEST(ReplaceFilePosix, ReadOnlyFolderWritesAWritableReportInPlace) {
  const struct {
    const char* name;
    int old_mode;  // -1: no old file
    std::string old_content;
    ReportWrite result;
    const char* reason;
  } cases[] = {
      {"longer old file", 0666, std::string(5000, 'x'), ReportWrite::kWrittenInPlace,
       "cannot create a temporary file in @: Permission denied"},
      {"shorter old file", 0666, "{}", ReportWrite::kWrittenInPlace,
       "cannot create a temporary file in @: Permission denied"},
      {"no old file", -1, "", ReportWrite::kFailed,
       "cannot create a temporary file in @: Permission denied"},
      {"read-only old file", 0444, "old", ReportWrite::kFailed,
       "cannot write @/error.json: Permission denied"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    const std::string folder = dir.Join("out");
    const std::string report = platform::JoinPath(folder, "error.json");
    testsupport::MakeFolders(folder);
    if (c.old_mode >= 0) {
      testsupport::WriteFile(report, c.old_content);
      ASSERT_EQ(chmod(report.c_str(), static_cast<mode_t>(c.old_mode)), 0);
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    const Written got = ReplaceAsUser(report);
    std::string reason = c.reason;
    reason.replace(reason.find('@'), 1, folder);

    EXPECT_EQ(got.result, c.result) << c.name;
    EXPECT_EQ(got.error, reason) << c.name;
    const std::string expected = c.result == ReportWrite::kWrittenInPlace ? kNew : c.old_content;
    EXPECT_EQ(testsupport::ReadFile(report), expected) << c.name;
    EXPECT_EQ(testsupport::FileExists(report), c.old_mode >= 0) << c.name;
    if (c.old_mode >= 0) {
      EXPECT_EQ(Mode(report), static_cast<mode_t>(c.old_mode)) << c.name;
    }
  }
}

TEST(ReplaceFilePosix, WhatCannotBeReplacedIsLeftAloneAndSaysWhy) {
  const struct {
    const char* name;
    std::function<void(const std::string& report)> make;
    const char* reason;
  } cases[] = {
      {"a folder", [](const std::string& r) { testsupport::MakeFolders(r); }, "Is a directory"},
      {"a FIFO", [](const std::string& r) { ASSERT_EQ(mkfifo(r.c_str(), 0666), 0); },
       "not a regular file"},
      {"a link to itself", [](const std::string& r) { fs::create_symlink("error.json", r); },
       "Too many levels of symbolic links"},
      {"a link into a missing folder",
       [](const std::string& r) { fs::create_symlink("missing/error.json", r); },
       "No such file or directory"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    const std::string report = dir.Join("error.json");
    c.make(report);
    const std::set<std::string> before = Tree(dir.path());
    const Written got = Replace(report);
    EXPECT_EQ(got.result, ReportWrite::kFailed) << c.name;
    EXPECT_NE(got.error.find(c.reason), std::string::npos) << c.name << ": " << got.error;
    EXPECT_NE(got.error.find(dir.path()), std::string::npos) << c.name << ": " << got.error;
    EXPECT_EQ(Tree(dir.path()), before) << c.name;
  }
}

TEST(ReplaceFilePosix, SignalMaskIsGivenBackAsItWas) {
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGHUP);
  sigset_t before;
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &before), 0);
  ScopedTempDir dir;
  Replace(dir.Join("error.json"));
  sigset_t after;
  pthread_sigmask(SIG_SETMASK, &before, &after);
  EXPECT_EQ(sigismember(&after, SIGHUP), 1);
  EXPECT_EQ(sigismember(&after, SIGTERM), sigismember(&before, SIGTERM));
  EXPECT_EQ(sigismember(&after, SIGINT), sigismember(&before, SIGINT));
}

// The child stops in the window between a written temporary file and the
// rename; the parent signals it there and lets it go on.
int g_ready_fd = -1;
int g_go_fd = -1;

void StopInTheWindow(const std::string& /*temp*/) {
  const char byte = 'r';
  char answer = 0;
  if (write(g_ready_fd, &byte, 1) != 1 || read(g_go_fd, &answer, 1) != 1) _exit(3);
}

TEST(ReplaceFilePosix, SignalDuringTheWriteWaitsForTheReportAndLeavesNoTemporaryFile) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    ScopedTempDir dir;
    const std::string report = dir.Join("error.json");
    testsupport::WriteFile(report, std::string(5000, 'x'));
    const std::string content(100000, 'n');
    int ready[2];
    int go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // A shell may start the tests with SIGINT ignored; here it must count.
      signal(signal_number, SIG_DFL);
      sigset_t set;
      sigemptyset(&set);
      sigaddset(&set, signal_number);
      pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      g_ready_fd = ready[1];
      g_go_fd = go[0];
      platform::SetReplaceFileTestHook(StopInTheWindow);
      std::string error;
      platform::ReplaceFile(report, content, &error);
      _exit(0);
    }
    close(ready[1]);
    close(go[0]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << strsignal(signal_number);
    ASSERT_EQ(kill(child, signal_number), 0);
    // A child that died at once has closed the pipe: say so, don't die of SIGPIPE.
    void (*previous)(int) = signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(write(go[1], "g", 1), 1) << strsignal(signal_number) << ": the child did not wait";
    signal(SIGPIPE, previous);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(ready[0]);
    close(go[1]);

    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number)
        << strsignal(signal_number) << ": status " << status;
    EXPECT_TRUE(testsupport::ReadFile(report) == content) << strsignal(signal_number);
    EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"error.json"}) << strsignal(signal_number);
  }
}

// Content given in pieces of every size around the held-back block.
TEST(ReplaceFilePosix, StreamedReplaceWritesThePiecesAsOneFile) {
  const std::vector<std::size_t> cases[] = {{},
                                            {1},
                                            {100, 65436, 1},
                                            {65536, 65536, 3},
                                            {7, 200000, 7},
                                            std::vector<std::size_t>(30000, 11)};
  for (const auto& pieces : cases) {
    ScopedTempDir dir;
    const std::string table = dir.Join("frames.csv");
    testsupport::WriteFile(table, std::string(300000, 'o'));
    std::string expected;
    std::string error;
    platform::ReplacementHandle replacement =
        platform::BeginReplace(table, platform::LinkPolicy::kReplaceLink, &error);
    ASSERT_TRUE(replacement) << error;
    for (const std::size_t size : pieces) {
      const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
      expected += piece;
      EXPECT_TRUE(platform::AppendToReplacement(*replacement, piece.data(), piece.size()));
    }
    // Nothing is in place before the finish.
    EXPECT_EQ(testsupport::ReadFile(table), std::string(300000, 'o')) << pieces.size();
    EXPECT_EQ(platform::FinishReplace(std::move(replacement), &error), ReportWrite::kReplaced)
        << error;
    EXPECT_TRUE(testsupport::ReadFile(table) == expected) << pieces.size() << " pieces";
    EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"frames.csv"}) << pieces.size();
  }
}

// Dropped unfinished, or failed at the file size limit (whose SIGXFSZ, held
// back, comes once the replace is over: ignored here).
TEST(ReplaceFilePosix, StreamedReplaceDroppedOrFailedLeavesTheOldFileAndNoTemporaryFile) {
  for (const bool dropped : {true, false}) {
    ScopedTempDir dir;
    const std::string table = dir.Join("frames.csv");
    testsupport::WriteFile(table, "old");
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit small{100000, before.rlim_max};
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    if (!dropped) setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    platform::ReplacementHandle replacement =
        platform::BeginReplace(table, platform::LinkPolicy::kReplaceLink, &error);
    ASSERT_TRUE(replacement) << error;
    const std::string row(1000, 'r');
    bool appended = true;
    for (int i = 0; i < 300; ++i) {
      appended = platform::AppendToReplacement(*replacement, row.data(), row.size()) && appended;
    }
    EXPECT_EQ(appended, dropped);
    if (!dropped) {
      EXPECT_EQ(platform::FinishReplace(std::move(replacement), &error), ReportWrite::kFailed);
      EXPECT_EQ(error.rfind("cannot write " + table + "."), 0u) << error;
      EXPECT_NE(error.find(": File too large"), std::string::npos) << error;
    }
    replacement.reset();
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(testsupport::ReadFile(table), "old") << dropped;
    EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"frames.csv"}) << dropped;
  }
}

// Threads sit waiting while the main thread replaces the report and the
// process is sent SIGTERM from inside the replace. Whichever thread the
// kernel picks, the signal must wait for the rename.
void SignalTheProcess(const std::string& /*temp*/) { kill(getpid(), SIGTERM); }

TEST(ReplaceFilePosix, SigtermWithThreadsRunningWaitsForTheReport) {
  for (const bool streamed : {false, true}) {  // signalled between appends or before the rename
    ScopedTempDir dir;
    const std::string report = dir.Join("error.json");
    testsupport::WriteFile(report, "old");
    const std::string content(100000, 'n');
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGTERM, SIG_DFL);
      std::vector<std::thread> threads;
      for (int i = 0; i < 4; ++i) {
        threads.push_back(platform::StartThread([] {
          for (;;) pause();
        }));
      }
      for (std::thread& thread : threads) thread.detach();
      usleep(20000);  // every thread is waiting by now
      std::string error;
      if (streamed) {
        platform::ReplacementHandle replacement =
            platform::BeginReplace(report, platform::LinkPolicy::kFollowLink, &error);
        if (!replacement) _exit(3);
        platform::AppendToReplacement(*replacement, content.data(), 1000);
        kill(getpid(), SIGTERM);
        usleep(20000);
        platform::AppendToReplacement(*replacement, content.data() + 1000, content.size() - 1000);
        platform::FinishReplace(std::move(replacement), &error);
      } else {
        platform::SetReplaceFileTestHook(SignalTheProcess);
        platform::ReplaceFile(report, content, &error);
      }
      usleep(200000);  // time for a signal that was not held back to land
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << streamed << ": " << status;
    EXPECT_TRUE(testsupport::ReadFile(report) == content) << streamed;
    EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"error.json"}) << streamed;
  }
}

TEST(WriteReportPosix, InPlaceWriteIsToldOnStandardError) {
  ScopedTempDir dir;
  const std::string folder = dir.Join("out");
  const std::string report = platform::JoinPath(folder, "error.json");
  testsupport::WriteFile(report, std::string(5000, 'x'));
  ASSERT_EQ(chmod(report.c_str(), 0666), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  CheckFindings findings;
  findings[kGpsFindings] = {"g.jpg"};

  const bool as_root = geteuid() == 0;
  if (as_root) {
    ASSERT_EQ(seteuid(kNobody), 0);
  }
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  WriteErrorReport(findings, folder);
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string out = testing::internal::GetCapturedStdout();
  if (as_root) {
    ASSERT_EQ(seteuid(0), 0);
  }

  EXPECT_EQ(out, ErrorReportJson(findings) + "\n");
  EXPECT_EQ(err,
            "exifcheck: error.json written in place, not atomically: cannot create a "
            "temporary file in " +
                folder + ": Permission denied\n");
  EXPECT_EQ(testsupport::ReadFile(report), ErrorReportJson(findings));
}

}  // namespace
