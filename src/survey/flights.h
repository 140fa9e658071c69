// The rules over capture times: frames without one, times going backwards,
// and the survey cut into flights, each at its own height.
#ifndef EXIFCHECK_SURVEY_FLIGHTS_H_
#define EXIFCHECK_SURVEY_FLIGHTS_H_

#include <cstddef>
#include <vector>

#include "survey/findings.h"
#include "survey/frame_facts.h"

/// A pause this long or shorter never starts a flight...
constexpr double kFlightPauseFloorSeconds = 60.0;
/// ...nor one of up to this many median capture intervals.
constexpr double kFlightPauseIntervals = 10.0;
/// A flight whose median altitude is farther than this from the survey's.
constexpr double kFlightAltitudeMetres = 5.0;

/// `no_time`, and `time_backwards`: a capture time earlier than that of the
/// frame before it in list order within its folder. Duplicates take no part.
void FindTimeFaults(const std::vector<FrameFacts>& frames, SurveyFindings* out);

/// The flights, `flight` and `flight_altitude`. Frames the time rules named
/// (and duplicates) belong to no flight; a GPS altitude counts only from a
/// frame whose position the position rules kept. Runs after both.
void FindFlights(const std::vector<FrameFacts>& frames, SurveyFindings* out);

/// Each flight's frames in capture-time order, equal times in list order,
/// by list position. Frames without a capture time belong to none.
std::vector<std::vector<std::size_t>> FlightsInCaptureOrder(const SurveyFindings& findings,
                                                            const std::vector<FrameFacts>& facts);

#endif  // EXIFCHECK_SURVEY_FLIGHTS_H_
