// Replacing error.json on Windows: no leftovers, attributes and access list
// kept, a read-only file left alone, a folder that takes no new file, and
// console interrupts that wait for the report, and replaces written piece
// by piece.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for ReplaceFileA.
#undef ReplaceFile
#include <aclapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/report_write.h"
#include "support/test_files.h"

namespace {

using platform::ReportWrite;
using testsupport::ScopedTempDir;

const std::string& kNew = testsupport::kNewReport;
constexpr DWORD kShownAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

using testsupport::Replace;
using testsupport::Written;

// What the test hook saw of the temporary file before the move.
std::string g_temp;
DWORD g_temp_attributes = 0;

void RecordTemp(const std::string& temp) {
  g_temp = temp;
  g_temp_attributes = GetFileAttributesA(temp.c_str());
}

TEST(ReplaceFileWin32, ReplacesTheReportAndLeavesNoTemporaryFile) {
  ScopedTempDir dir;
  const std::string report = dir.Join("error.json");
  testsupport::WriteFile(report, std::string(5000, 'x'));
  const Written got = Replace(report);
  EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
  EXPECT_EQ(testsupport::ReadFile(report), kNew);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"error.json"});
}

TEST(ReplaceFileWin32, FailedReplaceSaysWhyAndCleansUp) {
  ScopedTempDir dir;
  testsupport::MakeFolders(dir.Join("error.json"));
  testsupport::WriteFile(dir.Join("locked.json"), "old");
  ASSERT_TRUE(SetFileAttributesA(dir.Join("locked.json").c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string missing = dir.Join("missing");
  const struct {
    std::string target;
    std::string reason;
  } cases[] = {
      {dir.Join("error.json"), "cannot replace " + dir.Join("error.json") + ": it is a folder"},
      // An in-place open fails on a read-only file, whoever runs it.
      {dir.Join("locked.json"),
       "cannot write " + dir.Join("locked.json") + ": the file is read-only"},
      {platform::JoinPath(missing, "error.json"), "cannot create a temporary file in " + missing},
  };
  for (const auto& c : cases) {
    const Written got = Replace(c.target, "{}");
    EXPECT_EQ(got.result, ReportWrite::kFailed) << c.target;
    EXPECT_EQ(got.error.substr(0, c.reason.size()), c.reason) << got.error;
  }
  EXPECT_EQ(testsupport::ReadFile(dir.Join("locked.json")), "old");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"error.json", "locked.json"}));
  SetFileAttributesA(dir.Join("locked.json").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ReplaceFileWin32, AttributesOfTheOldFileStay) {
  const DWORD cases[] = {
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
      FILE_ATTRIBUTE_ARCHIVE,
  };
  for (const DWORD attributes : cases) {
    ScopedTempDir dir;
    const std::string report = dir.Join("error.json");
    testsupport::WriteFile(report, "old");
    ASSERT_TRUE(SetFileAttributesA(report.c_str(), attributes));
    g_temp_attributes = 0;
    platform::SetReplaceFileTestHook(RecordTemp);
    const Written got = Replace(report);
    platform::SetReplaceFileTestHook(nullptr);
    EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
    EXPECT_EQ(GetFileAttributesA(report.c_str()) & kShownAttributes, attributes)
        << std::hex << attributes;
    EXPECT_EQ(g_temp_attributes & kShownAttributes, attributes) << std::hex << attributes;
    EXPECT_EQ(testsupport::ReadFile(report), kNew);
    SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

bool DaclProtected(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  LocalFree(descriptor);
  return (control & SE_DACL_PROTECTED) != 0;
}

TEST(ReplaceFileWin32, AccessListOfTheOldFileStays) {
  ScopedTempDir dir;
  const std::string report = dir.Join("error.json");
  testsupport::WriteFile(report, "old");
  // A list of its own that inherits nothing from the folder.
  char everyone[] = "EVERYONE";
  EXPLICIT_ACCESS_A access{};
  BuildExplicitAccessWithNameA(&access, everyone, GENERIC_ALL, SET_ACCESS, NO_INHERITANCE);
  PACL dacl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &dacl), static_cast<DWORD>(ERROR_SUCCESS));
  std::string name = report;
  const DWORD set = SetNamedSecurityInfoA(
      &name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, dacl, nullptr);
  LocalFree(dacl);
  if (set != ERROR_SUCCESS || !DaclProtected(report)) {
    GTEST_SKIP() << "this system keeps no access list of a file's own";
  }
  const Written got = Replace(report);
  EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
  EXPECT_TRUE(DaclProtected(report));
}

// A folder that refuses new files while error.json may still be written.
TEST(ReplaceFileWin32, FolderTakingNoNewFileWritesTheReportInPlace) {
  ScopedTempDir dir;
  const std::string folder = dir.Join("out");
  const std::string report = platform::JoinPath(folder, "error.json");
  testsupport::WriteFile(report, std::string(5000, 'x'));
  char everyone[] = "EVERYONE";
  EXPLICIT_ACCESS_A deny{};
  BuildExplicitAccessWithNameA(&deny, everyone, FILE_ADD_FILE, DENY_ACCESS, NO_INHERITANCE);
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, &old_dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  PACL dacl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &deny, old_dacl, &dacl), static_cast<DWORD>(ERROR_SUCCESS));
  std::string name = folder;
  SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                        nullptr);
  LocalFree(dacl);
  LocalFree(descriptor);
  // Windows ignores the attribute on a folder; Wine, keeping no access lists,
  // takes it for the Unix mode, which counts for all but root.
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string probe = platform::JoinPath(folder, "probe");
  const HANDLE made = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made != INVALID_HANDLE_VALUE) {
    CloseHandle(made);
    DeleteFileA(probe.c_str());
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    GTEST_SKIP() << "this system lets the run add files to the folder anyway";
  }
  const Written got = Replace(report);
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(got.result, ReportWrite::kWrittenInPlace) << got.error;
  EXPECT_EQ(got.error.find("cannot create a temporary file in " + folder + ": "), 0u) << got.error;
  EXPECT_EQ(testsupport::ReadFile(report), kNew);
  EXPECT_EQ(Names(folder), std::set<std::string>{"error.json"});
}

// The console handler runs on a thread of the system's; here a thread of the
// test's calls it from inside the write, while threads of the tool's sit
// waiting. It must not return before the report is in place, and then it
// must leave the event to the default handling, which ends the process.
std::atomic<bool> g_handler_returned{false};
std::atomic<bool> g_returned_early{false};
bool g_handler_answer = true;
bool g_final_when_returned = false;
std::string g_report;
std::thread g_interrupt;
unsigned long g_event = 0;

void InterruptInTheWindow(const std::string& temp) {
  g_temp = temp;
  g_interrupt = std::thread([] {
    g_handler_answer = platform::CallReplaceFileConsoleHandler(g_event);
    g_final_when_returned =
        testsupport::ReadFile(g_report) == kNew && !testsupport::FileExists(g_temp);
    g_handler_returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  g_returned_early = g_handler_returned.load();
}

// The same interrupt between two appends of a streamed replace.
Written ReplaceInterruptedBetweenAppends(const std::string& path) {
  Written out;
  platform::ReplacementHandle replacement =
      platform::BeginReplace(path, platform::LinkPolicy::kReplaceLink, &out.error);
  if (!replacement) return out;
  platform::AppendToReplacement(*replacement, kNew.data(), 3);
  InterruptInTheWindow("");
  platform::AppendToReplacement(*replacement, kNew.data() + 3, kNew.size() - 3);
  out.result = platform::FinishReplace(std::move(replacement), &out.error);
  return out;
}

TEST(ReplaceFileWin32, ConsoleInterruptWaitsForTheReport) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(platform::StartThread([&stop] {
      while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }));
  }
  const std::pair<unsigned long, bool> cases[] = {{CTRL_C_EVENT, false},
                                                  {CTRL_BREAK_EVENT, false},
                                                  {CTRL_CLOSE_EVENT, false},
                                                  {CTRL_C_EVENT, true}};
  for (const auto& [event, streamed] : cases) {
    ScopedTempDir dir;
    g_report = dir.Join("error.json");
    testsupport::WriteFile(g_report, std::string(5000, 'x'));
    g_event = event;
    g_handler_returned = false;
    g_handler_answer = true;
    g_final_when_returned = false;
    platform::SetReplaceFileTestHook(streamed ? nullptr : InterruptInTheWindow);
    const Written got = streamed ? ReplaceInterruptedBetweenAppends(g_report) : Replace(g_report);
    platform::SetReplaceFileTestHook(nullptr);
    ASSERT_TRUE(g_interrupt.joinable()) << event;
    g_interrupt.join();
    EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
    EXPECT_FALSE(g_returned_early) << event << streamed;
    EXPECT_TRUE(g_final_when_returned) << event << streamed;
    EXPECT_FALSE(g_handler_answer) << event;
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"error.json"}) << event;
  }
  stop = true;
  for (std::thread& thread : threads) thread.join();
  // Outside a write the handler passes the event on at once.
  EXPECT_FALSE(platform::CallReplaceFileConsoleHandler(CTRL_C_EVENT));
}

// Rows become CR LF lines, also where a CR doubles a block held back; a
// replace dropped unfinished leaves the old file and nothing else.
TEST(ReplaceFileWin32, StreamedReplaceWritesTextModeLineEndsOrNothing) {
  for (const bool finish : {true, false}) {
    ScopedTempDir dir;
    const std::string table = dir.Join("frames.csv");
    testsupport::WriteFile(table, "old");
    std::string error;
    platform::ReplacementHandle replacement =
        platform::BeginReplace(table, platform::LinkPolicy::kReplaceLink, &error);
    ASSERT_TRUE(replacement) << error;
    std::string expected;
    for (const std::string& piece : {std::string("a,b\n"), std::string(70000, '\n')}) {
      EXPECT_TRUE(platform::AppendToReplacement(*replacement, piece.data(), piece.size()));
      for (const char c : piece) expected += c == '\n' ? "\r\n" : std::string(1, c);
    }
    if (finish) {
      EXPECT_EQ(platform::FinishReplace(std::move(replacement), &error), ReportWrite::kReplaced);
    }
    replacement.reset();
    EXPECT_TRUE(testsupport::ReadFile(table) == (finish ? expected : "old")) << finish;
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"frames.csv"}) << finish;
  }
}

// Something already under the temporary file's name is never opened.
TEST(ReplaceFileWin32, TemporaryFileTakesAFreeName) {
  ScopedTempDir dir;
  const std::string page = dir.Join("page.html");
  const std::string taken = page + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  testsupport::MakeFolders(taken);
  testsupport::WriteFile(taken + "-1.tmp", "someone's");
  const Written got = Replace(page);
  EXPECT_EQ(got.result, ReportWrite::kReplaced) << got.error;
  EXPECT_EQ(testsupport::ReadFile(page), kNew);
  EXPECT_EQ(testsupport::ReadFile(taken + "-1.tmp"), "someone's");
  EXPECT_EQ(Names(dir.path()).size(), 3u);
}

}  // namespace
