// The per-frame table: its header, one row a file in list order, RFC 4180
// quoting, texts from files defused and bounded, numbers and times that do
// not depend on the locale, and the reason a file gave no values.
#include "report/frames_csv.h"

#include <gtest/gtest.h>

#include <locale>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/csv_text.h"
#include "support/drone_frame.h"
#include "support/test_files.h"

namespace {

using Row = testsupport::CsvRow;
using testsupport::ParseCsv;

TEST(FramesCsv, OneRowAFileWithTextsQuotedDefusedAndNumbersLocaleFree) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  ImageList paths = {images + "/100MEDIA/DJI_0001.JPG", images + "/=HYPERLINK(1).jpg",
                     images + "/notes, old.txt", images + "/gone.jpg"};
  testsupport::WriteFile(paths[0], testsupport::MakeDroneJpeg(testsupport::DroneFrame()));
  testsupport::DroneFrame hostile;
  hostile.camera.make = "+cmd|' /C calc'!A0";
  hostile.camera.model = "A \"quoted\", model\x01\n" + std::string(1000, 'm');
  hostile.serial = "@SUM(1)";
  hostile.xmp = false;
  testsupport::WriteFile(paths[1], testsupport::MakeDroneJpeg(hostile));
  testsupport::WriteFile(paths[2], "not an image");

  FrameStore frames(paths);
  frames.FetchAll();
  const SurveyFindings findings = FindBeforeProcessing(frames.facts());
  std::string text;
  int writes = 0;
  // A decimal comma where the table must keep points (a C++ runtime that
  // knows no locale names, MinGW's, keeps the classic one).
  const std::locale before = std::locale();
  try {
    std::locale::global(std::locale("de_DE.UTF-8"));
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(FramesCsv(frames, findings, images, [&](const std::string& chunk) {
    ++writes;
    text += chunk;
    return true;
  }));
  std::locale::global(before);
  const std::vector<Row> rows = ParseCsv(text);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0][0], "path");
  EXPECT_EQ(rows[0].back(), "notes");
  for (const Row& row : rows) EXPECT_EQ(row.size(), 23u) << row[0];

  const Row& drone = rows[1];
  EXPECT_EQ(drone[0], "100MEDIA/DJI_0001.JPG");
  EXPECT_EQ(drone[1], "ok");
  EXPECT_EQ(drone[2], "5472");
  EXPECT_EQ(drone[4], "DJI");
  EXPECT_EQ(drone[8], "8.80");
  EXPECT_EQ(drone[9], "2024-05-01T10:00:00.120+08:00");
  EXPECT_EQ(drone[10], "30.2600000");
  EXPECT_EQ(drone[11], "120.1200000");
  EXPECT_EQ(drone[13], "100.00");
  EXPECT_EQ(drone[14], "-90.0");
  EXPECT_EQ(drone[17], "50");
  EXPECT_EQ(drone[18], "0.028");

  const Row& odd = rows[2];
  EXPECT_EQ(odd[0], "'=HYPERLINK(1).jpg");
  EXPECT_EQ(odd[4], "'+cmd|' /C calc'!A0");
  EXPECT_EQ(odd[5].substr(0, 22), "A \"quoted\", model??mmm");
  EXPECT_EQ(odd[5].size(), kLongestFactText);
  EXPECT_EQ(odd[6], "'@SUM(1)");
  EXPECT_EQ(odd[13], "") << "no XMP, no relative altitude";

  EXPECT_EQ(rows[3][0], "notes, old.txt");
  EXPECT_EQ(rows[3][1], "not a JPEG");
  EXPECT_EQ(rows[4][1], "no longer there");
  EXPECT_EQ(rows[4][2], "");
  EXPECT_EQ(writes, 1);
}

}  // namespace
