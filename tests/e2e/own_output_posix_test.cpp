// A link named like the report page in a shared output folder: the run puts
// its page in the link's place and never writes the file it leads to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/platform.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(OwnOutputPosix, PageReplacesALinkNamedLikeItAndLeavesWhatItLeadsTo) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string page = dir.Join("out/exifcheck-report.html");
  const std::string notes = dir.Join("elsewhere/notes.txt");
  testsupport::WriteFile(platform::JoinPath(images, "a.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  testsupport::WriteFile(notes, "private notes");
  ASSERT_EQ(chmod(notes.c_str(), 0600), 0);
  testsupport::MakeFolders(dir.Join("out"));
  std::filesystem::create_symlink("../elsewhere/notes.txt", page);
  testsupport::WriteFile(dir.Join("settings.ini"),
                         "a=true\nb=true\nc=true\nd=true\ne=" + images + "\nf=" + dir.Join("out"));

  const testsupport::ToolRun run = testsupport::RunTool({dir.Join("settings.ini")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(std::filesystem::is_symlink(page));
  EXPECT_EQ(testsupport::ReadFile(page).rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_TRUE(testsupport::ReadFile(notes) == "private notes");
  struct stat info {};
  ASSERT_EQ(stat(page.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & 07777, 0600u) << "the page took the mode of the file";
}

}  // namespace
