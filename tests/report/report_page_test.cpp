// What the report page says of a run, checked in its HTML text.
#include "report/report_page.h"

#include <gtest/gtest.h>

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
    return ReportPageHtml(run_, frames, PageThumbnails(run_, frames).shown, charset);
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

}  // namespace
