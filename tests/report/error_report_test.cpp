// The report's bytes, and how error.json is written.
#include "report/error_report.h"

#include <gtest/gtest.h>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/report_json.h"
#include "support/test_files.h"

namespace {

using testsupport::ReportJson;

// The one place the report's bytes are spelled out by hand, hex escapes and
// all, independently of ReportJson, which every other test builds on.
TEST(ErrorReport, TwoResolutionImagesExactBytes) {
  CheckFindings findings;
  findings[kResolutionFindings] = {"d.jpg", "e.jpg"};
  const std::string expected =
      "{\"errors\":[{\"errcode\":101,\"error_des\":\"\xd3\xb0\xcf\xf1\xb7\xd6\xb1\xe6\xc2\xca\xb2"
      "\xbb\xd2\xbb\xd6\xc2.\",\"images\":[\"d.jpg\",\"e.jpg\"]},{\"errcode\":102,\"error_des\":"
      "\"\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc\xb2\xbb\xd2\xbb\xd6\xc2.\",\"images\":[]},"
      "{\"errcode\":103,\"error_des\":\"\xcf\xe0\xbb\xfa\xbd\xb9\xbe\xe0\xb2\xbb\xd2\xbb\xd6\xc2."
      "\",\"images\":[]},{\"errcode\":104,\"error_des\":\"\xc3\xbb\xd3\xd0gps\xd0\xc5\xcf\xa2.\","
      "\"images\":[]}]}";
  EXPECT_EQ(ErrorReportJson(findings), expected);
}

TEST(ErrorReport, EachListUnderItsOwnCodeAndPositionThreeNeverWritten) {
  CheckFindings findings;
  findings[kResolutionFindings] = {"r.jpg"};
  findings[kFocalLengthFindings] = {"f.jpg", "f.jpg"};  // duplicates stay
  findings[kGpsFindings] = {"g.jpg"};
  findings[kUnusedFindings] = {"never.jpg"};
  findings[kMakerFindings] = {"m.jpg"};
  EXPECT_EQ(ErrorReportJson(findings),
            ReportJson({"r.jpg"}, {"m.jpg"}, {"f.jpg", "f.jpg"}, {"g.jpg"}));
}

TEST(ErrorReport, NamesAreEscapedOnlyWhereJsonNeedsIt) {
  const struct {
    std::string name;
    std::string written;
  } cases[] = {
      {"a\"b.jpg", "a\\\"b.jpg"},
      {"a\\b.jpg", "a\\\\b.jpg"},
      {"a/b.jpg", "a/b.jpg"},
      {"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {"\x01\x1f\x0b\x7f", "\\u0001\\u001F\\u000B\x7f"},
      {"\x80\xd3\xb0\xff.jpg", "\x80\xd3\xb0\xff.jpg"},
      {std::string("cut\0here", 8), "cut"},  // written as a C string
  };
  for (const auto& c : cases) {
    CheckFindings findings;
    findings[kMakerFindings] = {c.name};
    EXPECT_EQ(ErrorReportJson(findings), ReportJson({}, {c.written}, {}, {}))
        << testing::PrintToString(c.name);
  }
}

class WriteReport : public testing::Test {
 protected:
  // GoogleTest reads a capture back in text mode, so its lines end in "\n"
  // on every system; the console's own line end is the end-to-end tests' job.
  std::string Write(const CheckFindings& findings, const std::string& folder, std::string* err) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    WriteErrorReport(findings, folder);
    *err = testing::internal::GetCapturedStderr();
    return testing::internal::GetCapturedStdout();
  }
  testsupport::ScopedTempDir dir_;
};

TEST_F(WriteReport, EchoesAndReplacesAnOlderLongerFile) {
  CheckFindings findings;
  findings[kGpsFindings] = {"g.jpg"};
  const std::string report = platform::JoinPath(dir_.path(), "error.json");
  testsupport::WriteFile(report, std::string(5000, 'x'));
  std::string err;
  const std::string echoed = Write(findings, dir_.path(), &err);
  const std::string json = ErrorReportJson(findings);
  EXPECT_EQ(echoed, json + "\n");
  EXPECT_EQ(testsupport::ReadFile(report), json);  // no line end, nothing left of the old file
  EXPECT_EQ(err, "");
  EXPECT_EQ(ErrorReportJson(CheckFindings()), ReportJson({}, {}, {}, {}));
}

TEST_F(WriteReport, FolderEndingInSeparatorStillGetsTheFile) {
  const std::string folder = dir_.path() + platform::kPathSeparator;
  std::string err;
  Write(CheckFindings(), folder, &err);
  EXPECT_EQ(testsupport::ReadFile(platform::JoinPath(folder, "error.json")),
            ErrorReportJson(CheckFindings()));
  EXPECT_EQ(err, "");
}

TEST_F(WriteReport, UnwritableFolderStillEchoesAndSaysSoOnStandardError) {
  const std::string folder = platform::JoinPath(dir_.path(), "missing");
  std::string err;
  const std::string echoed = Write(CheckFindings(), folder, &err);
  EXPECT_EQ(echoed, ErrorReportJson(CheckFindings()) + "\n");
  EXPECT_NE(err.find("error.json not written"), std::string::npos) << err;
  EXPECT_FALSE(testsupport::FileExists(folder));
}

// The in-place write and its message need a folder the user may not write,
// so that case is in tests/platform/replace_file_posix_test.cpp.
TEST_F(WriteReport, FolderInTheWayIsLeftAndTheMessageSaysWhy) {
  const std::string report = platform::JoinPath(dir_.path(), "error.json");
  testsupport::MakeFolders(platform::JoinPath(report, "kept"));
  std::string err;
  Write(CheckFindings(), dir_.path(), &err);
  const std::string told = "exifcheck: error.json not written: cannot replace " + report + ": ";
  EXPECT_EQ(err.substr(0, told.size()), told);
  EXPECT_EQ(err.back(), '\n');
  EXPECT_TRUE(testsupport::FileExists(platform::JoinPath(report, "kept")));
}

}  // namespace
