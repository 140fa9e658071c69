// The output folder inside the image folder: the page a run writes there is
// no frame of the next run's survey.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(OwnOutput, SecondRunOverAnOutputFolderInsideTheImagesIsAsCleanAsTheFirst) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("survey");
  const std::string out = platform::JoinPath(images, "check");
  const testsupport::SurveyFrame frame;
  for (const char* name : {"a.jpg", "b.jpg"}) {
    testsupport::WriteFile(platform::JoinPath(images, name), testsupport::MakeSurveyJpeg(frame));
  }
  testsupport::WriteFile(dir.Join("settings.ini"),
                         "a=true\nb=true\nc=true\nd=true\ne=" + images + "\nf=" + out + "\n");

  const testsupport::ToolRun first = testsupport::RunTool({dir.Join("settings.ini")});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_TRUE(testsupport::FileExists(platform::JoinPath(out, "exifcheck-report.html")));
  const testsupport::ToolRun second = testsupport::RunTool({dir.Join("settings.ini")});
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(second.err, first.err);
  EXPECT_FALSE(testsupport::FileExists(platform::JoinPath(out, "error.json")));
}

}  // namespace
