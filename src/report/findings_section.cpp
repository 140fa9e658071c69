// The "Before processing" part of the report page. The rules' texts are
// the findings' own; the frames are named by their paths, a few dozen a
// finding, and every text from a file is escaped, cut and set apart where
// it lands.
#include "report/findings_section.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "report/survey_plots.h"
#include "scan/image_folder_scan.h"
#include "survey/flights.h"
#include "survey/survey_math.h"

namespace {

struct FindingTitle {
  const char* chinese;
  const char* english;
};

// In Finding order.
constexpr FindingTitle kTitles[kFindingCount] = {
    {"位置无效", "Invalid position"},
    {"位置离群", "Position outlier"},
    {"新架次", "Another flight"},
    {"架次高度不同", "Flight at another height"},
    {"其他相机", "Another camera"},
    {"倾斜", "Oblique"},
    {"拍到地平线", "Horizon"},
    {"RTK 未固定", "RTK not fixed"},
    {"没有拍摄时间", "No capture time"},
    {"时间倒退", "Time going backwards"},
    {"重复", "Duplicate"},
    {"航线中断", "Gap in a line"},
    {"地面分辨率离群", "Coarser ground resolution"},
    {"航向重叠不足", "Low forward overlap"},
    {"运动模糊风险", "Blur risk"},
};

std::string PathText(const FindingsOnPage& in, std::size_t frame) {
  return FileText(PathBelow(in.paths[frame], in.image_folder), in.charset);
}

// "2024-05-01 10:20:30 +08:00", as the camera's clock read.
std::string TimeText(const CaptureTime& time) {
  const CivilTime civil = CivilTimeOf(time.clock_seconds);
  const auto two = [](std::int64_t n) {
    return (n < 10 ? "0" : "") + Decimal(static_cast<double>(n), 0);
  };
  std::string text = Decimal(static_cast<double>(civil.year), 0) + "-" + two(civil.month) + "-" +
                     two(civil.day) + " " + two(civil.hour) + ":" + two(civil.minute) + ":" +
                     two(civil.second);
  if (time.offset_minutes) {
    const int minutes = *time.offset_minutes;
    const int whole = minutes < 0 ? -minutes : minutes;
    text += (minutes < 0 ? " -" : " +") + two(whole / 60) + ":" + two(whole % 60);
  }
  return text;
}

// What one listed frame says beside its path.
std::string AfterPath(const FindingsOnPage& in, Finding id, std::size_t frame) {
  const FrameNotes& notes = in.findings.frames[frame];
  if (id == Finding::kDuplicate && notes.duplicate_of && *notes.duplicate_of < in.paths.size()) {
    return " <span class=\"of\">" + OwnText("重复") + " repeats</span> " +
           PathText(in, *notes.duplicate_of);
  }
  if ((id == Finding::kFlight || id == Finding::kFlightAltitude) && notes.flight) {
    return " <span class=\"of\">" + OwnText("架次") + " flight " +
           std::to_string(*notes.flight + 1) + "</span>";
  }
  return "";
}

std::string NamedFrames(const FindingsOnPage& in, Finding id, std::size_t named) {
  std::string html =
      std::string("<ul class=\"named-frames\" data-finding=\"") + FindingName(id) + "\">";
  std::size_t shown = 0;
  const std::size_t frames = std::min(in.findings.frames.size(), in.paths.size());
  for (std::size_t i = 0; i < frames && shown < kMostNamesShown; ++i) {
    if (!Names(in.findings.frames[i].findings, id)) continue;
    html += "<li data-frame=\"" + std::to_string(i) + "\">" + PathText(in, i) +
            AfterPath(in, id, i) + "</li>";
    ++shown;
  }
  html += "</ul>";
  if (named > shown) {
    const std::string more = Thousands(named - shown);
    html += "<p class=\"more\">" + OwnText("还有 ") + more +
            OwnText(" 张，见 exifcheck-frames.csv。") + " And " + more +
            " more &#x2014; see exifcheck-frames.csv.</p>";
  }
  return html;
}

std::string FindingRow(const FindingsOnPage& in, const RuleOutcome& rule) {
  const std::size_t i = static_cast<std::size_t>(rule.id);
  const char* state = !rule.has_data ? "no-data" : rule.named > 0 ? "named" : "none";
  std::string html = std::string("<tr id=\"finding-") + FindingName(rule.id) + "\" class=\"" +
                     state + "\" data-named=\"" + std::to_string(rule.named) + "\"><th>" +
                     OwnText(kTitles[i].chinese) + "<br>" + kTitles[i].english + "<br><code>" +
                     FindingName(rule.id) + "</code></th><td class=\"count\">";
  html += rule.has_data ? Thousands(rule.named) : OwnText("无数据") + "<br>no data";
  html += "</td><td><p class=\"rule\">" + OwnText(rule.rule_en) +
          "</p><p class=\"rule\" lang=\"zh\">" + OwnText(rule.rule_zh) + "</p>";
  if (!rule.has_data) {
    // Said as it is: a rule that judged nothing passes nothing.
    html += "<p class=\"no-data\">" + OwnText("未能判断：") + OwnText(rule.no_data_zh) +
            OwnText("。") + " Not judged: " + OwnText(rule.no_data_en) + ".</p>";
  }
  if (rule.named > 0) html += NamedFrames(in, rule.id, rule.named);
  return html + "</td></tr>";
}

std::string MetresText(const std::optional<double>& metres, int decimals) {
  return metres && std::isfinite(*metres) ? Decimal(*metres, decimals) + " m" : "&#x2014;";
}

std::string FlightsTable(const FindingsOnPage& in) {
  const std::vector<Flight>& flights = in.findings.flights;
  if (flights.empty()) return "";
  std::string html = "<h3>" + OwnText("架次") + " Flights</h3><table id=\"flights\"><tr><th>" +
                     OwnText("架次") + " Flight</th><th>" + OwnText("影像") + " Frames</th><th>" +
                     OwnText("开始") + " Start</th><th>" + OwnText("结束") + " End</th><th>" +
                     OwnText("相机") + " Body</th><th>" + OwnText("高度中位数") +
                     " Median altitude</th></tr>";
  for (std::size_t f = 0; f < flights.size() && f < kMostFlightRows; ++f) {
    const Flight& flight = flights[f];
    const char* kind = flight.altitude_kind == AltitudeKind::kRelative ? "relative &#x76F8;&#x5BF9;"
                       : flight.altitude_kind == AltitudeKind::kGps    ? "GPS"
                                                                       : "";
    html += std::string("<tr") + (flight.marked ? " class=\"marked\"" : "") +
            "><td><span class=\"swatch " + FlightColourClass(f) + "\"></span>" +
            std::to_string(f + 1) + "</td><td>" + Thousands(flight.frames) + "</td><td>" +
            TimeText(flight.start) + "</td><td>" + TimeText(flight.end) + "</td><td>" +
            FileText(flight.model, in.charset) + " " + FileText(flight.serial, in.charset) +
            "</td><td>" + MetresText(flight.altitude, 1) + " " + kind +
            (flight.marked ? OwnText("，与测区相差超过 5 m") + ", over 5 m from the survey's median"
                           : "") +
            "</td></tr>";
  }
  html += "</table>";
  if (flights.size() > kMostFlightRows) {
    html += "<p class=\"more\">" + OwnText("还有 ") + Thousands(flights.size() - kMostFlightRows) +
            OwnText(" 个架次，见 exifcheck-frames.csv 的 flight 列。") + " And " +
            Thousands(flights.size() - kMostFlightRows) +
            " more flights &#x2014; see the flight column of exifcheck-frames.csv.</p>";
  }
  return html;
}

std::string CamerasTable(const FindingsOnPage& in) {
  const std::vector<CameraGroup>& cameras = in.findings.cameras;
  if (cameras.size() < 2) return "";
  std::string html = "<h3>" + OwnText("相机") + " Cameras</h3><table id=\"cameras\"><tr><th>" +
                     OwnText("型号") + " Model</th><th>" + OwnText("机身序列号") +
                     " Serial</th><th>" + OwnText("镜头") + " Lens</th><th>" + OwnText("影像") +
                     " Frames</th><th>" + OwnText("第一张") + " First frame</th></tr>";
  for (std::size_t c = 0; c < cameras.size() && c < kMostCameraRows; ++c) {
    const CameraGroup& camera = cameras[c];
    html += std::string("<tr") + (camera.majority ? " class=\"majority\"" : "") + "><td>" +
            FileText(camera.model, in.charset) + "</td><td>" + FileText(camera.serial, in.charset) +
            "</td><td>" + FileText(camera.lens, in.charset) + "</td><td>" +
            Thousands(camera.frames) + "</td><td>" +
            (camera.first < in.paths.size() ? PathText(in, camera.first) : std::string()) +
            "</td></tr>";
  }
  html += "</table>";
  if (cameras.size() > kMostCameraRows) {
    html += "<p class=\"more\">" + OwnText("还有 ") + Thousands(cameras.size() - kMostCameraRows) +
            OwnText(" 组。") + " And " + Thousands(cameras.size() - kMostCameraRows) +
            " more groups.</p>";
  }
  return html;
}

std::string RtkLine(const SurveyFindings& findings) {
  if (findings.rtk.empty()) return "";
  std::string html = "<p id=\"rtk\">RtkFlag: ";
  for (std::size_t k = 0; k < findings.rtk.size() && k < 20; ++k) {
    const int flag = findings.rtk[k].flag;
    html += (k > 0 ? "; " : "") + std::to_string(flag);
    if (flag == 50) html += " (" + OwnText("固定解") + " fixed)";
    if (flag == 34) html += " (" + OwnText("浮点解") + " float)";
    if (flag == 16) html += " (" + OwnText("单点解") + " single)";
    if (flag == 0) html += " (" + OwnText("无") + " none)";
    html += ": " + Thousands(findings.rtk[k].frames);
  }
  return html + "</p>";
}

// What the rules measured against, for an operator weighing a finding.
std::string Figures(const SurveyFindings& findings) {
  const SurveyFigures& f = findings.figures;
  const auto add = [](std::string* html, const char* label, const std::optional<double>& value,
                      const char* unit, int decimals) {
    if (!value || !std::isfinite(*value)) return;
    *html += "<li>" + OwnText(label) + ": " + Decimal(*value, decimals) + unit + "</li>";
  };
  std::string html = "<ul id=\"figures\">";
  add(&html, "最近邻间距中位数 Median spacing to the nearest frame", f.neighbour_spacing_m, " m",
      1);
  add(&html, "离群距离 Outlier beyond", f.outlier_distance_m, " m", 0);
  add(&html, "拍摄间隔中位数 Median capture interval", f.frame_interval_s, " s", 1);
  add(&html, "新架次的停顿 A pause that starts a flight", f.flight_pause_s, " s", 0);
  add(&html, "相对高度中位数 Median relative altitude", f.relative_altitude_m, " m", 1);
  add(&html, "GPS 高度中位数 Median GPS altitude", f.gps_altitude_m, " m", 1);
  html += "<li>" + OwnText("判断的航线 Survey lines judged") + ": " + Thousands(f.lines) + "</li>";
  html += "<li>" + OwnText("垂直向下拍摄 Looks straight down") + ": " +
          (findings.looks_down ? OwnText("是 yes") : OwnText("否 no")) + "</li>";
  return html + "</ul>";
}

}  // namespace

std::string FindingIds(FindingSet set) {
  std::string ids;
  for (std::size_t i = 0; i < kFindingCount; ++i) {
    if (!Names(set, FindingAt(i))) continue;
    if (!ids.empty()) ids += ", ";
    ids += FindingName(FindingAt(i));
  }
  return ids;
}

MapMark MarkOf(FindingSet set) {
  if (Names(set, Finding::kPositionOutlier)) return MapMark::kOutlier;
  const FindingSet not_rings = FindingBit(Finding::kFlight) | FindingBit(Finding::kFlightAltitude) |
                               FindingBit(Finding::kGapBefore);
  return (set & ~not_rings) != 0 ? MapMark::kNamed : MapMark::kNone;
}

MapLayers FindingsMapLayers(const SurveyFindings& findings, const std::vector<FrameFacts>& facts,
                            const std::vector<std::size_t>& placed) {
  constexpr std::size_t kNotPlaced = static_cast<std::size_t>(-1);
  std::vector<std::size_t> point_of(findings.frames.size(), kNotPlaced);
  for (std::size_t k = 0; k < placed.size(); ++k) {
    if (placed[k] < point_of.size()) point_of[placed[k]] = k;
  }
  MapLayers layers;
  for (const std::vector<std::size_t>& flight : FlightsInCaptureOrder(findings, facts)) {
    std::vector<std::size_t> track;
    // The frame before on each line, as the gap rule stepped.
    std::map<std::size_t, std::size_t> last_on_line;
    for (const std::size_t i : flight) {
      // An outlier stands at the map's edge, not where the flight went.
      if (point_of[i] == kNotPlaced ||
          Names(findings.frames[i].findings, Finding::kPositionOutlier)) {
        continue;
      }
      track.push_back(point_of[i]);
      const std::optional<std::size_t>& line = findings.frames[i].line;
      if (!line) continue;
      const auto before = last_on_line.find(*line);
      if (before != last_on_line.end() && Names(findings.frames[i].findings, Finding::kGapBefore)) {
        layers.gaps.emplace_back(before->second, point_of[i]);
      }
      last_on_line[*line] = point_of[i];
    }
    layers.tracks.push_back(std::move(track));
  }
  return layers;
}

std::string BeforeProcessingSection(const FindingsOnPage& in) {
  std::string html = "<section id=\"before-processing\"><h2>" + OwnText("处理前的提示") +
                     " Before processing</h2><p lang=\"zh\">" +
                     OwnText(
                         "这些提示只供参考，不改变 error.json 和退出状态。每张影像的数值见 "
                         "exifcheck-frames.csv。") +
                     "</p><p>What would waste a day of photogrammetry, found in what the frames "
                     "say of their flight. For information: these findings change neither "
                     "error.json nor the exit status. Every frame's values are in "
                     "exifcheck-frames.csv.</p><table id=\"findings\"><tr><th>" +
                     OwnText("提示") + " Finding</th><th>" + OwnText("影像") + " Frames</th><th>" +
                     OwnText("规则与影像") + " Rule and frames</th></tr>";
  for (const RuleOutcome& rule : in.findings.rules) html += FindingRow(in, rule);
  html += "</table>" + Figures(in.findings) + FlightsTable(in) + CamerasTable(in) +
          RtkLine(in.findings);
  html += "<h3>" + OwnText("图") + " Plots</h3>" + SurveyPlotsHtml(in.findings, in.facts);
  return html + "</section>";
}
