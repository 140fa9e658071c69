// What the report page says of a run, checked in its HTML text.
#include "report/report_page.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/drone_frame.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"

namespace {

using testsupport::SurveyFrame;
using testsupport::TiffLayout;

std::size_t Count(const std::string& page, const std::string& text) {
  std::size_t n = 0;
  for (std::size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++n;
  return n;
}

bool Has(const std::string& page, const std::string& text) { return Count(page, text) > 0; }

TiffLayout Placed(double latitude, double longitude) {
  SurveyFrame frame;
  frame.gps = testsupport::GpsFix{latitude, longitude, 100.0};
  return testsupport::SurveyLayout(frame);
}

// A check that reports `frames` as one group.
CheckOnPage Reporting(const char* id, std::vector<std::size_t> frames, std::string key = "key") {
  CheckOnPage check{id, {}};
  check.outcome.groups = {{std::move(key), frames.size(), GroupVerdict::kReported}};
  check.outcome.reported = std::move(frames);
  return check;
}

class ReportPage : public testing::Test {
 protected:
  void Add(const std::string& relative, const TiffLayout& layout = Placed(30.26, 120.12)) {
    images_.push_back(dir_.Join(relative));
    testsupport::WriteFile(images_.back(), testsupport::JpegWithExif(layout));
  }
  // The page over the frames added, read (as a check reads them) or not.
  std::string Page(bool read = true) {
    FrameStore frames(images_);
    if (read) frames.FetchAll();
    run_.image_folder = dir_.path();
    return ReportPageHtml(run_, frames, FindBeforeProcessing(frames.facts()),
                          PageThumbnails(run_, frames), "utf-8");
  }

  testsupport::ScopedTempDir dir_;
  ImageList images_;
  RunOnPage run_;
};

// With every check off no frame is read: the page says what it did not
// look at, not what the frames lack. Frames read for anything else are
// shown as read.
TEST_F(ReportPage, SaysWhatWasNotRead) {
  for (const char* name : {"a.JPG", "b.JPG", "c.JPG"}) Add(name);
  const std::string unread = Page(false);
  for (const char* wrong : {"No frame", "no-position", "every file was checked", "<svg"}) {
    EXPECT_FALSE(Has(unread, wrong)) << wrong;
  }
  for (const char* said :
       {"read</th><td>0<", "not read</th><td>3<", "run: none<", "read\">3 / 3"}) {
    EXPECT_TRUE(Has(unread, said)) << said << " in " << unread;
  }
  const std::string read = Page();
  EXPECT_TRUE(Has(read, "Files read</th><td>3<"));
  EXPECT_FALSE(Has(read, "not read")) << read;
  EXPECT_EQ(Count(read, " r=\"2.5\"/>"), 3u);
}

// A position off the earth is listed, not drawn, and does not stretch the
// map's scale to 100000000000 km.
TEST_F(ReportPage, DrawsOnlyPositionsThatCanBeRight) {
  Add("a.JPG", Placed(30.26, 120.12));
  Add("latitude-200.JPG", Placed(200.0, 120.12));
  Add("longitude-190.JPG", Placed(30.26, -190.5));
  TiffLayout layout = Placed(30.26, 120.12);
  const testsupport::Fraction most{0xFFFFFFFFu, 1};
  (*layout.gps)[2] = testsupport::Rationals(0x0002, {most, most, most});
  Add("rationals.JPG", layout);
  Add("b.JPG", Placed(30.262, 120.123));
  const std::string page = Page();
  EXPECT_EQ(Count(page, " r=\"2.5\"/>"), 2u);
  EXPECT_TRUE(Has(page, ">50 m</text></g>")) << page;
  EXPECT_TRUE(Has(page,
                  "<ul id=\"bad-position\"><li><bdi>latitude-200.JPG</bdi>: 200.000000, 120.120000"
                  "</li><li><bdi>longitude-190.JPG</bdi>: 30.260000, -190.500000</li><li><bdi>"
                  "rationals.JPG</bdi>: 4367743129.720834, 120.120000</li></ul>"));
}

// Each text from a file is escaped where it lands, cut to a few hundred
// bytes with its length said, set apart, so that a U+202E in it turns none
// of the page's own text around, and wrapped. 500 Makes of 60 KB made a
// page of 30 MB that took seconds to draw.
TEST_F(ReportPage, EveryTextFromAFileIsEscapedBoundedAndIsolated) {
  Add("a.JPG");
  // Never written: the list of images is all the page goes by, and such a
  // name may be no file name on this system.
  const std::string tail(400, 'x');
  images_.push_back(dir_.Join("NAME<i>&\x01\xe2\x80\xae" + tail + ".JPG"));
  std::string make = "MAKE<b>";
  while (make.size() < 60000) make += "<b>&\x01\xe2\x80\xae ";
  make.resize(60000);
  run_.checks = {Reporting("maker", {1}, make), Reporting("gps", {1})};
  for (int i = 0; i < 500; ++i) run_.checks[0].outcome.groups.push_back({make + "!", 1});
  const std::string page = Page();
  EXPECT_LT(page.size(), 1000u * 1000);
  for (const char* wrong : {"<i>", "<b>", "\x01"}) EXPECT_FALSE(Has(page, wrong)) << wrong;
  EXPECT_FALSE(Has(page, std::string(300, 'x')));
  EXPECT_EQ(Count(page, "&#x2026; (60,000 bytes)"), 1u);
  EXPECT_TRUE(Has(page, "&#x2026; (416 bytes)"));
  // The name is listed by each check, as not checked and as without a
  // position; the Make is the maker check's key 501 times.
  EXPECT_EQ(Count(page, "NAME&lt;i&gt;"), 4u);
  EXPECT_EQ(Count(page, "<bdi>NAME&lt;i&gt;"), 4u);
  EXPECT_EQ(Count(page, "<bdi>MAKE&lt;b&gt;"), 501u);
  EXPECT_TRUE(Has(page, "bdi{overflow-wrap:anywhere;"));
}

// The findings before processing stand between the verdict and the map,
// above the checks. A camera model from a file is escaped, cut and set
// apart in the flights' and the cameras' tables (findings_section_test
// tries names no file system takes).
TEST_F(ReportPage, FindingsStandAboveTheChecksWithTheirTextsEscaped) {
  const std::string markup = "<b>&\x01\xe2\x80\xae" + std::string(400, 'x');
  for (int i = 0; i < 8; ++i) {
    testsupport::DroneFrame frame;
    frame.camera.date_time_original = "2024:05:01 10:00:0" + std::to_string(i);
    frame.camera.gps->latitude += i * 0.00005;
    if (i == 3) frame.rtk_flag = 34;
    if (i == 7) frame.camera.model = markup;
    images_.push_back(dir_.Join("DJI_000" + std::to_string(i) + ".JPG"));
    testsupport::WriteFile(images_.back(), testsupport::MakeDroneJpeg(frame));
  }
  run_.checks = {Reporting("maker", {}), Reporting("gps", {})};
  const std::string page = Page();
  std::size_t at = 0;
  for (const char* part :
       {"<section id=\"verdict\"", "<section id=\"before-processing\"",
        "<tr id=\"finding-rtk_not_fixed\" class=\"named\"", "<table id=\"flights\"",
        "<svg class=\"plot\" id=\"plot-pitch\"", "<section id=\"survey\"",
        "<circle class=\"named\"", "<section class=\"check\" id=\"check-maker\""}) {
    const std::size_t found = page.find(part, at);
    EXPECT_NE(found, std::string::npos) << part;
    at = found == std::string::npos ? at : found;
  }
  for (const char* wrong : {"<b>", "\x01", "<script"}) EXPECT_FALSE(Has(page, wrong)) << wrong;
  EXPECT_EQ(Count(page, "<bdi>&lt;b&gt;&amp;&#xFFFD;\xe2\x80\xaexxx"), 2u) << page;
  EXPECT_TRUE(Has(page, "<title>&#x2068;DJI_0003.JPG&#x2069;: rtk_not_fixed</title>"));
  EXPECT_TRUE(Has(page, "<title>&#x2068;DJI_0007.JPG&#x2069;: flight, camera_other</title>"));
  EXPECT_FALSE(Has(page, std::string(300, 'x')));
}

// Frames of two folders may share a name: a dot says the path below the
// image folder.
TEST_F(ReportPage, MapNamesTheFramesFolder) {
  Add("100MEDIA/DJI_0001.JPG");
  Add("101MEDIA/DJI_0001.JPG");
  run_.checks = {Reporting("resolution", {0, 1})};
  const std::string page = Page();
  for (const char* folder : {"100MEDIA", "101MEDIA"}) {
    EXPECT_TRUE(std::regex_search(page, std::regex(std::string("<title>&#x2068;") + folder +
                                                   "[/\\\\]DJI_0001.JPG&#x2069;: Resolution<")));
  }
}

// The thumbnails read stop at a budget (60 of 58 KB show 35): the page says
// how many it shows of how many the reported frames carry.
TEST_F(ReportPage, SaysHowManyThumbnailsItShows) {
  TiffLayout layout = Placed(30.26, 120.12);
  layout.ifd1 = std::vector<testsupport::TiffEntry>{};
  layout.thumbnail = testsupport::JpegFile(
      {testsupport::Soi(), testsupport::Bytes(58 * 1024, 0x11), testsupport::Eoi()});
  std::vector<std::size_t> frames;
  for (std::size_t i = 0; i < 60; ++i) {
    Add("f" + std::to_string(100 + i) + ".JPG", layout);
    frames.push_back(i);
  }
  run_.checks = {Reporting("maker", frames)};
  const std::string page = Page();
  EXPECT_EQ(Count(page, "<figure>"), 35u);
  EXPECT_TRUE(Has(page, "<p id=\"thumbnails-shown\" data-shown=\"35\" data-carried=\"60\">"));
  EXPECT_TRUE(Has(page, "Shown 35 of the 60 thumbnails"));
}

}  // namespace
