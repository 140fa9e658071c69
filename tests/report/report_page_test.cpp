// What the report page says of a run, checked in its HTML text.
#include "report/report_page.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/jpeg_writer.h"
#include "support/test_files.h"

namespace {

using testsupport::SurveyFrame;

class ReportPage : public testing::Test {
 protected:
  void Add(const std::string& relative, const SurveyFrame& frame = SurveyFrame()) {
    images_.push_back(dir_.Join(relative));
    testsupport::WriteFile(images_.back(), testsupport::MakeSurveyJpeg(frame));
  }
  void Add(const std::string& relative, const testsupport::TiffLayout& layout) {
    images_.push_back(dir_.Join(relative));
    testsupport::WriteFile(images_.back(), testsupport::JpegWithExif(layout));
  }
  // The page over the frames added, read (as a check reads them) or not.
  std::string Page(bool read, const std::string& charset = "utf-8") {
    FrameStore frames(images_);
    if (read) frames.FetchAll();
    run_.image_folder = dir_.path();
    return ReportPageHtml(run_, frames, PageThumbnails(run_, frames), charset);
  }
  static std::size_t Count(const std::string& page, const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1))
      ++n;
    return n;
  }
  static bool Has(const std::string& page, const std::string& text) {
    return page.find(text) != std::string::npos;
  }

  testsupport::ScopedTempDir dir_;
  ImageList images_;
  RunOnPage run_;
};

// A check's outcome that reports `frames` in one group, the others in
// another.
CheckOnPage Reporting(const char* id, std::vector<std::size_t> frames,
                      const std::string& key = "key") {
  CheckOnPage check{id, {}};
  check.outcome.groups = {{"majority", 1, GroupVerdict::kMajority},
                          {key, frames.size(), GroupVerdict::kReported}};
  check.outcome.reported = std::move(frames);
  return check;
}

SurveyFrame Placed(double latitude, double longitude) {
  SurveyFrame frame;
  frame.gps = testsupport::GpsFix{latitude, longitude, 100.0};
  return frame;
}

// A position off the earth is listed, not drawn, and does not stretch the
// map: the scale bar stays at the survey's hundreds of metres.
TEST_F(ReportPage, DrawsOnlyPositionsThatCanBeRight) {
  Add("a.JPG", Placed(30.26, 120.12));
  Add("b.JPG", Placed(30.262, 120.123));
  Add("latitude-200.JPG", Placed(200.0, 120.12));
  Add("longitude-190.JPG", Placed(30.26, -190.5));
  testsupport::TiffLayout layout = testsupport::SurveyLayout(SurveyFrame());
  const testsupport::Fraction most{0xFFFFFFFFu, 1};
  (*layout.gps)[2] = testsupport::Rationals(0x0002, {most, most, most});
  Add("rationals.JPG", layout);
  Add("c.JPG", Placed(30.261, 120.121));
  const std::string page = Page(true);
  EXPECT_EQ(Count(page, "<circle class=\"dot\""), 3u) << page;
  EXPECT_EQ(Count(page, "points=\""), 1u);
  const std::size_t list = page.find("<ul id=\"bad-position\">");
  ASSERT_NE(list, std::string::npos) << page;
  const std::string listed = page.substr(list, page.find("</ul>", list) - list);
  for (const char* name : {"latitude-200.JPG", "longitude-190.JPG", "rationals.JPG"}) {
    EXPECT_TRUE(Has(listed, name)) << name;
  }
  EXPECT_FALSE(Has(listed, "a.JPG"));
  EXPECT_TRUE(Has(listed, "200.000000")) << listed;
  EXPECT_TRUE(Has(page, ">50 m</text></g>")) << page;
  EXPECT_FALSE(Has(page, "id=\"no-position\"")) << "a bad position is a position";
}

// With every check off no frame is read: the page says what it did not
// look at, not what the frames lack. Frames read for anything else are
// shown as read.
TEST_F(ReportPage, SaysWhatWasNotRead) {
  for (int i = 0; i < 3; ++i) Add("f" + std::to_string(i) + ".JPG");
  const std::string unread = Page(false);
  EXPECT_FALSE(Has(unread, "No frame has a GPS position")) << unread;
  EXPECT_FALSE(Has(unread, "id=\"no-position\"")) << unread;
  EXPECT_FALSE(Has(unread, "every file was checked")) << unread;
  EXPECT_TRUE(Has(unread, "Files read</th><td>0<")) << unread;
  EXPECT_TRUE(Has(unread, "Files not read</th><td>3<")) << unread;
  EXPECT_TRUE(Has(unread, "<p id=\"checks-run\">")) << unread;
  EXPECT_TRUE(Has(unread, "Checks run: none")) << unread;
  EXPECT_TRUE(Has(unread, "<p id=\"not-read\">")) << unread;
  EXPECT_FALSE(Has(unread, "<svg")) << unread;

  const std::string read = Page(true);
  EXPECT_TRUE(Has(read, "Files read</th><td>3<")) << read;
  EXPECT_FALSE(Has(read, "Files not read")) << read;
  EXPECT_FALSE(Has(read, "id=\"not-read\"")) << read;
  EXPECT_EQ(Count(read, "<circle class=\"dot\""), 3u) << read;
  EXPECT_TRUE(Has(read, "<svg")) << read;
  EXPECT_TRUE(Has(read, "Checks run: none")) << read;
}

// Each text from a file is escaped where it lands, cut to a few hundred
// bytes with its length said, and isolated, so that a U+202E in it turns
// none of the page's own text around.
TEST_F(ReportPage, EveryTextFromAFileIsEscapedBoundedAndIsolated) {
  Add("a.JPG");
  // Never written: the list of images is all the page goes by, and such a
  // name may be no file name on this system.
  const std::string tail(400, 'x');
  images_.push_back(dir_.Join("NAME<i>&\x01\xe2\x80\xae" + tail + ".JPG"));
  std::string make = "MAKE<b>";
  while (make.size() < 4000) make += "<b>&\x01\xe2\x80\xae ";
  make.resize(4000);
  run_.checks = {Reporting("maker", {1}, make), Reporting("gps", {1})};
  const std::string page = Page(true);
  EXPECT_FALSE(Has(page, "<i>")) << page;
  EXPECT_FALSE(Has(page, "<b>")) << page;
  EXPECT_FALSE(Has(page, "\x01")) << page;
  EXPECT_FALSE(Has(page, tail)) << page;
  EXPECT_TRUE(Has(page, "&#x2026; (4,000 bytes)")) << page;
  std::size_t seen = 0;
  for (const char* mark : {"NAME&lt;i&gt;", "MAKE&lt;b&gt;"}) {
    for (std::size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) {
      ++seen;
      EXPECT_TRUE(page.compare(at - 5, 5, "<bdi>") == 0 || page.compare(at - 8, 8, "&#x2068;") == 0)
          << page.substr(at - 20, 60);
    }
  }
  // The name: listed as reported by each check, as not checked and as
  // without a position; the Make once, as the maker check's key.
  EXPECT_EQ(seen, 5u) << page;
}

// 500 distinct Makes of 60 KB made a page of 30 MB that took a browser
// seconds to draw.
TEST_F(ReportPage, StaysSmallWithLongTexts) {
  Add("a.JPG");
  CheckOnPage check{"maker", {}};
  for (int i = 0; i < 500; ++i) {
    check.outcome.groups.push_back(
        {std::to_string(1000 + i) + std::string(60000, 'M'), 1, GroupVerdict::kReported});
  }
  run_.checks = {check};
  const std::string page = Page(true);
  EXPECT_LT(page.size(), 500u * 1000) << "bytes";
  EXPECT_TRUE(Has(page, "&#x2026; (60,004 bytes)"));
}

// Texts without a break point wrap rather than push the tables off the
// screen.
TEST_F(ReportPage, BreaksLongTexts) {
  const std::string page = Page(true);
  const std::size_t style = page.find("<style>");
  const std::string css = page.substr(style, page.find("</style>") - style);
  for (const char* selector : {"td", "li", "figcaption", "h1"}) {
    EXPECT_TRUE(std::regex_search(
        css, std::regex(std::string("[{},]") + selector + "[,{][^}]*overflow-wrap:anywhere")))
        << selector << " in " << css;
  }
}

// Frames of two folders may share a name: a dot says the path below the
// image folder.
TEST_F(ReportPage, MapNamesTheFramesFolder) {
  Add("100MEDIA/DJI_0001.JPG", Placed(30.26, 120.12));
  Add("101MEDIA/DJI_0001.JPG", Placed(30.262, 120.123));
  run_.checks = {Reporting("resolution", {0, 1})};
  const std::string page = Page(true);
  for (const char* folder : {"100MEDIA", "101MEDIA"}) {
    const std::string title = "<title>&#x2068;" + std::string(folder);
    EXPECT_TRUE(Has(page, title + "/DJI_0001.JPG&#x2069;: Resolution</title>") ||
                Has(page, title + "\\DJI_0001.JPG&#x2069;: Resolution</title>"))
        << page;
  }
}

// The thumbnails read stop at a budget: the page says how many it shows of
// how many the reported frames carry.
TEST_F(ReportPage, SaysHowManyThumbnailsItShows) {
  std::vector<std::size_t> frames;
  for (int i = 0; i < 60; ++i) {
    testsupport::TiffLayout layout = testsupport::SurveyLayout(SurveyFrame());
    layout.ifd1 = std::vector<testsupport::TiffEntry>{};
    layout.thumbnail = testsupport::JpegFile(
        {testsupport::Soi(), testsupport::Bytes(58 * 1024, 0x11), testsupport::Eoi()});
    Add("f" + std::to_string(100 + i) + ".JPG", layout);
    frames.push_back(static_cast<std::size_t>(i));
  }
  run_.checks = {Reporting("maker", frames)};
  const std::string page = Page(true);
  EXPECT_EQ(Count(page, "<figure>"), 35u);
  EXPECT_TRUE(Has(page, "<p id=\"thumbnails-shown\" data-shown=\"35\" data-carried=\"60\">"))
      << page.substr(page.find("id=\"thumbnails\""), 800);
}

}  // namespace
