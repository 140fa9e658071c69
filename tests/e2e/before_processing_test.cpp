// A survey of drone frames with one frame of each fault the findings
// before processing name: the table beside the page names each faulty
// frame under its id, and no other frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "support/csv_text.h"
#include "support/fault_survey.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(BeforeProcessing, TheTableNamesEachFaultyFrameAndNoOther) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::vector<testsupport::SurveyFile> files = testsupport::WriteFaultSurvey(images);
  testsupport::WriteFile(dir.Join("settings.ini"), "a=true\nb=true\nc=true\nd=true\ne=" + images +
                                                       "\nf=" + dir.Join("out") + "\n");
  const testsupport::ToolRun run = testsupport::RunTool({dir.Join("settings.ini")});
  // The frame at 0/0 is one the GPS check reports.
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");

  const std::vector<testsupport::CsvRow> rows =
      testsupport::ParseCsv(testsupport::ReadFile(dir.Join("out/exifcheck-frames.csv")));
  ASSERT_EQ(rows.size(), files.size() + 1);
  std::map<std::string, std::string> notes;
  for (std::size_t k = 1; k < rows.size(); ++k) {
    std::string path = rows[k][0];
    std::string note = rows[k].back();
    std::replace(path.begin(), path.end(), '\\', '/');
    std::replace(note.begin(), note.end(), '\\', '/');
    EXPECT_EQ(rows[k][1], "ok") << path;
    notes[path] = note;
  }
  for (const testsupport::SurveyFile& file : files) {
    EXPECT_EQ(notes[file.path], file.notes) << file.path;
  }
}

}  // namespace
