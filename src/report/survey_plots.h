// The report page's small plots of the survey: altitude and gimbal pitch
// over each flight's time, ground resolution and forward overlap along the
// lines, drawn as inline SVG with their thresholds and the frames the
// findings name. However many frames, each plot keeps at most a few
// thousand points: the lowest and highest value of each pixel column.
#ifndef EXIFCHECK_REPORT_SURVEY_PLOTS_H_
#define EXIFCHECK_REPORT_SURVEY_PLOTS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"

/// A plot's size in SVG units, and where its axes stand.
constexpr double kPlotWidth = 440;
constexpr double kPlotHeight = 184;
constexpr double kPlotLeft = 50;
constexpr double kPlotRight = 430;
constexpr double kPlotTop = 12;
constexpr double kPlotBottom = 164;

/// The plots draw the first this many flights; more would be lines of a
/// few points each.
constexpr std::size_t kMostPlottedFlights = 100;
/// Points of all the lines of one plot, at most.
constexpr std::size_t kMostPlotPoints = 4000;
/// Marks of named frames on one plot, one per few units at most.
constexpr std::size_t kMostPlotMarks = 2000;

struct PlotPoint {
  double x = 0;
  double y = 0;
};

/// What a plot keeps of a series whose points run in x order over
/// [x0, x1]: in each of `columns` equal columns, the lowest and the
/// highest point, in their own order. The line drawn through them shows
/// every peak the full series has.
std::vector<PlotPoint> DecimateSeries(const std::vector<PlotPoint>& series, double x0, double x1,
                                      std::size_t columns);

/// Tick values on an axis from `low` to `high`: a round step (1, 2 or 5
/// times a power of ten) giving four to ten of them.
std::vector<double> AxisTicks(double low, double high);

/// The plots as HTML: one <div class="plot"> each, holding an <svg> and
/// its caption, or a line saying what the frames lack for it.
std::string SurveyPlotsHtml(const SurveyFindings& findings, const std::vector<FrameFacts>& facts);

#endif  // EXIFCHECK_REPORT_SURVEY_PLOTS_H_
