// The tool run as a user runs it: argument echo, settings, roles by key
// order, output folder, scan messages, the all-clear message, exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/console_text.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

using testsupport::ConsoleLines;
using testsupport::Joined;
using testsupport::RunTool;
using testsupport::ScopedTempDir;
using testsupport::ToolRun;

// Six settings whose keys sort into the roles in this order.
struct Roles {
  std::string focal = "false", gps = "false", maker = "false", resolution = "false";
  std::string images, output;
};

std::string SettingsText(const Roles& r) {
  return "# roles by key order\n"
         "a_focal = " +
         r.focal + "\n" + "b_gps = " + r.gps + "\n" + "c_maker = " + r.maker + "\n" +
         "d_resolution = " + r.resolution + "\n" + "e_images = " + r.images + "\n" +
         "f_output = " + r.output + "\n";
}

std::vector<std::string> SettingsLines(const Roles& r) {
  return {"a_focal=" + r.focal,           "b_gps=" + r.gps,       "c_maker=" + r.maker,
          "d_resolution=" + r.resolution, "e_images=" + r.images, "f_output=" + r.output};
}

std::string AllClear() { return ConsoleLines(testsupport::AllClearLines()); }

class RunSkeleton : public testing::Test {
 protected:
  void SetUp() override {
    roles_.images = dir_.Join("images");
    roles_.output = dir_.Join("out");
    testsupport::MakeFolders(roles_.images);
    settings_ = dir_.Join("settings.ini");
  }
  void WriteSettings(const std::string& text) { testsupport::WriteFile(settings_, text); }

  ScopedTempDir dir_;
  Roles roles_;
  std::string settings_;
};

TEST_F(RunSkeleton, NoArgumentIsAUsageError) {
  const ToolRun run = RunTool({});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, ConsoleLines({"usage: exifcheck SETTINGS-FILE [ARGUMENTS ONLY ECHOED]"}));
}

TEST_F(RunSkeleton, EchoesArgumentsThenReportsUnopenableSettings) {
  const std::string missing = dir_.Join("missing.ini");
  const ToolRun run = RunTool({missing, "second", "third"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, ConsoleLines({missing, "", "second", "", "third", "open file failed!"}));
}

TEST_F(RunSkeleton, AllSwitchesOffGivesAllClearAndCreatesOutputFolder) {
  WriteSettings(SettingsText(roles_));
  const ToolRun run = RunTool({settings_, "extra"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            ConsoleLines(Joined({settings_, "", "extra"}, SettingsLines(roles_))) + AllClear());
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(testsupport::FileExists(roles_.output));
  EXPECT_FALSE(testsupport::FileExists(platform::JoinPath(roles_.output, "error.json")));
}

TEST_F(RunSkeleton, OutputFolderWithMissingParentIsNotCreated) {
  roles_.output = platform::JoinPath(dir_.Join("absent"), "out");
  WriteSettings(SettingsText(roles_));
  const ToolRun run = RunTool({settings_});
  EXPECT_EQ(run.status, 0);  // the report page that cannot be written is one line, no more
  EXPECT_EQ(
      run.err.rfind("exifcheck: exifcheck-report.html and exifcheck-frames.csv not written: ", 0),
      0u)
      << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_FALSE(testsupport::FileExists(dir_.Join("absent")));
}

TEST_F(RunSkeleton, FewerThanSixEntriesStopWithStatusTwo) {
  const std::string text = "a=true\nb=true\n# c=true\n";
  WriteSettings(text);
  const ToolRun run = RunTool({settings_});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, ConsoleLines({settings_, "a=true", "b=true"}));
  EXPECT_NE(run.err.find(settings_), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 entries"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("six"), std::string::npos) << run.err;
}

// What the settings and the image folder lead to: the end of standard
// output, whether standard error names a cause, and the exit status. A run
// that cannot look at its images stops rather than pass them as all clear.
TEST_F(RunSkeleton, SettingsAndFolderOutcomes) {
  testsupport::WriteFile(dir_.Join("a-file"), "x");
  const std::string scan_failed = ConsoleLines({"can not found the file ... "});
  const struct {
    const char* name;
    std::string images, output;  // the values as written in the file
    std::string settings_path;   // empty: the settings file written here
    std::string out_tail;        // what standard output ends with; "": the settings
    const char* err_names;       // a text standard error must hold, or ""
    int status;
  } cases[] = {
      {"all well", roles_.images, roles_.output, "", AllClear(), "", 0},
      {"empty image folder", "", roles_.output, "", "", "e_images", 2},
      {"blank image folder", " \t ", roles_.output, "", "", "e_images", 2},
      {"image folder cut to nothing by a NUL", std::string("\0gone", 5), roles_.output, "", "",
       "e_images", 2},
      {"empty output folder", roles_.images, "", "", "", "f_output", 2},
      {"blank output folder", roles_.images, " \t ", "", "", "f_output", 2},
      {"missing image folder", dir_.Join("no-such-folder"), roles_.output, "", scan_failed,
       "no-such-folder", 2},
      {"image folder is a file", dir_.Join("a-file"), roles_.output, "", scan_failed, "a-file", 2},
      // One CR is the line end; the other stays in the name.
      {"image folder with a carriage return", roles_.images + "\r\r", roles_.output, "",
       scan_failed, "e_images", 2},
      {"settings path is a folder", roles_.images, roles_.output, dir_.path(),
       ConsoleLines({"open file failed!"}), "", 1},
  };
  for (const auto& c : cases) {
    Roles roles = roles_;
    roles.images = c.images;
    roles.output = c.output;
    WriteSettings(SettingsText(roles));
    const std::string path = c.settings_path.empty() ? settings_ : c.settings_path;
    const ToolRun run = RunTool({path});
    EXPECT_EQ(run.status, c.status) << c.name;
    // The reader trims the blanks the file has around a value.
    const std::string printed_output =
        c.output.find_first_not_of(" \t") == std::string::npos ? std::string() : c.output;
    const std::string tail =
        c.out_tail.empty() ? ConsoleLines({"f_output=" + printed_output}) : c.out_tail;
    ASSERT_GE(run.out.size(), tail.size()) << c.name;
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << c.name;
    if (c.status == 2) {
      // Nothing is checked: no check header and no all-clear message.
      EXPECT_EQ(run.out.find("The number of images"), std::string::npos) << c.name;
      EXPECT_EQ(run.out.find(AllClear()), std::string::npos) << c.name;
    }
    EXPECT_NE(run.err.find(c.err_names), std::string::npos) << c.name << ": " << run.err;
    EXPECT_EQ(run.err.empty(), c.status < 2) << c.name << ": " << run.err;
  }
}

TEST_F(RunSkeleton, SwitchIsOnOnlyForExactlyTrue) {
  // With an empty image folder a check that runs prints only its header.
  const std::string header = ConsoleLines({"", "The number of images: 0"});
  const std::pair<const char*, bool> cases[] = {
      {"true", true},  {"true \t", true}, {" true", true}, {"True", false},
      {"TRUE", false}, {"truex", false},  {"1", false},    {"", false},
  };
  for (const auto& c : cases) {
    Roles roles = roles_;
    roles.resolution = c.first;
    WriteSettings(SettingsText(roles));
    const ToolRun run = RunTool({settings_});
    EXPECT_EQ(run.status, 0) << c.first;
    EXPECT_EQ(run.out.find(header) != std::string::npos, c.second) << "[" << c.first << "]";
  }
}

TEST_F(RunSkeleton, SeventhKeyShiftsEveryRole) {
  // "0_first" sorts first and takes the focal-length role; every other value
  // moves one role on: "false" becomes the image folder, the image folder's
  // value the output folder, and the output folder's value plays no part.
  const std::string moved_output = dir_.Join("images-as-output");
  Roles roles = roles_;
  roles.images = moved_output;
  WriteSettings("0_first = false\n" + SettingsText(roles));
  testsupport::ToolOptions options;
  options.working_folder = dir_.path();
  const ToolRun run = RunTool({settings_}, options);
  EXPECT_EQ(run.status, 2);  // "false" as the image folder: no such folder
  EXPECT_TRUE(testsupport::FileExists(moved_output));
  EXPECT_FALSE(testsupport::FileExists(roles.output));
  EXPECT_EQ(run.out, ConsoleLines(Joined({settings_, "0_first=false"}, SettingsLines(roles))) +
                         ConsoleLines({"can not found the file ... "}));
}

TEST_F(RunSkeleton, NumbersStayPlainUnderAnyLocale) {
  // 1000 files make every number that could be grouped large enough to be.
  for (int i = 0; i < 1000; ++i) {
    testsupport::WriteFile(platform::JoinPath(roles_.images, "f" + std::to_string(10000 + i)), "");
  }
  roles_.resolution = "true";
  WriteSettings(SettingsText(roles_));
  for (const char* locale : {"C", "de_DE.UTF-8", "en_US.UTF-8", "xx_NOWHERE.UTF-8"}) {
    testsupport::ToolOptions options;
    options.env = {{"LANG", locale}, {"LC_ALL", locale}};
    const ToolRun run = RunTool({settings_}, options);
    // One group, "error": never reported, but nothing could be read.
    EXPECT_EQ(run.status, 5) << locale;
    EXPECT_NE(run.err.find("error (1000 images)"), std::string::npos) << locale;
    EXPECT_NE(run.out.find(ConsoleLines({"The number of images: 1000"})), std::string::npos)
        << locale;
    EXPECT_NE(run.out.find(ConsoleLines({std::string(kImageSequence) + "1000"})), std::string::npos)
        << locale;
    EXPECT_NE(run.out.find(ConsoleLines({"error", "1000"})), std::string::npos) << locale;
  }
}

}  // namespace
