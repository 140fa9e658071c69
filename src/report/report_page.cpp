// The report page, built as one string: inline CSS and SVG, no script and
// nothing loaded from anywhere, so that it opens from a USB stick on a
// machine with no network, and a Content-Security-Policy that says so.
#include "report/report_page.h"

#include <set>
#include <utility>

#include "checks/check_findings.h"
#include "platform/platform.h"
#include "report/findings_section.h"
#include "report/html_text.h"
#include "report/survey_map.h"

const char kReportPageName[] = "exifcheck-report.html";

namespace {

constexpr std::size_t kMostThumbnails = 200;
// Thumbnails grow the page by a third again as base64: this keeps a page of
// 20,000 frames under 5 MB.
constexpr std::size_t kThumbnailBudget = std::size_t{2} << 20;

// --- what the page says of the run -------------------------------------------

struct StatusText {
  int status;
  const char* chinese;
  const char* english;
};

constexpr StatusText kStatusTexts[] = {
    {0, "全部正常：每个文件都检查过，没有任何检查报告影像。",
     "All clear: every file was checked and no check reported an image."},
    {1, "有影像被报告，名字写在输出文件夹的 error.json 中。",
     "Images were reported; their names are in error.json in the output folder."},
    {4, "没有检查报告影像，但有文件或子文件夹无法检查。",
     "No check reported an image, but some files or subfolders could not be checked."},
    {5, "没有检查报告影像，但某项检查有几组不同的值没有写入报告。",
     "No check reported an image, but a check left groups of differing values out of the "
     "report."},
    {6,
     "有影像被报告，但 error.json 无法写入：名字只在控制台上，输出文件夹里的 error.json "
     "是以前运行留下的。",
     "Images were reported, but error.json could not be written: the names are on the console "
     "only, and an error.json in the output folder is from an earlier run."},
};

// Status 0 when no check ran: no file was looked at, so none can be clear.
constexpr StatusText kNoCheckText = {
    0, "没有运行任何检查：设置文件中没有一个检查开关正好是 true，所以没有检查任何影像。",
    "No check ran: no check's switch in the settings file is exactly true, so no image was "
    "checked."};

struct CheckText {
  const char* id;
  const char* chinese;
  const char* english;
};

constexpr CheckText kCheckTexts[] = {
    {"resolution", "分辨率", "Resolution"},
    {"maker", "相机制造商", "Camera maker"},
    {"focal-length", "35 mm 等效焦距", "35 mm focal length"},
    {"gps", "GPS 位置", "GPS position"},
};

const CheckText& TextOf(const char* id) {
  for (const CheckText& text : kCheckTexts) {
    if (std::string(text.id) == id) return text;
  }
  return kCheckTexts[0];
}

const char* VerdictClass(GroupVerdict verdict) {
  switch (verdict) {
    case GroupVerdict::kReported: return "reported";
    case GroupVerdict::kLeftOut: return "left-out";
    default: return "majority";
  }
}

const char* VerdictText(GroupVerdict verdict) {
  switch (verdict) {
    case GroupVerdict::kReported: return "已报告 reported";
    case GroupVerdict::kLeftOut: return "不同的值，未写入报告 left out, differs (status 5)";
    default: return "多数 majority";
  }
}

bool HasPosition(const Frame& frame) {
  return frame.fetched && frame.read == platform::FileRead::kRead &&
         frame.result == exif_result::ok && frame.latitude != 0.0 && frame.longitude != 0.0;
}

// For each frame, the checks that reported it, "resolution, GPS" say.
std::vector<std::string> ReportedBy(const RunOnPage& run, std::size_t frames) {
  std::vector<std::string> by(frames);
  for (const CheckOnPage& check : run.checks) {
    std::set<std::size_t> once(check.outcome.reported.begin(), check.outcome.reported.end());
    for (const std::size_t index : once) {
      if (!by[index].empty()) by[index] += ", ";
      by[index] += TextOf(check.id).english;
    }
  }
  return by;
}

// --- the parts of the page ---------------------------------------------------

// What every part of the page is made from.
struct PageInput {
  const RunOnPage& run;
  const FrameStore& frames;
  const SurveyFindings& findings;
  CharsetBytes charset;
};

// Frame `index`'s path below the image folder, as page text.
std::string PathText(const PageInput& in, std::size_t index) {
  return FileText(PathBelow(in.frames.Path(index), in.run.image_folder), in.charset);
}

// The files the checks could not read, and any other frame read without
// success: frames may be read for more than the checks.
std::set<std::size_t> Unreadable(const FrameStore& frames) {
  std::set<std::size_t> unreadable = frames.problems().unread;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames.At(i).fetched && frames.At(i).read != platform::FileRead::kRead)
      unreadable.insert(i);
  }
  return unreadable;
}

std::size_t NotRead(const FrameStore& frames) {
  std::size_t not_read = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) not_read += !frames.At(i).fetched;
  return not_read;
}

// "运行的检查：分辨率、GPS 位置 / Checks run: Resolution, GPS position".
std::string ChecksRun(const RunOnPage& run) {
  std::string chinese, english;
  for (const CheckOnPage& check : run.checks) {
    const CheckText& text = TextOf(check.id);
    chinese += (chinese.empty() ? "" : OwnText("、")) + OwnText(text.chinese);
    english += (english.empty() ? "" : ", ") + std::string(text.english);
  }
  if (run.checks.empty()) {
    chinese = OwnText("无");
    english = "none";
  }
  return "<p id=\"checks-run\">" + OwnText("运行的检查：") + chinese + " / Checks run: " + english +
         "</p>";
}

void AddVerdict(const PageInput& in, std::string& html) {
  const RunOnPage& run = in.run;
  const FrameStore& frames = in.frames;
  html += "<section id=\"verdict\"><h2>" + OwnText("结论") + " Verdict</h2>";
  html += "<p id=\"status\" data-status=\"" + std::to_string(run.status) + "\" class=\"status s" +
          std::to_string(run.status) + "\">" + OwnText("退出状态") + " / exit status " +
          std::to_string(run.status) + "</p>";
  for (const StatusText& listed : kStatusTexts) {
    if (listed.status != run.status) continue;
    const StatusText& text = run.checks.empty() && run.status == 0 ? kNoCheckText : listed;
    html += "<p lang=\"zh\">" + OwnText(text.chinese) + "</p><p>" + OwnText(text.english) + "</p>";
  }
  html += ChecksRun(run);
  std::size_t read = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    read += frames.At(i).fetched && frames.At(i).read == platform::FileRead::kRead;
  }
  html += "<table class=\"counts\">";
  const auto row = [&html](const char* label, std::size_t n) {
    html += "<tr><th>" + OwnText(label) + "</th><td>" + std::to_string(n) + "</td></tr>";
  };
  row("列出的文件 Files listed", frames.size());
  row("读取的文件 Files read", read);
  const std::size_t not_read = NotRead(frames);
  if (not_read > 0) row("没有读取的文件 Files not read", not_read);
  const std::set<std::size_t> unreadable = Unreadable(frames);
  row("无法检查的文件 Files not checked", unreadable.size());
  if (run.folders_unlisted > 0)
    row("无法列出的子文件夹 Subfolders not listed", run.folders_unlisted);
  for (const CheckOnPage& check : run.checks) {
    const CheckText& text = TextOf(check.id);
    html += "<tr><th>" + OwnText(text.chinese) + " " + text.english + OwnText("：报告的影像") +
            " images reported</th><td>" + std::to_string(check.outcome.reported.size()) +
            "</td></tr>";
  }
  html += "</table>";
  if (!unreadable.empty()) {
    html += "<h3>" + OwnText("无法检查的文件") + " Files not checked</h3><ul id=\"not-checked\">";
    for (const std::size_t index : unreadable) {
      html += "<li>" + PathText(in, index) + ": " + FileText(frames.WhyNotRead(index), in.charset) +
              "</li>";
    }
    html += "</ul>";
  }
  html += "</section>";
}

// The frames with a position that can be right, as the map draws them,
// with their list positions in `placed`; the others listed into
// `impossible`.
std::vector<MapPoint> MapPoints(const PageInput& in, const std::vector<std::string>& reported_by,
                                std::vector<std::size_t>* placed, std::string* impossible) {
  std::vector<MapPoint> points;
  for (std::size_t i = 0; i < in.frames.size(); ++i) {
    const Frame& f = in.frames.At(i);
    if (!HasPosition(f)) continue;
    if (!PositionPossible(f.latitude, f.longitude)) {
      *impossible += "<li>" + PathText(in, i) + ": " + Decimal(f.latitude, 6) + ", " +
                     Decimal(f.longitude, 6) + "</li>";
      continue;
    }
    MapPoint point;
    point.latitude = f.latitude;
    point.longitude = f.longitude;
    point.odd = !reported_by[i].empty();
    // The path, not the name alone: two flight folders often hold the same
    // names.
    const auto path = [&] {
      return FileTextPlain(PathBelow(in.frames.Path(i), in.run.image_folder), in.charset);
    };
    if (point.odd) point.title = path() + ": " + EscapedBytes(reported_by[i]);
    if (i < in.findings.frames.size()) {
      const FrameNotes& notes = in.findings.frames[i];
      point.flight = notes.flight;
      point.mark = MarkOf(notes.findings);
      if (point.mark != MapMark::kNone) point.note = path() + ": " + FindingIds(notes.findings);
    }
    placed->push_back(i);
    points.push_back(std::move(point));
  }
  return points;
}

// What the map's colours and marks mean, and what it left out.
std::string MapLegend(const PageInput& in, const std::vector<MapPoint>& points,
                      const MapLayers& layers) {
  const auto icon = [](const std::string& shape) {
    return "<svg class=\"icon\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 16\">" +
           shape + "</svg>";
  };
  std::string html = "<ul id=\"map-legend\">";
  const std::size_t flights = std::min(in.findings.flights.size(), kFlightColours);
  for (std::size_t f = 0; f < flights; ++f) {
    html += "<li><span class=\"swatch " + FlightColourClass(f) + "\"></span>" + OwnText("架次 ") +
            std::to_string(f + 1) + " flight " + std::to_string(f + 1) + "</li>";
  }
  if (in.findings.flights.size() > kFlightColours) {
    html += "<li>" + OwnText("颜色循环使用 ") + "colours repeat from flight " +
            std::to_string(kFlightColours + 1) + "</li>";
  }
  std::size_t marks = layers.gaps.size(), outside = 0;
  for (const MapPoint& point : points) {
    marks += point.mark != MapMark::kNone;
    outside += !point.flight;
  }
  if (!in.findings.flights.empty() && outside > 0) {
    html += "<li>" + icon("<circle class=\"dot none\" cx=\"12\" cy=\"8\" r=\"3\"/>") +
            OwnText("不属于任何架次") + " in no flight</li>";
  }
  html += "<li>" + icon("<circle class=\"dot odd\" cx=\"12\" cy=\"8\" r=\"5\"/>") +
          OwnText("检查报告的影像") + " reported by a check</li><li>" +
          icon("<circle class=\"named\" cx=\"12\" cy=\"8\" r=\"5\"/>") +
          OwnText("提示中列出的影像") + " named by a finding</li><li>" +
          icon("<circle class=\"outlier\" cx=\"12\" cy=\"8\" r=\"6\"/>") + "position_outlier " +
          OwnText("（不在图内时画在边上）") + " (at the map's edge when off it)</li><li>" +
          icon("<line class=\"gap\" x1=\"2\" y1=\"8\" x2=\"22\" y2=\"8\"/>") +
          "gap_before</li></ul>";
  if (points.size() > kMostMapDots) {
    html += "<p class=\"more\">" + OwnText("影像超过 ") + Thousands(kMostMapDots) +
            OwnText(" 张：只画航迹，不画每张影像的点。") + " Over " + Thousands(kMostMapDots) +
            " frames: each flight is drawn as its track, without a dot a frame.</p>";
  }
  if (marks > kMostMapMarks) {
    html += "<p class=\"more\">" + OwnText("地图只标出前 ") + Thousands(kMostMapMarks) +
            OwnText(" 处（共 ") + Thousands(marks) + OwnText(" 处）。") +
            " The map marks the first " + Thousands(kMostMapMarks) + " of " + Thousands(marks) +
            ".</p>";
  }
  return html;
}

void AddMap(const PageInput& in, const std::vector<std::string>& reported_by, std::string& html) {
  const FrameStore& frames = in.frames;
  std::string impossible;
  std::vector<std::size_t> placed;
  const std::vector<MapPoint> points = MapPoints(in, reported_by, &placed, &impossible);
  const std::size_t not_read = NotRead(frames);
  html += "<section id=\"survey\"><h2>" + OwnText("测区地图") + " Map of the survey</h2>";
  if (!points.empty()) {
    const MapLayers layers = FindingsMapLayers(in.findings, frames.facts(), placed);
    html += SurveyMapSvg(points, layers) + MapLegend(in, points, layers);
  } else if (not_read == 0) {
    html += "<p>" + OwnText("没有影像带 GPS 位置。") + " No frame has a GPS position.</p>";
  } else if (not_read < frames.size()) {
    html += "<p>" + OwnText("读取的影像都没有 GPS 位置。") +
            " No frame that was read has a GPS position.</p>";
  }
  if (not_read > 0) {
    html += "<p id=\"not-read\">" + std::to_string(not_read) + " / " +
            std::to_string(frames.size()) +
            OwnText(" 张影像没有读取，它们的位置不明：运行的检查都不需要读取它们。") + " " +
            std::to_string(not_read) + " of " + std::to_string(frames.size()) +
            " frames were not read, so where they were taken is not known: no check that ran "
            "needed them.</p>";
  }
  if (!impossible.empty()) {
    html += "<h3>" + OwnText("不可能的 GPS 位置（不画在地图上）") +
            " Positions that cannot be right (not drawn)</h3><p>" +
            OwnText("纬度须在 ±90° 之内，经度须在 ±180° 之内。") +
            " A latitude lies within &#xB1;90&#xB0; and a longitude within &#xB1;180&#xB0;.</p>"
            "<ul id=\"bad-position\">" +
            impossible + "</ul>";
  }
  std::string missing;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames.At(i).fetched && !HasPosition(frames.At(i))) {
      missing += "<li>" + PathText(in, i) + "</li>";
    }
  }
  if (!missing.empty()) {
    html += "<h3>" + OwnText("没有 GPS 位置的影像") + " Frames without a position</h3>" +
            "<ul id=\"no-position\">" + missing + "</ul>";
  }
  html += "</section>";
}

void AddCheck(const PageInput& in, const CheckOnPage& check, std::string& html) {
  const CheckText& text = TextOf(check.id);
  html += std::string("<section class=\"check\" id=\"check-") + check.id + "\"><h2>" +
          OwnText(text.chinese) + " " + text.english + "</h2><table class=\"groups\"><tr><th>" +
          OwnText("键") + " Key</th><th>" + OwnText("数量") + " Size</th><th></th></tr>";
  for (const GroupSummary& group : check.outcome.groups) {
    html += std::string("<tr class=\"") + VerdictClass(group.verdict) + "\"><td class=\"key\">" +
            (group.key.empty() ? OwnText("（空）") + " (empty)" : FileText(group.key, in.charset)) +
            "</td><td class=\"size\">" + std::to_string(group.size) + "</td><td>" +
            OwnText(VerdictText(group.verdict)) + "</td></tr>";
  }
  html += "</table>";
  if (!check.outcome.reported.empty()) {
    html += "<h3>" + OwnText("报告的影像") + " Reported frames</h3><ul class=\"reported-frames\">";
    for (const std::size_t index : check.outcome.reported) {
      html += "<li>" + PathText(in, index) + "</li>";
    }
    html += "</ul>";
  }
  html += "</section>";
}

void AddThumbnails(const PageInput& in, const ThumbnailReads& thumbnails, std::string& html) {
  if (thumbnails.carried == 0) return;
  const std::string shown = std::to_string(thumbnails.shown.size());
  const std::string carried = std::to_string(thumbnails.carried);
  html += "<section id=\"thumbnails\"><h2>" + OwnText("报告影像的缩略图") +
          " What the reported frames show</h2><p id=\"thumbnails-shown\" data-shown=\"" + shown +
          "\" data-carried=\"" + carried + "\">" + OwnText("显示报告的影像所带的 ") + carried +
          OwnText(" 张缩略图中的 ") + shown + OwnText(" 张") + ". Shown " + shown + " of the " +
          carried + " thumbnails that the reported frames carry";
  if (thumbnails.shown.size() < thumbnails.carried) {
    const std::string most = std::to_string(kMostThumbnails);
    const std::string mib = std::to_string(kThumbnailBudget >> 20) + " MiB";
    html += OwnText("：页面最多放 ") + most + OwnText(" 张、共 ") + mib +
            OwnText("，不再能读作 JPEG 的也不放。") + ": the page holds at most " + most +
            " of them and " + mib + " in all, and leaves out any that no longer reads as a JPEG";
  }
  html += ".</p>";
  for (const Thumbnail& thumbnail : thumbnails.shown) {
    html += "<figure><img alt=\"\" src=\"data:image/jpeg;base64," + Base64(thumbnail.jpeg) +
            "\"><figcaption>" + PathText(in, thumbnail.frame) + "</figcaption></figure>";
  }
  html += "</section>";
}

constexpr char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em auto;max-width:960px;padding:0 1em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;border-bottom:1px solid #ccc;margin-top:1.6em}"
    ".status{font-size:1.3em;font-weight:bold;padding:.3em .6em;display:inline-block}"
    ".s0{background:#d8f0d8}.s1,.s6{background:#f6d5d5}.s4,.s5{background:#f7ecc8}"
    "table{border-collapse:collapse;max-width:100%}td,th{border:1px solid #ddd;"
    "padding:.2em .6em;text-align:left}"
    // A name or a Make of a thousand letters wraps rather than widen the page;
    // the page's own words keep their place.
    "bdi{overflow-wrap:anywhere;word-break:break-word}"
    "figcaption{max-width:200px;margin:0 auto}"
    "tr.reported td{background:#f6d5d5}tr.left-out td{background:#f7ecc8}"
    "#map,svg.plot{width:100%;height:auto;border:1px solid #ccc;background:#fafafa}"
    ".track{fill:none;stroke:#9ab;stroke-width:.8}.track.bare{stroke-width:2.5}.dot{fill:#357}"
    ".dot.none{fill:#aaa}.named{fill:none;stroke:#f80;stroke-width:2}"
    ".outlier{fill:none;stroke:#000;stroke-width:2}"
    ".gap{stroke:#f80;stroke-width:3;stroke-dasharray:4 3}"
    ".dot.odd{fill:#d22;stroke:#fff;stroke-width:1.5}"
    "g.odd:focus{outline:none}g.odd:focus .dot.odd{stroke:#000;stroke-width:2.5}"
    ".label{display:none;font-size:13px;paint-order:stroke;stroke:#fff;stroke-width:3px}"
    "g.odd:hover .label,g.odd:focus .label{display:inline}"
    "#scale line{stroke:#000;stroke-width:2}#scale text,.north{font-size:12px}"
    "figure{display:inline-block;margin:.4em;text-align:center;font-size:.8em}"
    "figure img{display:block;max-width:200px;max-height:150px}"
    "ul{padding-left:1.4em}li{font-family:monospace}"
    // Before processing: the findings, the flights and the plots.
    "#findings{width:100%}#findings td,#findings th{vertical-align:top}"
    "#findings tr+tr th{width:10em;font-weight:normal;font-size:.9em}"
    "#findings th code{font-weight:bold}"
    ".count{text-align:center;font-size:1.2em;width:4em}.rule{margin:0;font-size:.85em}"
    ".rule[lang=zh]{color:#555}"
    "tr.named th,tr.named td.count{background:#fdebc8}"
    "tr.no-data th,tr.no-data td{background:#eee;color:#555}.no-data{font-style:italic}"
    ".named-frames{margin:.3em 0;font-size:.9em}.of{font-family:sans-serif;color:#666}"
    ".more{font-size:.9em;color:#555}tr.marked td{background:#f7ecc8}"
    ".swatch{display:inline-block;width:.9em;height:.9em;margin-right:.4em;"
    "vertical-align:middle}"
    "#figures,#map-legend{font-size:.85em;list-style:none;padding:0;display:flex;"
    "flex-wrap:wrap;gap:.2em 1.4em}#figures li,#map-legend li{font-family:sans-serif}"
    ".icon{width:24px;height:16px;vertical-align:middle;margin-right:.2em}"
    "#plots{display:grid;grid-template-columns:repeat(auto-fit,minmax(400px,1fr));gap:.6em 1em}"
    ".caption{font-size:.8em;margin:.1em 0 .6em}.axis{stroke:#444;fill:none}.grid{stroke:#e6e6e6}"
    ".tick,.threshold-label{font-size:10px;fill:#444}.threshold-label{fill:#d22}"
    ".series{fill:none;stroke-width:1.2}.series.marked{stroke-width:3}"
    ".threshold{stroke:#d22;stroke-dasharray:5 3}.flight-start{stroke:#bbb;stroke-dasharray:2 2}"
    ".plot-mark{fill:#d22;stroke:#fff;stroke-width:.8}";

// Each flight's colour, for the map's dots and tracks, the plots' lines and
// the tables' swatches.
std::string FlightStyle() {
  std::string style;
  for (std::size_t f = 0; f < kFlightColours; ++f) {
    const std::string c = FlightColourClass(f);
    for (const char* part : {".dot.", c.c_str(), "{fill:", kFlightPalette[f], "}.swatch.",
                             c.c_str(), "{background:", kFlightPalette[f], "}.track.", c.c_str(),
                             ",.series.", c.c_str(), "{stroke:", kFlightPalette[f], "}"}) {
      style += part;
    }
  }
  return style;
}

}  // namespace

std::string ReportPageHtml(const RunOnPage& run, const FrameStore& frames,
                           const SurveyFindings& findings, const ThumbnailReads& thumbnails,
                           const std::string& charset) {
  const PageInput in{run, frames, findings, CharsetBytesOf(charset)};
  const std::vector<std::string> reported_by = ReportedBy(run, frames.size());
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"" + EscapedBytes(charset) +
      "\"><meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; img-src data:\"><meta name=\"viewport\" "
      "content=\"width=device-width\"><title>exifcheck " +
      OwnText("报告") + "</title><style>" + kStyle + FlightStyle() +
      "</style></head><body><h1>exifcheck " + OwnText("检查报告") +
      " / report: " + FileText(run.image_folder, in.charset) + "</h1>";
  AddVerdict(in, html);
  html += BeforeProcessingSection(
      {findings, frames.facts(), frames.paths(), run.image_folder, in.charset});
  AddMap(in, reported_by, html);
  for (const CheckOnPage& check : run.checks) AddCheck(in, check, html);
  AddThumbnails(in, thumbnails, html);
  html += "</body></html>\n";
  return html;
}

ThumbnailReads PageThumbnails(const RunOnPage& run, const FrameStore& frames) {
  std::set<std::size_t> reported;
  for (const CheckOnPage& check : run.checks) {
    reported.insert(check.outcome.reported.begin(), check.outcome.reported.end());
  }
  return ReadThumbnails(frames, std::vector<std::size_t>(reported.begin(), reported.end()),
                        kMostThumbnails, kThumbnailBudget);
}

bool WriteReportPage(const RunOnPage& run, const FrameStore& frames, const SurveyFindings& findings,
                     const std::string& output_folder, std::string* error) {
  const std::string html =
      ReportPageHtml(run, frames, findings, PageThumbnails(run, frames), platform::NamesCharset());
  return platform::ReplaceFile(platform::JoinPath(output_folder, kReportPageName), html, error,
                               platform::LinkPolicy::kReplaceLink) !=
         platform::ReportWrite::kFailed;
}
