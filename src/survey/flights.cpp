// Capture-time faults, flights and their heights.
#include "survey/flights.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "survey/stage.h"
#include "survey/survey_math.h"

namespace {

bool SameBody(const FrameFacts& a, const FrameFacts& b) {
  return a.model == b.model && a.serial == b.serial;
}

// The frames in flights, in list order.
std::vector<std::size_t> FlightMembers(const std::vector<FrameFacts>& frames,
                                       const SurveyFindings& out) {
  std::vector<std::size_t> members;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].exif && frames[i].time && !TimeLeftOut(out.frames[i])) members.push_back(i);
  }
  return members;
}

// How long a pause within one body may be before a new flight starts.
double FlightPause(const std::vector<FrameFacts>& frames, const std::vector<std::size_t>& members,
                   SurveyFindings* out) {
  std::vector<double> intervals;
  for (std::size_t k = 1; k < members.size(); ++k) {
    const FrameFacts& a = frames[members[k - 1]];
    const FrameFacts& b = frames[members[k]];
    if (SameBody(a, b)) intervals.push_back(std::fabs(SecondsBetween(*a.time, *b.time)));
  }
  const double interval = Median(intervals);
  const double pause = std::max(kFlightPauseFloorSeconds, kFlightPauseIntervals * interval);
  if (!intervals.empty()) out->figures.frame_interval_s = interval;
  out->figures.flight_pause_s = pause;
  return pause;
}

void CutIntoFlights(const std::vector<FrameFacts>& frames, const std::vector<std::size_t>& members,
                    double pause, SurveyFindings* out) {
  for (std::size_t k = 0; k < members.size(); ++k) {
    const std::size_t i = members[k];
    const FrameFacts& f = frames[i];
    const bool starts = k == 0 || !SameBody(frames[members[k - 1]], f) ||
                        std::fabs(SecondsBetween(*frames[members[k - 1]].time, *f.time)) > pause;
    if (starts) {
      if (k > 0) Name(out, i, Finding::kFlight);
      Flight flight;
      flight.first = i;
      flight.start = *f.time;
      flight.end = *f.time;
      flight.model = f.model;
      flight.serial = f.serial;
      out->flights.push_back(flight);
    }
    Flight& flight = out->flights.back();
    ++flight.frames;
    flight.last = i;
    if (Earlier(*f.time, flight.start)) flight.start = *f.time;
    if (Earlier(flight.end, *f.time)) flight.end = *f.time;
    out->frames[i].flight = out->flights.size() - 1;
  }
}

// Each flight's median altitude: the relative one when its frames carry it,
// since it does not drift with the GPS fix; else the GPS one.
void FlightAltitudes(const std::vector<FrameFacts>& frames, const std::vector<std::size_t>& members,
                     SurveyFindings* out) {
  std::vector<std::vector<double>> relative(out->flights.size()), gps(out->flights.size());
  for (std::size_t i : members) {
    const std::size_t flight = *out->frames[i].flight;
    if (Finite(frames[i].relative_altitude)) {
      relative[flight].push_back(*frames[i].relative_altitude);
    }
    if (Finite(frames[i].gps_altitude) && !PositionLeftOut(out->frames[i])) {
      gps[flight].push_back(*frames[i].gps_altitude);
    }
  }
  std::vector<double> all_relative, all_gps;
  for (std::size_t g = 0; g < out->flights.size(); ++g) {
    Flight& flight = out->flights[g];
    const std::vector<double>& values = relative[g].empty() ? gps[g] : relative[g];
    if (values.empty()) continue;
    flight.altitude_kind = relative[g].empty() ? AltitudeKind::kGps : AltitudeKind::kRelative;
    flight.altitude = Median(values);
    std::vector<double>& all = relative[g].empty() ? all_gps : all_relative;
    all.insert(all.end(), values.begin(), values.end());
  }
  if (!all_relative.empty()) out->figures.relative_altitude_m = Median(all_relative);
  if (!all_gps.empty()) out->figures.gps_altitude_m = Median(all_gps);
}

}  // namespace

void FindTimeFaults(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  bool any_read = false, any_pair = false;
  std::unordered_map<std::size_t, std::size_t> last_in_folder;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = frames[i];
    if (!f.exif) continue;
    any_read = true;
    if (!f.time) {
      Name(out, i, Finding::kNoTime);
      continue;
    }
    if (Names(out->frames[i].findings, Finding::kDuplicate)) continue;
    const auto found = last_in_folder.emplace(f.folder, i);
    if (found.second) continue;
    any_pair = true;
    if (Earlier(*f.time, *frames[found.first->second].time)) Name(out, i, Finding::kTimeBackwards);
    found.first->second = i;
  }
  if (any_read) {
    HasData(out, Finding::kNoTime);
  } else {
    NoData(out, Finding::kNoTime, "no frame was read", "没有读到任何影像的 EXIF");
  }
  if (any_pair) {
    HasData(out, Finding::kTimeBackwards);
  } else {
    NoData(out, Finding::kTimeBackwards, "no folder holds two frames with a capture time",
           "没有哪个文件夹里有两张带拍摄时间的影像");
  }
}

void FindFlights(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  const std::vector<std::size_t> members = FlightMembers(frames, *out);
  if (members.size() < 2) {
    NoData(out, Finding::kFlight, "fewer than two frames carry a usable capture time",
           "带可用拍摄时间的影像不足两张");
  } else {
    HasData(out, Finding::kFlight);
  }
  if (members.empty()) {
    NoData(out, Finding::kFlightAltitude, "no frame carries a usable capture time: no flights",
           "没有影像带有可用的拍摄时间，无法划分架次");
    return;
  }
  CutIntoFlights(frames, members, FlightPause(frames, members, out), out);
  FlightAltitudes(frames, members, out);
  bool any_altitude = false;
  for (Flight& flight : out->flights) {
    if (!flight.altitude) continue;
    any_altitude = true;
    const double survey = flight.altitude_kind == AltitudeKind::kRelative
                              ? *out->figures.relative_altitude_m
                              : *out->figures.gps_altitude_m;
    flight.marked = std::fabs(*flight.altitude - survey) > kFlightAltitudeMetres;
  }
  if (!any_altitude) {
    NoData(out, Finding::kFlightAltitude, "no frame of a flight carries a relative or GPS altitude",
           "架次中没有影像带有相对高度或 GPS 高度");
    return;
  }
  HasData(out, Finding::kFlightAltitude);
  for (std::size_t i : members) {
    if (out->flights[*out->frames[i].flight].marked) Name(out, i, Finding::kFlightAltitude);
  }
}

std::vector<std::vector<std::size_t>> FlightsInCaptureOrder(const SurveyFindings& findings,
                                                            const std::vector<FrameFacts>& facts) {
  std::vector<std::vector<std::size_t>> flights(findings.flights.size());
  for (std::size_t i = 0; i < findings.frames.size() && i < facts.size(); ++i) {
    const std::optional<std::size_t>& flight = findings.frames[i].flight;
    if (flight && *flight < flights.size() && facts[i].time) flights[*flight].push_back(i);
  }
  for (std::vector<std::size_t>& frames : flights) {
    std::stable_sort(frames.begin(), frames.end(), [&facts](std::size_t a, std::size_t b) {
      return Earlier(*facts[a].time, *facts[b].time);
    });
  }
  return flights;
}
