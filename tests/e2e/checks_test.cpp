// The four checks run from the built binary on surveys the tests write:
// console output, error.json and exit status compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/console_text.h"
#include "support/jpeg_writer.h"
#include "support/report_json.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

using testsupport::ConsoleLines;
using testsupport::SurveyFrame;

using testsupport::Numbered;

class Checks : public testing::Test {
 protected:
  void SetUp() override {
    images_ = dir_.Join("images");
    output_ = dir_.Join("out");
    testsupport::MakeFolders(images_);
  }
  std::string Image(const std::string& name) const { return platform::JoinPath(images_, name); }
  void Frame(const std::string& name, const SurveyFrame& frame) {
    testsupport::WriteFile(Image(name), testsupport::MakeSurveyJpeg(frame));
  }
  // Runs with the named switches on; returns the console lines after the settings.
  testsupport::ToolRun Run(bool resolution, bool maker, bool focal, bool gps) {
    const auto sw = [](bool on) { return on ? std::string("true") : std::string("off"); };
    settings_lines_ = {"a=" + sw(focal),      "b=" + sw(gps), "c=" + sw(maker),
                       "d=" + sw(resolution), "e=" + images_, "f=" + output_};
    std::string text;
    for (const std::string& line : settings_lines_) text += line + "\n";
    const std::string settings = dir_.Join("settings.ini");
    testsupport::WriteFile(settings, text);
    settings_lines_.insert(settings_lines_.begin(), settings);
    return testsupport::RunTool({settings});
  }
  std::string Prefix() const { return ConsoleLines(settings_lines_); }
  std::string Report() const {
    return testsupport::ReadFile(platform::JoinPath(output_, "error.json"));
  }

  testsupport::ScopedTempDir dir_;
  std::string images_, output_;
  std::vector<std::string> settings_lines_;
};

TEST_F(Checks, ResolutionWorkedExample) {
  SurveyFrame frame;
  frame.width = 640;
  frame.height = 480;
  Frame("a.jpg", frame);
  Frame("b.jpg", frame);
  frame.width = 800;
  frame.height = 600;
  testsupport::MakeFolders(Image("sub"));
  testsupport::WriteFile(platform::JoinPath(Image("sub"), "d.jpg"),
                         testsupport::MakeSurveyJpeg(frame));
  const testsupport::ToolRun run = Run(true, false, false, false);
  EXPECT_EQ(run.status, 1);
  const std::string json = testsupport::ReportJson({"d.jpg"}, {}, {}, {});
  EXPECT_EQ(
      run.out,
      Prefix() + ConsoleLines({"", "The number of images: 3", Numbered(kImageSequence, 1),
                               Numbered(kImageSequence, 2), Numbered(kImageSequence, 3), "640*480",
                               "2", "", "800*600", "1", "", Numbered(kGroupErrorCount, 1),
                               Numbered(kErrorImageSequence, 1),
                               std::string(kMismatchFileName) + "d.jpg", json}));
  EXPECT_EQ(Report(), json);
  EXPECT_EQ(run.err, "");
}

TEST_F(Checks, FocalLengthAndGpsReportMissingEntriesAndNonImages) {
  SurveyFrame frame;
  Frame("a1.jpg", frame);
  Frame("a2.jpg", frame);
  frame.focal_35mm = 35;
  Frame("a3.jpg", frame);
  frame.focal_35mm = 0;
  frame.gps = testsupport::GpsFix{30.0, 120.0, 0.0};  // altitude 0: no position
  Frame("a4.jpg", frame);
  testsupport::WriteFile(Image("a5.txt"), "not an image");
  const testsupport::ToolRun run = Run(false, false, true, true);
  EXPECT_EQ(run.status, 1);
  std::vector<std::string> header = {"", "The number of images: 5"};
  for (int i = 1; i <= 5; ++i) header.push_back(Numbered(kImageSequence, i));
  const auto reported = [](const char* name) {
    return std::vector<std::string>{Numbered(kGroupErrorCount, 1), Numbered(kErrorImageSequence, 1),
                                    std::string(kMismatchFileName) + name};
  };
  std::vector<std::string> focal = header;
  for (const auto& part :
       std::vector<std::vector<std::string>>{{"0", "1", ""},
                                             reported("a4.jpg"),
                                             {"24", "2", "", "35", "1", "", "error", "1", ""},
                                             reported("a5.txt")}) {
    focal.insert(focal.end(), part.begin(), part.end());
  }
  std::vector<std::string> gps = header;
  for (const auto& part : std::vector<std::vector<std::string>>{
           {"0", "1", ""}, reported("a4.jpg"), {"error", "1", ""}, reported("a5.txt")}) {
    gps.insert(gps.end(), part.begin(), part.end());
  }
  const std::string json =
      testsupport::ReportJson({}, {}, {"a4.jpg", "a5.txt"}, {"a4.jpg", "a5.txt"});
  EXPECT_EQ(run.out, Prefix() + ConsoleLines(focal) + ConsoleLines(gps) + ConsoleLines({json}));
  EXPECT_EQ(Report(), json);
}

TEST_F(Checks, MakerByRunningMaximumAndNamesFromTwoFolders) {
  SurveyFrame frame;
  frame.make = "A";
  for (const char* name : {"m1.jpg", "m2.jpg", "m3.jpg"}) Frame(name, frame);
  frame.make = std::string("A\0tail", 6);
  Frame("m4.jpg", frame);  // cut at the NUL: joins group A
  frame.make = "B";
  testsupport::WriteFile(platform::JoinPath(Image("x"), "same.jpg"),
                         testsupport::MakeSurveyJpeg(frame));
  testsupport::WriteFile(platform::JoinPath(Image("y"), "same.jpg"),
                         testsupport::MakeSurveyJpeg(frame));
  const testsupport::ToolRun run = Run(false, true, false, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(ConsoleLines({"A", "4", "", "B", "2", "", Numbered(kGroupErrorCount, 2)})),
            std::string::npos);
  EXPECT_NE(Report().find("\"images\":[\"same.jpg\",\"same.jpg\"]"), std::string::npos) << Report();
}

TEST_F(Checks, AllConsistentGivesAllClearAndLeavesAnOldReport) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Frame(name, SurveyFrame());
  testsupport::MakeFolders(output_);
  testsupport::WriteFile(platform::JoinPath(output_, "error.json"), "old");
  const testsupport::ToolRun run = Run(true, true, true, true);
  EXPECT_EQ(run.status, 0);
  const std::string all_clear = ConsoleLines(testsupport::AllClearLines());
  ASSERT_GE(run.out.size(), all_clear.size());
  EXPECT_EQ(run.out.substr(run.out.size() - all_clear.size()), all_clear);
  EXPECT_EQ(Report(), "old");
}

// What a check's rule leaves out of the report: whether the run still
// passes (0), reports (1) or refuses to pass (5), and which unreported groups
// standard error names. Values are written in key order; "error" is a file
// that is no JPEG, "-" a frame without a GPS position.
TEST_F(Checks, DifferingGroupsLeftOutOfTheReport) {
  const std::string long_make(100, 'Z');
  const struct {
    char check;  // r(esolution), m(aker), f(ocal length), g(ps)
    std::vector<std::pair<std::string, int>> groups;
    int status;
    std::string named;  // the unreported groups standard error names; "": none
  } cases[] = {
      {'r', {{"1000", 10}, {"2000", 3}}, 1, ""},
      {'r', {{"1000", 3}, {"2000", 10}}, 5, "1000*3000 (3 images), 2000*3000 (10 images)"},
      {'r', {{"1000", 5}, {"2000", 5}}, 1, ""},
      {'r',
       {{"1000", 4}, {"2000", 1}, {"3000", 9}, {"4000", 1}},
       1,
       "1000*3000 (4 images), 3000*3000 (9 images)"},
      {'r', {{"1000", 3}}, 0, ""},
      {'r', {{"error", 3}}, 5, "error (3 images)"},
      {'r', {{"1000", 1}, {"error", 2}}, 5, "1000*3000 (1 image), error (2 images)"},
      {'m', {{"", 2}, {"DJI", 5}}, 5, "\"\" (2 images), DJI (5 images)"},
      {'m',
       {{"Cam\nX", 1}, {long_make, 2}},
       5,
       "Cam\\x0AX (1 image), " + long_make.substr(0, 64) + "...(100 bytes, cut) (2 images)"},
      {'f', {{"24", 3}, {"35", 2}}, 5, "24 (3 images), 35 (2 images)"},
      {'f', {{"24", 3}}, 0, ""},
      {'g', {{"-", 1}, {"ok", 3}, {"error", 1}}, 1, ""},
      {'g', {{"ok", 3}}, 0, ""},
  };
  const char* const names[] = {"resolution", "maker", "focal length", "GPS"};
  for (const auto& c : cases) {
    std::filesystem::remove_all(images_);
    testsupport::MakeFolders(images_);
    int n = 0;
    for (const auto& group : c.groups) {
      for (int i = 0; i < group.second; ++i) {
        const std::string name = "f" + std::to_string(++n) + ".jpg";
        if (group.first == "error") {
          testsupport::WriteFile(Image(name), "no image");
          continue;
        }
        SurveyFrame frame;
        if (c.check == 'r') frame.width = static_cast<uint32_t>(std::stoul(group.first));
        if (c.check == 'm') frame.make = group.first;
        if (c.check == 'f') frame.focal_35mm = static_cast<uint16_t>(std::stoul(group.first));
        if (group.first == "-") frame.gps = std::nullopt;
        Frame(name, frame);
      }
    }
    const testsupport::ToolRun run =
        Run(c.check == 'r', c.check == 'm', c.check == 'f', c.check == 'g');
    const std::string check = names[std::string("rmfg").find(c.check)];
    const std::string what = check + " " + testing::PrintToString(c.groups);
    EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
    if (c.named.empty()) {
      EXPECT_EQ(run.err, "") << what;
    } else {
      EXPECT_NE(run.err.find("exifcheck: " + check + ": " + c.named + " "), std::string::npos)
          << what << "\n"
          << run.err;
      EXPECT_EQ(run.err.find("(exit status 5)") != std::string::npos, c.status == 5) << what;
    }
    if (c.status == 5) {  // standard output stays the all-clear run's own
      const std::string all_clear = ConsoleLines(testsupport::AllClearLines());
      EXPECT_EQ(run.out.substr(run.out.size() - all_clear.size()), all_clear) << what;
    }
  }
}

TEST_F(Checks, OddFilesNeverBlockAndLargeFilesAreReported) {
  Frame("a.jpg", SurveyFrame());
  Frame("b.jpg", SurveyFrame());
  testsupport::WriteFile(Image("empty.jpg"), "");
  namespace fs = std::filesystem;
  std::error_code link_failed;
  fs::create_symlink(dir_.Join("nowhere"), Image("broken.jpg"), link_failed);
  std::error_code ec;
  const bool fifo = platform::kPathSeparator == '/' &&
                    std::system(("mkfifo '" + Image("pipe.jpg") + "'").c_str()) == 0;
  {  // sparse: takes no space, but is 2 GiB long
    std::FILE* f = std::fopen(Image("video.mp4").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    fs::resize_file(Image("video.mp4"), 0x80000000ull, ec);
  }
  const testsupport::ToolRun run = Run(false, false, true, false);
  EXPECT_EQ(run.status, 1);
  // error: the empty file and the video; the broken link and the FIFO are
  // skipped, and named on standard error.
  EXPECT_NE(run.out.find(ConsoleLines({"error", ec ? "1" : "2", ""})), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(ConsoleLines({"24", "2", ""})), std::string::npos);
  if (!ec) {
    EXPECT_NE(Report().find("video.mp4"), std::string::npos);
  }
  EXPECT_EQ(Report().find("broken.jpg"), std::string::npos);
  if (!link_failed) {
    EXPECT_NE(run.err.find("not checked: " + Image("broken.jpg") + ": "), std::string::npos)
        << run.err;
  }
  if (fifo) {
    EXPECT_NE(run.err.find("not checked: " + Image("pipe.jpg") + ": a FIFO"), std::string::npos)
        << run.err;
  }
}

}  // namespace

namespace {

// The bundled example survey still gives the report the README shows.
TEST(ExampleSurvey, WritesTheExpectedReport) {
  const std::string examples = platform::JoinPath(EXIFCHECK_SOURCE_DIR, "examples");
  testsupport::ScopedTempDir dir;
  const std::string settings = dir.Join("settings.ini");
  testsupport::WriteFile(settings,
                         "FocalLengthCheck=true\nGpsCheck=true\nMakerCheck=true\n"
                         "ResolutionCheck=true\nimageFolder=" +
                             platform::JoinPath(examples, "survey") +
                             "\noutputFolder=" + dir.Join("out") + "\n");
  const testsupport::ToolRun run = testsupport::RunTool({settings});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(testsupport::ReadFile(platform::JoinPath(dir.Join("out"), "error.json")),
            testsupport::ReadFile(platform::JoinPath(examples, "expected-error.json")));
}

}  // namespace
