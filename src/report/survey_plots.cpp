// Drawing the survey's plots: each flight's frames in capture order, cut
// down to a few points a pixel column, on axes with round ticks.
#include "report/survey_plots.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <utility>

#include "report/html_text.h"
#include "report/survey_map.h"
#include "survey/flights.h"
#include "survey/frame_rules.h"
#include "survey/lines.h"
#include "survey/survey_math.h"

namespace {

// Values no drone records are left out, so that one broken field does not
// flatten a plot of a thousand good ones.
constexpr double kLargestAltitude = 20000;
constexpr double kLargestGsdCm = 10000;
// The mark grid: one mark a cell of this many units.
constexpr double kMarkCell = 3;

struct Series {
  std::size_t flight = 0;
  bool marked = false;  ///< drawn thicker: a flight the findings marked
  std::vector<PlotPoint> points;
};

struct Threshold {
  double y = 0;
  double x0 = 0, x1 = 0;  ///< the stretch it holds for, in data units
  std::string label;      ///< page text
  bool below = false;     ///< the label stands under the line
};

struct Plot {
  const char* id = "";
  double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  std::vector<Series> series;
  std::vector<Threshold> thresholds;
  std::vector<double> flight_starts;  ///< x of each flight after the first, on a frame axis
  std::vector<PlotPoint> marks;
  std::size_t named = 0;  ///< frames the marks stand for
};

double SvgX(const Plot& plot, double x) {
  return kPlotLeft + (x - plot.x0) / (plot.x1 - plot.x0) * (kPlotRight - kPlotLeft);
}

double SvgY(const Plot& plot, double y) {
  return kPlotBottom - (y - plot.y0) / (plot.y1 - plot.y0) * (kPlotBottom - kPlotTop);
}

// Digits enough to tell ticks `step` apart.
int TickDecimals(double step) {
  return step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

// Widens a range to hold its ticks' ends and never be empty.
void Pad(double* low, double* high, double at_least) {
  if (*high - *low < at_least) {
    const double middle = (*low + *high) / 2;
    *low = middle - at_least / 2;
    *high = middle + at_least / 2;
  }
}

// A line of the plot, in its units.
std::string Line(const char* kind, double x1, double y1, double x2, double y2) {
  return std::string("<line class=\"") + kind + "\" x1=\"" + Tenths(x1) + "\" y1=\"" + Tenths(y1) +
         "\" x2=\"" + Tenths(x2) + "\" y2=\"" + Tenths(y2) + "\"/>";
}

// A label ending, standing in the middle of or starting at (x, y).
std::string Label(const char* kind, double x, double y, const char* anchor,
                  const std::string& text) {
  return std::string("<text class=\"") + kind + "\" x=\"" + Tenths(x) + "\" y=\"" + Tenths(y) +
         "\" text-anchor=\"" + anchor + "\">" + text + "</text>";
}

std::string Axes(const Plot& plot, const char* x_unit) {
  std::string svg = "<path class=\"axis\" d=\"M" + Tenths(kPlotLeft) + " " + Tenths(kPlotTop) +
                    "V" + Tenths(kPlotBottom) + "H" + Tenths(kPlotRight) + "\"/>";
  const std::vector<double> ys = AxisTicks(plot.y0, plot.y1);
  const int y_decimals = ys.size() > 1 ? TickDecimals(ys[1] - ys[0]) : 0;
  for (const double y : ys) {
    svg += Line("grid", kPlotLeft, SvgY(plot, y), kPlotRight, SvgY(plot, y));
    svg += Label("tick", kPlotLeft - 4, SvgY(plot, y) + 3.5, "end", Decimal(y, y_decimals));
  }
  const std::vector<double> xs = AxisTicks(plot.x0, plot.x1);
  const int x_decimals = xs.size() > 1 ? TickDecimals(xs[1] - xs[0]) : 0;
  for (const double x : xs) {
    svg += Line("axis", SvgX(plot, x), kPlotBottom, SvgX(plot, x), kPlotBottom + 4);
    svg += Label("tick", SvgX(plot, x), kPlotBottom + 15, "middle", Decimal(x, x_decimals));
  }
  // The unit stands left of the first tick, under the values' labels.
  return svg + Label("tick", kPlotLeft - 14, kPlotBottom + 15, "end", x_unit);
}

std::string PlotSvg(const Plot& plot, const char* x_unit) {
  std::string svg = std::string("<svg class=\"plot\" id=\"") + plot.id +
                    "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    Decimal(kPlotWidth, 0) + " " + Decimal(kPlotHeight, 0) + "\" role=\"img\">";
  svg += Axes(plot, x_unit);
  for (const double x : plot.flight_starts) {
    svg += Line("flight-start", SvgX(plot, x), kPlotTop, SvgX(plot, x), kPlotBottom);
  }
  // A pixel column each, fewer when many flights share the plot.
  const std::size_t columns =
      std::clamp<std::size_t>(kMostPlotPoints / (2 * std::max<std::size_t>(1, plot.series.size())),
                              2, static_cast<std::size_t>(kPlotRight - kPlotLeft));
  for (const Series& series : plot.series) {
    if (series.points.empty()) continue;
    svg += "<polyline class=\"series " + FlightColourClass(series.flight) +
           (series.marked ? " marked" : "") + "\" points=\"";
    for (const PlotPoint& p : DecimateSeries(series.points, plot.x0, plot.x1, columns)) {
      svg += Tenths(SvgX(plot, p.x)) + "," + Tenths(SvgY(plot, p.y)) + " ";
    }
    svg += "\"/>";
  }
  for (const Threshold& t : plot.thresholds) {
    svg += Line("threshold", SvgX(plot, t.x0), SvgY(plot, t.y), SvgX(plot, t.x1), SvgY(plot, t.y));
    if (!t.label.empty()) {
      // A lower bound's label under its line, so that a band's two stay apart.
      const double y = SvgY(plot, t.y) + (t.below ? 10 : -3);
      svg += Label("threshold-label", SvgX(plot, t.x1) - 2, y, "end", t.label);
    }
  }
  // One mark a small cell: the frames named stay seen, their count bounded.
  std::set<std::pair<long, long>> cells;
  for (const PlotPoint& p : plot.marks) {
    if (cells.size() >= kMostPlotMarks) break;
    const double x = SvgX(plot, p.x), y = SvgY(plot, p.y);
    if (!cells.insert({std::lround(x / kMarkCell), std::lround(y / kMarkCell)}).second) continue;
    svg +=
        "<circle class=\"plot-mark\" cx=\"" + Tenths(x) + "\" cy=\"" + Tenths(y) + "\" r=\"3\"/>";
  }
  return svg + "</svg>";
}

// Lower and upper ends of the values, or none.
bool Extent(const std::vector<Series>& all, double* low, double* high) {
  *low = HUGE_VAL;
  *high = -HUGE_VAL;
  for (const Series& series : all) {
    for (const PlotPoint& p : series.points) {
      *low = std::min(*low, p.y);
      *high = std::max(*high, p.y);
    }
  }
  return *low <= *high;
}

double TimeExtent(const std::vector<Series>& all) {
  double longest = 0;
  for (const Series& series : all) {
    if (!series.points.empty()) longest = std::max(longest, series.points.back().x);
  }
  return longest > 0 ? longest : 1;
}

// One series a flight, over minutes from its first frame, of what
// `value` gives; frames it gives nothing for are left out.
template <typename Value>
std::vector<Series> OverTime(const SurveyFindings& findings, const std::vector<FrameFacts>& facts,
                             const std::vector<std::vector<std::size_t>>& flights, Value value,
                             Finding named, Plot* plot) {
  std::vector<Series> all;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    Series series;
    series.flight = f;
    series.marked = findings.flights[f].marked;
    for (const std::size_t i : flights[f]) {
      const std::optional<double> y = value(f, facts[i]);
      if (!y) continue;
      const PlotPoint p{SecondsBetween(findings.flights[f].start, *facts[i].time) / 60.0, *y};
      series.points.push_back(p);
      if (Names(findings.frames[i].findings, named)) {
        plot->marks.push_back(p);
        ++plot->named;
      }
    }
    all.push_back(std::move(series));
  }
  return all;
}

std::string Caption(const char* chinese, const std::string& english) {
  return "<p class=\"caption\"><span lang=\"zh\">" + OwnText(chinese) + "</span> " + english +
         "</p>";
}

std::string NoData(const char* id, const char* chinese, const char* english) {
  return std::string("<div class=\"plot\" id=\"") + id + "-none\"><p class=\"no-data\">" +
         OwnText(chinese) + " " + english + "</p></div>";
}

// Which altitude the plot shows: the relative one when some flight has it.
AltitudeKind PlottedKind(const SurveyFindings& findings) {
  for (const Flight& flight : findings.flights) {
    if (flight.altitude_kind == AltitudeKind::kRelative) return AltitudeKind::kRelative;
  }
  return findings.figures.gps_altitude_m ? AltitudeKind::kGps : AltitudeKind::kNone;
}

std::string AltitudePlot(const SurveyFindings& findings, const std::vector<FrameFacts>& facts,
                         const std::vector<std::vector<std::size_t>>& flights) {
  const AltitudeKind kind = PlottedKind(findings);
  Plot plot;
  plot.id = "plot-altitude";
  plot.series = OverTime(
      findings, facts, flights,
      [&](std::size_t f, const FrameFacts& frame) -> std::optional<double> {
        if (findings.flights[f].altitude_kind != kind) return std::nullopt;
        const std::optional<double>& altitude =
            kind == AltitudeKind::kRelative ? frame.relative_altitude : frame.gps_altitude;
        if (!Finite(altitude) || std::fabs(*altitude) > kLargestAltitude) return std::nullopt;
        return altitude;
      },
      Finding::kGsdOutlier, &plot);
  if (!Extent(plot.series, &plot.y0, &plot.y1)) {
    return NoData("plot-altitude", "没有影像带有高度。",
                  "No frame of a flight carries an altitude.");
  }
  plot.x1 = TimeExtent(plot.series);
  const std::optional<double> median = kind == AltitudeKind::kRelative
                                           ? findings.figures.relative_altitude_m
                                           : findings.figures.gps_altitude_m;
  if (median && std::isfinite(*median)) {
    for (const double side : {-kFlightAltitudeMetres, kFlightAltitudeMetres}) {
      plot.thresholds.push_back(
          {*median + side, plot.x0, plot.x1, side > 0 ? "+5 m" : "&#x2212;5 m", side < 0});
    }
    plot.y0 = std::min(plot.y0, *median - 2 * kFlightAltitudeMetres);
    plot.y1 = std::max(plot.y1, *median + 2 * kFlightAltitudeMetres);
  }
  Pad(&plot.y0, &plot.y1, 10);
  const bool relative = kind == AltitudeKind::kRelative;
  return "<div class=\"plot\">" + PlotSvg(plot, "min") +
         Caption(relative ? "相对高度（m）随架次时间（分钟）的变化；虚线：测区中位数 ±5 m；"
                            "红点：gsd_outlier。"
                          : "GPS 高度（m）随架次时间（分钟）的变化；虚线：测区中位数 ±5 m；"
                            "红点：gsd_outlier。",
                 std::string(relative ? "Relative altitude (m)" : "GPS altitude (m)") +
                     " over each flight's minutes; dashed: the survey's median &#xB1;5 m; "
                     "thick: a flight marked flight_altitude; red: frames named gsd_outlier (" +
                     Thousands(plot.named) + ").") +
         "</div>";
}

std::string PitchPlot(const SurveyFindings& findings, const std::vector<FrameFacts>& facts,
                      const std::vector<std::vector<std::size_t>>& flights) {
  Plot plot;
  plot.id = "plot-pitch";
  plot.series = OverTime(
      findings, facts, flights,
      [](std::size_t, const FrameFacts& frame) -> std::optional<double> {
        if (!Finite(frame.gimbal_pitch) || std::fabs(*frame.gimbal_pitch) > 360) {
          return std::nullopt;
        }
        return frame.gimbal_pitch;
      },
      Finding::kOblique, &plot);
  // Horizon frames are marked too: the marks are of either finding.
  for (std::size_t f = 0; f < flights.size(); ++f) {
    for (const std::size_t i : flights[f]) {
      if (!Names(findings.frames[i].findings, Finding::kHorizon) ||
          Names(findings.frames[i].findings, Finding::kOblique) || !Finite(facts[i].gimbal_pitch) ||
          std::fabs(*facts[i].gimbal_pitch) > 360) {
        continue;
      }
      plot.marks.push_back({SecondsBetween(findings.flights[f].start, *facts[i].time) / 60.0,
                            *facts[i].gimbal_pitch});
      ++plot.named;
    }
  }
  if (!Extent(plot.series, &plot.y0, &plot.y1)) {
    return NoData("plot-pitch", "没有影像带有云台俯仰角。",
                  "No frame of a flight carries a gimbal pitch.");
  }
  plot.x1 = TimeExtent(plot.series);
  plot.y0 = std::min(plot.y0, -90.0);
  plot.y1 = std::max(plot.y1, 0.0);
  plot.thresholds.push_back({kNadirPitch, plot.x0, plot.x1, "&#x2212;80&#xB0;", false});
  plot.thresholds.push_back({kHorizonPitch, plot.x0, plot.x1, "&#x2212;30&#xB0;", false});
  return "<div class=\"plot\">" + PlotSvg(plot, "min") +
         Caption(
             "云台俯仰角（°）随架次时间（分钟）的变化；虚线：−80° 与 "
             "−30°；红点：oblique、horizon。",
             "Gimbal pitch (&#xB0;) over each flight's minutes; dashed: &#x2212;80&#xB0; and "
             "&#x2212;30&#xB0;; red: frames named oblique or horizon (" +
                 Thousands(plot.named) + ").") +
         "</div>";
}

// Ground resolution or forward overlap over the frames of the flights in
// capture order, one flight after the other.
struct AlongTrack {
  Plot plot;
  bool any = false;
};

template <typename Value>
AlongTrack AlongFrames(const SurveyFindings& findings,
                       const std::vector<std::vector<std::size_t>>& flights, Value value,
                       Finding named) {
  AlongTrack out;
  double x = 0;
  for (std::size_t f = 0; f < flights.size(); ++f) {
    if (f > 0) out.plot.flight_starts.push_back(x);
    Series series;
    series.flight = f;
    for (const std::size_t i : flights[f]) {
      const std::optional<double> y = value(findings.frames[i]);
      if (y) {
        series.points.push_back({x, *y});
        if (Names(findings.frames[i].findings, named)) {
          out.plot.marks.push_back({x, *y});
          ++out.plot.named;
        }
      }
      x += 1;
    }
    out.any = out.any || !series.points.empty();
    out.plot.series.push_back(std::move(series));
  }
  out.plot.x1 = std::max(1.0, x - 1);
  return out;
}

std::string GsdPlot(const SurveyFindings& findings,
                    const std::vector<std::vector<std::size_t>>& flights) {
  AlongTrack along = AlongFrames(
      findings, flights,
      [](const FrameNotes& notes) -> std::optional<double> {
        if (!Finite(notes.gsd_cm) || !(*notes.gsd_cm > 0) || *notes.gsd_cm > kLargestGsdCm) {
          return std::nullopt;
        }
        return notes.gsd_cm;
      },
      Finding::kGsdOutlier);
  Plot& plot = along.plot;
  plot.id = "plot-gsd";
  if (!along.any || !Extent(plot.series, &plot.y0, &plot.y1)) {
    return NoData("plot-gsd", "没有影像能算出地面分辨率。",
                  "No frame of a flight has a ground sample distance.");
  }
  // Each flight's own threshold, over its own stretch.
  for (const Series& series : plot.series) {
    if (series.points.empty()) continue;
    std::vector<double> values;
    for (const PlotPoint& p : series.points) values.push_back(p.y);
    const double limit = kGsdOutlierRatio * Median(values);
    plot.thresholds.push_back({limit, series.points.front().x, series.points.back().x, "", false});
    plot.y1 = std::max(plot.y1, limit * 1.05);
  }
  plot.y0 = std::min(plot.y0, plot.y1 * 0.7);
  Pad(&plot.y0, &plot.y1, 0.1);
  return "<div class=\"plot\">" + PlotSvg(plot, "frames") +
         Caption(
             "地面分辨率（cm/像素），按拍摄顺序、逐个架次；虚线：该架次中位数的 1.25 倍；"
             "红点：gsd_outlier。",
             "Ground sample distance (cm per pixel) over the frames in capture order, flight "
             "after flight; dashed: 1.25 &#xD7; the flight's median; red: frames named "
             "gsd_outlier (" +
                 Thousands(plot.named) + ").") +
         "</div>";
}

std::string OverlapPlot(const SurveyFindings& findings,
                        const std::vector<std::vector<std::size_t>>& flights) {
  AlongTrack along = AlongFrames(
      findings, flights,
      [](const FrameNotes& notes) -> std::optional<double> {
        if (!Finite(notes.forward_overlap)) return std::nullopt;
        return std::clamp(*notes.forward_overlap, 0.0, 1.0) * 100.0;
      },
      Finding::kLowOverlap);
  Plot& plot = along.plot;
  plot.id = "plot-overlap";
  if (!along.any) {
    return NoData("plot-overlap", "没有航线上的影像能算出航向重叠度。",
                  "No frame on a survey line has a forward overlap.");
  }
  plot.y0 = 0;
  plot.y1 = 100;
  plot.thresholds.push_back({kLowOverlap * 100, plot.x0, plot.x1, "60 %", false});
  return "<div class=\"plot\">" + PlotSvg(plot, "frames") +
         Caption(
             "航向重叠度（%），按拍摄顺序、逐个架次，只有航线上的影像；虚线：60%；"
             "红点：low_overlap。",
             "Forward overlap (%) over the frames in capture order, flight after flight, "
             "frames on survey lines only; dashed: 60 %; red: frames named low_overlap (" +
                 Thousands(plot.named) + ").") +
         "</div>";
}

}  // namespace

std::vector<PlotPoint> DecimateSeries(const std::vector<PlotPoint>& series, double x0, double x1,
                                      std::size_t columns) {
  if (series.size() <= 2 * columns || columns == 0 || !(x1 > x0)) return series;
  std::vector<PlotPoint> kept;
  std::size_t k = 0;
  while (k < series.size()) {
    const auto column = [&](const PlotPoint& p) {
      const double at = (p.x - x0) / (x1 - x0) * static_cast<double>(columns);
      return std::clamp(static_cast<long>(std::floor(at)), 0L, static_cast<long>(columns) - 1);
    };
    const long here = column(series[k]);
    std::size_t low = k, high = k, end = k + 1;
    for (; end < series.size() && column(series[end]) == here; ++end) {
      if (series[end].y < series[low].y) low = end;
      if (series[end].y > series[high].y) high = end;
    }
    kept.push_back(series[std::min(low, high)]);
    if (low != high) kept.push_back(series[std::max(low, high)]);
    k = end;
  }
  return kept;
}

std::vector<double> AxisTicks(double low, double high) {
  std::vector<double> ticks;
  if (!(high > low) || !std::isfinite(high - low)) return ticks;
  const double step = ScaleBarMetres((high - low) / 4);
  for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1) {
    ticks.push_back(k * step == 0 ? 0.0 : k * step);  // never "-0"
  }
  return ticks;
}

std::string SurveyPlotsHtml(const SurveyFindings& findings, const std::vector<FrameFacts>& facts) {
  std::vector<std::vector<std::size_t>> flights = FlightsInCaptureOrder(findings, facts);
  if (flights.size() > kMostPlottedFlights) flights.resize(kMostPlottedFlights);
  std::string html = "<div id=\"plots\">";
  if (findings.flights.size() > kMostPlottedFlights) {
    html += "<p id=\"plots-cut\">" + OwnText("图中只画出前 ") + Thousands(kMostPlottedFlights) +
            OwnText(" 个架次（共 ") + Thousands(findings.flights.size()) + OwnText(" 个）。") +
            " The plots show the first " + Thousands(kMostPlottedFlights) + " of " +
            Thousands(findings.flights.size()) + " flights.</p>";
  }
  if (flights.empty()) {
    return html + "<p class=\"no-data\">" + OwnText("没有架次，所以没有随时间的图。") +
           " No flight, so nothing to plot over time: no frame carries a capture time that "
           "places it in one.</p></div>";
  }
  html += AltitudePlot(findings, facts, flights) + PitchPlot(findings, facts, flights) +
          GsdPlot(findings, flights) + OverlapPlot(findings, flights);
  return html + "</div>";
}
