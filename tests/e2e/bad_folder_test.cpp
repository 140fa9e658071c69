// What a real image folder holds besides good frames, on every system: odd
// names and very many files. The run completes and checks every image.
#include "e2e/bad_folder.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/jpeg_writer.h"
#include "support/report_json.h"

namespace {

using badfolder::Joined;
using badfolder::RunHead;
using testsupport::ConsoleLines;

TEST(BadFolder, OddNamesAreCheckedAndReportedAsStored) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  std::vector<std::string> names = {"with space.jpg", " leading space.jpg", "-leading-dash.jpg",
                                    "--help", "\xd3\xb0\xcf\xf1.jpg"};
  if (platform::kPathSeparator == '/') {  // no Windows name holds these
    names.push_back("quote\".jpg");
    names.push_back("back\\slash.jpg");
  }
  for (const std::string& name : names) {
    testsupport::WriteFile(platform::JoinPath(images, name),
                           testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  }
  const std::string deviant = "\xd3\xb0 \"no\" focal.jpg";
  const std::string stored = platform::kPathSeparator == '/' ? deviant : "\xd3\xb0 no focal.jpg";
  testsupport::WriteFile(platform::JoinPath(images, stored), badfolder::NoFocalJpeg());

  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  const int count = static_cast<int>(names.size()) + 1;
  const std::string escaped =
      platform::kPathSeparator == '/' ? "\xd3\xb0 \\\"no\\\" focal.jpg" : stored;
  const std::string json = testsupport::ReportJson({}, {}, {escaped}, {});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            ConsoleLines(Joined(RunHead(dir, images, count),
                                {"0", "1", "", kGroupErrorCount + std::string("1"),
                                 kErrorImageSequence + std::string("1"), kMismatchFileName + stored,
                                 "24", std::to_string(count - 1), "", json})));
  EXPECT_EQ(testsupport::ReadFile(platform::JoinPath(dir.Join("out"), "error.json")), json);
  EXPECT_EQ(run.err, "");
}

TEST(BadFolder, TwentyThousandFilesInOneFolder) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string many = platform::JoinPath(images, "many");
  testsupport::MakeFolders(many);
  testsupport::WriteFile(platform::JoinPath(images, "frame.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  // Empty files: what a copy that never got its data leaves behind.
  for (int i = 0; i < 20000; ++i) {
    testsupport::WriteFile(platform::JoinPath(many, "f" + std::to_string(100000 + i)), "");
  }
  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(ConsoleLines({"The number of images: 20001"})), std::string::npos);
  EXPECT_NE(run.out.find(ConsoleLines({"24", "1", "", "error", "20000", ""})), std::string::npos);
  EXPECT_NE(run.out.find(ConsoleLines({kErrorImageSequence + std::string("20000")})),
            std::string::npos);
  EXPECT_EQ(run.err, "");
}

}  // namespace
