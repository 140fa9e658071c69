// What a Windows image folder holds that POSIX has not: files another
// program holds open without sharing, names outside the code page, and trees
// deeper than the longest narrow path. The run always completes, checks
// every other image, and names what it could not check.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include "e2e/bad_folder.h"
#include "platform/platform.h"
#include "support/jpeg_writer.h"

namespace {

using badfolder::Joined;
using badfolder::RunHead;
using testsupport::ConsoleLines;

// A file another program holds without sharing, one whose name has
// characters the code page lacks, and one whose path is too long for the
// narrow calls: each is numbered but in no group, named once though four
// checks meet it, and the run ends with status 4.
TEST(BadFolder, FilesThatCannotBeOpenedAreNamedOnceAndTheStatusIsFour) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string held = badfolder::WriteFramesAround(images, "b-held.jpg");
  const HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  // U+4E2D U+6587: listed through a code page without them as "??.jpg".
  const std::wstring wide_images(images.begin(), images.end());
  const HANDLE foreign =
      CreateFileW((wide_images + L"\\b2-\u4e2d\u6587.jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(foreign, INVALID_HANDLE_VALUE);
  const testsupport::Bytes frame = testsupport::MakeSurveyJpeg(testsupport::SurveyFrame());
  DWORD written = 0;
  WriteFile(foreign, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr);
  CloseHandle(foreign);
  const bool code_page_lacks_them = GetACP() != 936 && GetACP() != 65001;
  // A name that fits its folder but makes the path longer than narrow calls
  // take: made through the wide calls' long-path form.
  const std::string long_name = "d-" + std::string(230 - images.size() % 10, 'x') + ".jpg";
  const std::string long_path = platform::JoinPath(images, long_name);
  ASSERT_GE(long_path.size(), std::size_t{MAX_PATH});
  const std::wstring wide_long(long_path.begin(), long_path.end());
  const HANDLE too_long = CreateFileW((L"\\\\?\\" + wide_long).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(too_long, INVALID_HANDLE_VALUE);
  CloseHandle(too_long);

  const testsupport::ToolRun run = badfolder::RunAllChecks(dir, images);
  CloseHandle(handle);
  EXPECT_EQ(run.status, 4) << run.err;
  std::vector<std::string> expected{dir.Join("settings.ini")};
  expected = Joined(expected, badfolder::FocalSettings(dir, images, true));
  const int unread = code_page_lacks_them ? 3 : 2;
  expected = Joined(expected, badfolder::AllChecksOverGoodFrames(5, 5 - unread));
  EXPECT_EQ(run.out, ConsoleLines(Joined(expected, badfolder::AllClearLines())));
  EXPECT_EQ(badfolder::Occurrences(
                run.err, "not checked: " + held +
                             ": cannot be opened: another program holds it, or no permission"),
            1)
      << run.err;
  EXPECT_EQ(badfolder::Occurrences(
                run.err, long_name + ": its path is longer than Windows paths may be (259)"),
            1)
      << run.err;
  if (code_page_lacks_them) {
    EXPECT_EQ(badfolder::Occurrences(
                  run.err, "?.jpg: its name has characters outside the system's code page"),
              1)
        << run.err;
  }
  EXPECT_EQ(badfolder::Occurrences(run.err, "not checked"), unread) << run.err;
}

// A narrow path holds at most MAX_PATH bytes: the frames above that depth
// are checked, the folder past it is told as unlistable, and the run ends.
TEST(BadFolder, TreeDeeperThanTheLongestPath) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  std::string deep = images;
  std::string last_listable;
  for (int level = 0; level < 200; ++level) {
    deep = platform::JoinPath(deep, "d");
    // Room for "\*.*" behind the folder when it is listed.
    if (deep.size() + 4 < MAX_PATH) last_listable = deep;
  }
  ASSERT_FALSE(last_listable.empty());
  testsupport::MakeFolders(deep);
  if (!testsupport::FileExists(deep)) GTEST_SKIP() << "this system cannot make the deep tree";
  testsupport::WriteFile(platform::JoinPath(last_listable, "x"), badfolder::NoFocalJpeg());
  testsupport::WriteFile(platform::JoinPath(images, "a.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));

  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(badfolder::Occurrences(run.err, "not checked: " + last_listable), 1) << run.err;
  EXPECT_NE(
      run.out.find(ConsoleLines({"can not found the file ... ", "", "The number of images: 2"})),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(ConsoleLines({"0", "1", "", kGroupErrorCount + std::string("1"),
                                       kErrorImageSequence + std::string("1"),
                                       kMismatchFileName + std::string("x"), "24", "1", ""})),
            std::string::npos)
      << run.out;
}

}  // namespace
