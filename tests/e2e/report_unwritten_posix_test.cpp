// Images reported but error.json not writable: status 6, the old report
// kept as it was, and the names on the console. Root writes anywhere, so
// the tool runs as "nobody" for this.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(ReportUnwritten, StatusSixAndTheOldReportStays) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string out = dir.Join("out");
  testsupport::SurveyFrame frame;
  testsupport::WriteFile(platform::JoinPath(images, "a.jpg"), testsupport::MakeSurveyJpeg(frame));
  frame.gps = std::nullopt;
  testsupport::WriteFile(platform::JoinPath(images, "b.jpg"), testsupport::MakeSurveyJpeg(frame));
  const std::string old_report = platform::JoinPath(out, "error.json");
  testsupport::WriteFile(old_report, "{\"from\":\"an earlier run\"}");
  ASSERT_EQ(chmod(out.c_str(), 0555), 0);
  testsupport::WriteFile(dir.Join("settings.ini"),
                         "a=off\nb=true\nc=off\nd=off\ne=" + images + "\nf=" + out + "\n");
  testsupport::ToolOptions as_user;
  as_user.unprivileged = true;

  const testsupport::ToolRun run = testsupport::RunTool({dir.Join("settings.ini")}, as_user);
  chmod(out.c_str(), 0755);
  EXPECT_EQ(run.status, 6) << run.err;
  EXPECT_NE(run.out.find("b.jpg"), std::string::npos) << run.out;
  EXPECT_EQ(testsupport::ReadFile(old_report), "{\"from\":\"an earlier run\"}");
  EXPECT_NE(run.err.find("error.json could not be written"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("exifcheck-report.html and exifcheck-frames.csv not written"),
            std::string::npos)
      << run.err;
}

}  // namespace
