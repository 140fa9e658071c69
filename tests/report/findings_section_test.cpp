// The page's part before processing over synthetic surveys: what it says
// of a rule without data, how many frames it names, and that a survey of
// 100,000 frames keeps the page to a few megabytes.
#include "report/findings_section.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "report/survey_plots.h"
#include "survey/lawnmower.h"

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The finding's row of the table.
std::string Row(const std::string& html, const char* id) {
  const std::size_t at = html.find(std::string("<tr id=\"finding-") + id + "\"");
  return at == std::string::npos ? "" : html.substr(at, html.find("</tr>", at) - at);
}

std::vector<std::string> Paths(std::size_t n, const std::string& stem) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < n; ++i) paths.push_back("/survey/" + stem + std::to_string(i));
  return paths;
}

std::string Section(const std::vector<FrameFacts>& facts, const std::vector<std::string>& paths) {
  const SurveyFindings found = FindBeforeProcessing(facts);
  const std::string folder = "/survey";
  return BeforeProcessingSection({found, facts, paths, folder, CharsetBytes::kUtf8});
}

// A rule that had nothing to judge gives its reason and no count, so that
// it cannot pass for a clean survey. A duplicate names the frame it repeats.
TEST(FindingsSection, SaysWhyARuleJudgedNothingAndWhatACopyRepeats) {
  std::vector<FrameFacts> facts = survey_test::FlyLawnmower({}).frames;
  for (FrameFacts& f : facts) f.gimbal_pitch = f.rtk_flag = std::nullopt;
  for (FrameFacts& f : facts) f.rtk_std_lon = f.rtk_std_lat = f.rtk_std_hgt = std::nullopt;
  facts.push_back(facts[7]);
  const std::string html = Section(facts, Paths(facts.size(), "DJI_"));
  for (const char* id : {"oblique", "horizon", "rtk_not_fixed"}) {
    const std::string row = Row(html, id);
    EXPECT_NE(row.find("class=\"no-data\" data-named=\"0\""), std::string::npos) << row;
    EXPECT_NE(row.find("<br>no data</td>"), std::string::npos) << row;
    EXPECT_NE(row.find("</p><p class=\"no-data\">"), std::string::npos) << row;
    EXPECT_NE(row.find(" Not judged: no frame carries "), std::string::npos) << row;
  }
  EXPECT_NE(
      Row(html, "duplicate")
          .find("<li data-frame=\"129\"><bdi>DJI_129</bdi> <span class=\"of\">&#x91CD;&#x590D; "
                "repeats</span> <bdi>DJI_7</bdi></li>"),
      std::string::npos)
      << Row(html, "duplicate");
  EXPECT_NE(Row(html, "position_outlier").find("class=\"none\" data-named=\"0\""),
            std::string::npos);
}

// Every frame on an RTK float fix: the row lists a few dozen by path, each
// escaped, cut and set apart, and counts the rest.
TEST(FindingsSection, NamesAFewDozenFramesEachEscapedAndBounded) {
  std::vector<FrameFacts> facts = survey_test::FlyLawnmower({}).frames;
  for (FrameFacts& f : facts) f.rtk_flag = 34;
  const std::string stem = "<i>&\x01\xe2\x80\xae" + std::string(400, 'x');
  const std::string row = Row(Section(facts, Paths(facts.size(), stem)), "rtk_not_fixed");
  EXPECT_EQ(Count(row, "<li data-frame="), kMostNamesShown);
  EXPECT_EQ(Count(row, "<li data-frame=\"0\"><bdi>&lt;i&gt;&amp;&#xFFFD;\xe2\x80\xaexxx"), 1u);
  EXPECT_EQ(Count(row, "</bdi>&#x2026; (4"), kMostNamesShown);
  EXPECT_EQ(Count(row, "<i>") + Count(row, "\x01"), 0u);
  EXPECT_NE(row.find("And 99 more &#x2014; see exifcheck-frames.csv."), std::string::npos);
}

// 100,000 frames in 400 flights, all named, one in seven oblique: the page
// grows by what a few dozen names, a hundred flights, the capped marks and
// a few thousand plot points take, and is quickly built.
TEST(FindingsSection, HundredThousandFramesMakeAFewMegabytes) {
  survey_test::LawnmowerPlan plan;
  plan.lines = 40;
  plan.frames_per_line = 2500;
  std::vector<FrameFacts> facts = survey_test::FlyLawnmower(plan).frames;
  for (std::size_t i = 0; i < facts.size(); ++i) {
    facts[i].rtk_flag = 34;
    if (i % 7 == 0) facts[i].gimbal_pitch = -60.0;
    facts[i].time->clock_seconds += static_cast<std::int64_t>(i / 250) * 600;
  }
  const std::vector<std::string> paths = Paths(facts.size(), "100MEDIA/DJI_");
  const SurveyFindings found = FindBeforeProcessing(facts);
  const auto begun = std::chrono::steady_clock::now();
  const std::string folder = "/survey";
  const std::string section =
      BeforeProcessingSection({found, facts, paths, folder, CharsetBytes::kUtf8});
  std::vector<MapPoint> points;
  std::vector<std::size_t> placed;
  for (std::size_t i = 0; i < facts.size(); ++i) {
    MapPoint point;
    point.latitude = facts[i].latitude;
    point.longitude = facts[i].longitude;
    point.flight = found.frames[i].flight;
    point.mark = MarkOf(found.frames[i].findings);
    point.note = paths[i] + ": " + FindingIds(found.frames[i].findings);
    points.push_back(point);
    placed.push_back(i);
  }
  const std::string map = SurveyMapSvg(points, FindingsMapLayers(found, facts, placed));
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count();
  std::printf("%zu frames: the part before processing %zu bytes, the map %zu bytes, in %.0f ms\n",
              facts.size(), section.size(), map.size(), ms);
  EXPECT_GE(facts.size(), 100000u);
  EXPECT_EQ(found.flights.size(), 401u);
  EXPECT_LT(section.size() + map.size(), 2000u * 1000);
  EXPECT_LT(Count(map, "<circle"), kMostMapMarks + 10);
  EXPECT_LT(Count(map, "<title>"), kMostMapNotes + 1);
  EXPECT_LT(ms, 5000);
  // The plots hold the lines and the marks, but no more than their budget.
  EXPECT_EQ(Count(section, "<svg class=\"plot\""), 4u);
  EXPECT_LT(Count(section, ","), 4 * kMostPlotPoints + 2 * kMostNamesShown * kFindingCount);
  EXPECT_GT(Count(Row(section, "oblique"), "<li"), 0u);
}

}  // namespace
