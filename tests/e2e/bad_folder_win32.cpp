// What a Windows image folder holds that POSIX has not: files another
// program holds open without sharing, and trees deeper than the longest
// narrow path. The run always completes and checks every other image.
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

TEST(BadFolder, FileHeldWithoutSharingIsNumberedButSkippedSilently) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string held = badfolder::WriteFramesAround(images, "b-held.jpg");
  const HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);

  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  CloseHandle(handle);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, ConsoleLines(Joined(Joined(RunHead(dir, images, 3), {"24", "2", ""}),
                                         badfolder::AllClearLines())));
  EXPECT_EQ(run.err, "");
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
