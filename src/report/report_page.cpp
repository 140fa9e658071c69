// The report page, built as one string: inline CSS and SVG, no script and
// nothing loaded from anywhere, so that it opens from a USB stick on a
// machine with no network, and a Content-Security-Policy that says so.
#include "report/report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>

#include "checks/check_findings.h"
#include "platform/platform.h"

const char kReportPageName[] = "exifcheck-report.html";

namespace {

constexpr std::size_t kMostThumbnails = 200;
// Thumbnails grow the page by a third again as base64: this keeps a page of
// 20,000 frames under 5 MB.
constexpr std::size_t kThumbnailBudget = std::size_t{2} << 20;

// --- text ------------------------------------------------------------------

// Bytes from a file as HTML text: markup characters as entities, control
// bytes as the replacement character, every other byte as it is, to be read
// in the page's charset.
std::string Escaped(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          out += "&#xFFFD;";
        } else {
          out += c;
        }
    }
  }
  return out;
}

// The page's own text, written in this source as UTF-8, as ASCII: every
// other character as a numeric reference, which reads the same in any
// charset the page declares.
std::string Own(const char* utf8) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p != 0) {
    if (*p < 0x80) {
      out += static_cast<char>(*p++);
      continue;
    }
    const int extra = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : 1;
    std::uint32_t code = *p++ & (0x3Fu >> extra);
    for (int k = 0; k < extra && (*p & 0xC0) == 0x80; ++k) code = (code << 6) | (*p++ & 0x3Fu);
    char ref[16];
    std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(code));
    out += ref;
  }
  return out;
}

std::string Number(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A map coordinate to a tenth of a pixel. Written twice for every frame, so
// by integers: snprintf alone took a tenth of a warm run's time.
std::string Tenths(double value) {
  const long long tenths = std::llround(value * 10);
  const long long whole = (tenths < 0 ? -tenths : tenths) / 10;
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(whole);
  text += '.';
  text += static_cast<char>('0' + (tenths < 0 ? -tenths : tenths) % 10);
  return text;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

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

// A path as it stands below the image folder, or whole when it does not.
std::string Relative(const std::string& path, const std::string& folder) {
  if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
      std::string(platform::kPathSeparators).find(path[folder.size()]) != std::string::npos) {
    return path.substr(folder.size() + 1);
  }
  return path;
}

bool HasPosition(const Frame& frame) {
  return frame.read == platform::FileRead::kRead && frame.result == exif_result::ok &&
         frame.latitude != 0.0 && frame.longitude != 0.0;
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

void AddVerdict(const RunOnPage& run, const FrameStore& frames, std::string& html) {
  const ImageList& images = frames.paths();
  html += "<section id=\"verdict\"><h2>" + Own("结论") + " Verdict</h2>";
  html += "<p id=\"status\" data-status=\"" + std::to_string(run.status) + "\" class=\"status s" +
          std::to_string(run.status) + "\">" + Own("退出状态") + " / exit status " +
          std::to_string(run.status) + "</p>";
  for (const StatusText& text : kStatusTexts) {
    if (text.status != run.status) continue;
    html += "<p lang=\"zh\">" + Own(text.chinese) + "</p><p>" + Own(text.english) + "</p>";
  }
  std::size_t read = 0;
  for (std::size_t i = 0; i < frames.fetched(); ++i) {
    read += frames.At(i).read == platform::FileRead::kRead;
  }
  html += "<table class=\"counts\">";
  const auto row = [&html](const char* label, std::size_t n) {
    html += "<tr><th>" + Own(label) + "</th><td>" + std::to_string(n) + "</td></tr>";
  };
  row("列出的文件 Files listed", images.size());
  row("读取的文件 Files read", read);
  row("无法检查的文件 Files not checked", frames.problems().unread.size());
  if (run.folders_unlisted > 0)
    row("无法列出的子文件夹 Subfolders not listed", run.folders_unlisted);
  for (const CheckOnPage& check : run.checks) {
    const CheckText& text = TextOf(check.id);
    html += "<tr><th>" + Own(text.chinese) + " " + text.english + Own("：报告的影像") +
            " images reported</th><td>" + std::to_string(check.outcome.reported.size()) +
            "</td></tr>";
  }
  html += "</table>";
  if (!frames.problems().unread.empty()) {
    html += "<h3>" + Own("无法检查的文件") + " Files not checked</h3><ul id=\"not-checked\">";
    for (const std::size_t index : frames.problems().unread) {
      html += "<li>" + Escaped(Relative(images[index], run.image_folder)) + ": " +
              Escaped(frames.WhyNotRead(index)) + "</li>";
    }
    html += "</ul>";
  }
  html += "</section>";
}

// A local projection fitted to the survey: metres east and north of its
// middle, north up. Over a survey's few kilometres the earth is flat enough.
struct Projection {
  double lat0 = 0, lon0 = 0, east_scale = 0;
  double min_x = 0, max_y = 0, pixels_per_metre = 1;
  double left = 0, top = 0;  // where the survey's extent starts, centred
};

constexpr double kMetresPerDegree = 111320.0;
constexpr double kMapWidth = 900, kMapHeight = 600, kMargin = 30;

void MetresOf(const Projection& p, const Frame& f, double* x, double* y) {
  *x = (f.longitude - p.lon0) * p.east_scale;
  *y = (f.latitude - p.lat0) * kMetresPerDegree;
}

Projection FitProjection(const std::vector<const Frame*>& placed) {
  Projection p;
  double lat_min = 90, lat_max = -90, lon_min = 180, lon_max = -180;
  for (const Frame* f : placed) {
    lat_min = std::min(lat_min, f->latitude);
    lat_max = std::max(lat_max, f->latitude);
    lon_min = std::min(lon_min, f->longitude);
    lon_max = std::max(lon_max, f->longitude);
  }
  p.lat0 = (lat_min + lat_max) / 2;
  p.lon0 = (lon_min + lon_max) / 2;
  const double kRadians = 3.14159265358979323846 / 180;
  p.east_scale = kMetresPerDegree * std::cos(p.lat0 * kRadians);
  const double width = std::max((lon_max - lon_min) * p.east_scale, 1.0);
  const double height = std::max((lat_max - lat_min) * kMetresPerDegree, 1.0);
  p.pixels_per_metre =
      std::min((kMapWidth - 2 * kMargin) / width, (kMapHeight - 2 * kMargin) / height);
  p.min_x = -width / 2;
  p.max_y = height / 2;
  p.left = (kMapWidth - width * p.pixels_per_metre) / 2;
  p.top = (kMapHeight - height * p.pixels_per_metre) / 2;
  return p;
}

void Pixels(const Projection& p, const Frame& f, double* px, double* py) {
  double x = 0, y = 0;
  MetresOf(p, f, &x, &y);
  *px = p.left + (x - p.min_x) * p.pixels_per_metre;
  *py = p.top + (p.max_y - y) * p.pixels_per_metre;
}

// "x,y" of a polyline's point.
std::string Point(const Projection& p, const Frame& f) {
  double x = 0, y = 0;
  Pixels(p, f, &x, &y);
  return Tenths(x) + "," + Tenths(y);
}

// ` cx="..." cy="..."` of a circle (prefix "c"), ` x="..." y="..."` of a text.
std::string At(const Projection& p, const Frame& f, const char* prefix) {
  double x = 0, y = 0;
  Pixels(p, f, &x, &y);
  std::string out = " ";
  out += prefix;
  out += "x=\"";
  out += Tenths(x);
  out += "\" ";
  out += prefix;
  out += "y=\"";
  out += Tenths(y);
  out += "\"";
  return out;
}

// A round length of about a fifth of the map's width.
std::string ScaleBar(const Projection& p) {
  const double metres = (kMapWidth - 2 * kMargin) / p.pixels_per_metre / 5;
  double length = std::pow(10.0, std::floor(std::log10(metres)));
  if (length * 5 <= metres) {
    length *= 5;
  } else if (length * 2 <= metres) {
    length *= 2;
  }
  const double pixels = length * p.pixels_per_metre;
  const std::string label =
      length >= 1000 ? Number(length / 1000, std::fmod(length, 1000) == 0 ? 0 : 1) + " km"
                     : Number(length, length >= 1 ? 0 : 2) + " m";
  const std::string y = Number(kMapHeight - 10, 0);
  return "<g id=\"scale\"><line x1=\"" + Number(kMargin, 0) + "\" y1=\"" + y + "\" x2=\"" +
         Number(kMargin + pixels, 1) + "\" y2=\"" + y + "\"/><text x=\"" + Number(kMargin, 0) +
         "\" y=\"" + Number(kMapHeight - 16, 0) + "\">" + label + "</text></g>";
}

void AddMap(const RunOnPage& run, const FrameStore& frames,
            const std::vector<std::string>& reported_by, std::string& html) {
  const ImageList& images = frames.paths();
  std::vector<const Frame*> placed;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (HasPosition(frames.At(i))) placed.push_back(&frames.At(i));
  }
  html += "<section id=\"survey\"><h2>" + Own("测区地图") + " Map of the survey</h2>";
  if (placed.empty()) {
    html += "<p>" + Own("没有影像带 GPS 位置。") + " No frame has a GPS position.</p>";
  } else {
    const Projection p = FitProjection(placed);
    html += "<svg id=\"map\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
            Number(kMapWidth, 0) + " " + Number(kMapHeight, 0) + "\" role=\"img\"><text x=\"" +
            Number(kMapWidth - 24, 0) + "\" y=\"24\" class=\"north\">N &#x2191;</text>";
    html += "<polyline class=\"track\" points=\"";
    for (const Frame* f : placed) html += Point(p, *f) + " ";
    html += "\"/>";
    std::string odd;  // drawn last, so that they lie on top
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const Frame& f = frames.At(i);
      if (!HasPosition(f)) continue;
      if (reported_by[i].empty()) {
        html += "<circle class=\"dot\"";
        html += At(p, f, "c");
        html += " r=\"2.5\"/>";
        continue;
      }
      const std::string name =
          Escaped(FileNameFromPath(images[i])) + ": " + Escaped(reported_by[i]);
      odd += "<g class=\"odd\" tabindex=\"0\"><title>";
      odd += name;
      odd += "</title><circle class=\"dot odd\"";
      odd += At(p, f, "c");
      odd += " r=\"6\"/><text class=\"label\"";
      odd += At(p, f, "");
      odd += " dx=\"9\" dy=\"-9\">";
      odd += name;
      odd += "</text></g>";
    }
    html += odd + ScaleBar(p) + "</svg>";
  }
  std::string missing;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!HasPosition(frames.At(i))) {
      missing += "<li>" + Escaped(Relative(images[i], run.image_folder)) + "</li>";
    }
  }
  if (!missing.empty()) {
    html += "<h3>" + Own("没有 GPS 位置的影像") + " Frames without a position</h3>" +
            "<ul id=\"no-position\">" + missing + "</ul>";
  }
  html += "</section>";
}

void AddCheck(const CheckOnPage& check, const RunOnPage& run, const FrameStore& frames,
              std::string& html) {
  const CheckText& text = TextOf(check.id);
  html += std::string("<section class=\"check\" id=\"check-") + check.id + "\"><h2>" +
          Own(text.chinese) + " " + text.english + "</h2><table class=\"groups\"><tr><th>" +
          Own("键") + " Key</th><th>" + Own("数量") + " Size</th><th></th></tr>";
  for (const GroupSummary& group : check.outcome.groups) {
    html += std::string("<tr class=\"") + VerdictClass(group.verdict) + "\"><td class=\"key\">" +
            (group.key.empty() ? Own("（空）") + " (empty)" : Escaped(group.key)) +
            "</td><td class=\"size\">" + std::to_string(group.size) + "</td><td>" +
            Own(VerdictText(group.verdict)) + "</td></tr>";
  }
  html += "</table>";
  if (!check.outcome.reported.empty()) {
    html += "<h3>" + Own("报告的影像") + " Reported frames</h3><ul class=\"reported-frames\">";
    for (const std::size_t index : check.outcome.reported) {
      html += "<li>" + Escaped(Relative(frames.paths()[index], run.image_folder)) + "</li>";
    }
    html += "</ul>";
  }
  html += "</section>";
}

void AddThumbnails(const RunOnPage& run, const FrameStore& frames,
                   const std::vector<Thumbnail>& thumbnails, std::string& html) {
  if (thumbnails.empty()) return;
  html += "<section id=\"thumbnails\"><h2>" + Own("报告影像的缩略图") +
          " What the reported frames show</h2>";
  for (const Thumbnail& thumbnail : thumbnails) {
    html += "<figure><img alt=\"\" src=\"data:image/jpeg;base64," + Base64(thumbnail.jpeg) +
            "\"><figcaption>" +
            Escaped(Relative(frames.paths()[thumbnail.frame], run.image_folder)) +
            "</figcaption></figure>";
  }
  html += "</section>";
}

constexpr char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em auto;max-width:960px;padding:0 1em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;border-bottom:1px solid #ccc;margin-top:1.6em}"
    ".status{font-size:1.3em;font-weight:bold;padding:.3em .6em;display:inline-block}"
    ".s0{background:#d8f0d8}.s1,.s6{background:#f6d5d5}.s4,.s5{background:#f7ecc8}"
    "table{border-collapse:collapse}td,th{border:1px solid #ddd;padding:.2em .6em;"
    "text-align:left}tr.reported td{background:#f6d5d5}tr.left-out td{background:#f7ecc8}"
    "svg{width:100%;height:auto;border:1px solid #ccc;background:#fafafa}"
    ".track{fill:none;stroke:#9ab;stroke-width:.8}.dot{fill:#357}"
    ".dot.odd{fill:#d22;stroke:#fff;stroke-width:1.5}"
    "g.odd:focus{outline:none}g.odd:focus .dot.odd{stroke:#000;stroke-width:2.5}"
    ".label{display:none;font-size:13px;paint-order:stroke;stroke:#fff;stroke-width:3px}"
    "g.odd:hover .label,g.odd:focus .label{display:inline}"
    "#scale line{stroke:#000;stroke-width:2}#scale text,.north{font-size:12px}"
    "figure{display:inline-block;margin:.4em;text-align:center;font-size:.8em}"
    "figure img{display:block;max-width:200px;max-height:150px}"
    "ul{padding-left:1.4em}li{font-family:monospace}";

}  // namespace

std::string ReportPageHtml(const RunOnPage& run, const FrameStore& frames,
                           const std::vector<Thumbnail>& thumbnails, const std::string& charset) {
  const std::vector<std::string> reported_by = ReportedBy(run, frames.size());
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"" + Escaped(charset) +
      "\"><meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; img-src data:\"><meta name=\"viewport\" "
      "content=\"width=device-width\"><title>exifcheck " +
      Own("报告") + "</title><style>" + kStyle + "</style></head><body><h1>exifcheck " +
      Own("检查报告") + " / report: " + Escaped(run.image_folder) + "</h1>";
  AddVerdict(run, frames, html);
  AddMap(run, frames, reported_by, html);
  for (const CheckOnPage& check : run.checks) AddCheck(check, run, frames, html);
  AddThumbnails(run, frames, thumbnails, html);
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

void WriteReportPage(const RunOnPage& run, const FrameStore& frames,
                     const std::string& output_folder) {
  const std::string html =
      ReportPageHtml(run, frames, PageThumbnails(run, frames).shown, platform::NamesCharset());
  std::string error;
  if (platform::ReplaceFile(platform::JoinPath(output_folder, kReportPageName), html, &error,
                            platform::LinkPolicy::kReplaceLink) == platform::ReportWrite::kFailed) {
    platform::Warn(std::string(kReportPageName) + " not written: " + error);
  }
}
