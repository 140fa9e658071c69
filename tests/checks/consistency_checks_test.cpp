// The checks in process, on image lists that may name files that are gone.
#include "checks/consistency_checks.h"

#include <gtest/gtest.h>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/console_text.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"

namespace {

using testsupport::CapturedLines;
using testsupport::Numbered;

TEST(ConsistencyChecks, ResolutionWorkedExampleLineForLine) {
  testsupport::ScopedTempDir dir;
  testsupport::SurveyFrame frame;
  frame.width = 640;
  frame.height = 480;
  const ImageList images = {dir.Join("a.jpg"), dir.Join("b.jpg"), dir.Join("c.jpg"),
                            platform::JoinPath(dir.Join("sub"), "d.jpg")};
  testsupport::WriteFile(images[0], testsupport::MakeSurveyJpeg(frame));
  testsupport::WriteFile(images[1], testsupport::MakeSurveyJpeg(frame));
  frame.width = 800;
  frame.height = 600;
  testsupport::WriteFile(images[3], testsupport::MakeSurveyJpeg(frame));  // c.jpg is gone

  std::vector<std::string> findings;
  bool flag = false;
  testing::internal::CaptureStdout();
  FrameStore frames(images);
  CheckResolution(frames, findings, flag);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed,
            CapturedLines({"", "The number of images: 4", Numbered(kImageSequence, 1),
                           Numbered(kImageSequence, 2), Numbered(kImageSequence, 3),
                           Numbered(kImageSequence, 4), "640*480", "2", "", "800*600", "1", "",
                           Numbered(kGroupErrorCount, 1), Numbered(kErrorImageSequence, 1),
                           std::string(kMismatchFileName) + "d.jpg"}));
  EXPECT_EQ(findings, std::vector<std::string>{"d.jpg"});
  EXPECT_TRUE(flag);
}

TEST(ConsistencyChecks, KeysOfEachCheck) {
  testsupport::ScopedTempDir dir;
  struct Case {
    const char* what;
    CheckFunction check;
    testsupport::SurveyFrame frame;
    std::string key;  // empty: no group at all
  };
  std::vector<Case> cases;
  testsupport::SurveyFrame f;
  f.width = 0x80000000u;  // shown as a signed 32-bit number
  cases.push_back({"resolution sign", CheckResolution, f, "-2147483648*3000"});
  f = testsupport::SurveyFrame();
  f.focal_35mm = 65535;
  cases.push_back({"focal 65535", CheckFocalLength, f, "65535"});
  f.gps = testsupport::GpsFix{-33.9, -18.4, 12.0};
  cases.push_back({"south-west position is present", CheckGps, f, ""});
  f.gps = std::nullopt;
  cases.push_back({"no position", CheckGps, f, "0"});
  f.make = std::string(40, 'M');
  cases.push_back({"long maker", CheckMaker, f, std::string(40, 'M')});
  for (const Case& c : cases) {
    const std::string path = dir.Join("one.jpg");
    testsupport::WriteFile(path, testsupport::MakeSurveyJpeg(c.frame));
    std::vector<std::string> findings;
    bool flag = false;
    testing::internal::CaptureStdout();
    const ImageList images = {path};
    FrameStore frames(images);
    c.check(frames, findings, flag);
    const std::string printed = testing::internal::GetCapturedStdout();
    std::vector<std::string> lines = {"", "The number of images: 1", Numbered(kImageSequence, 1)};
    if (!c.key.empty()) lines.insert(lines.end(), {c.key, "1", ""});
    if (c.key == "0") {
      lines.insert(lines.end(), {Numbered(kGroupErrorCount, 1), Numbered(kErrorImageSequence, 1),
                                 std::string(kMismatchFileName) + "one.jpg"});
    }
    EXPECT_EQ(printed, CapturedLines(lines)) << c.what;
    EXPECT_EQ(flag, c.key == "0") << c.what;
  }
}

TEST(ConsistencyChecks, EmptyListPrintsOnlyTheHeader) {
  for (auto check : {CheckResolution, CheckMaker, CheckFocalLength, CheckGps}) {
    std::vector<std::string> findings;
    bool flag = false;
    testing::internal::CaptureStdout();
    const ImageList none;
    FrameStore frames(none);
    check(frames, findings, flag);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              CapturedLines({"", "The number of images: 0"}));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(findings.empty());
  }
}

}  // namespace
