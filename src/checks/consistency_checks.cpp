// The keys of the four checks and the rule each reports by.
#include "checks/consistency_checks.h"

#include <cstdint>
#include <cstdio>

#include "checks/grouping_check.h"
#include "platform/platform.h"

namespace {

// "%d" never groups digits, whatever the locale.
std::string Decimal(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  return text;
}

// Dimensions are taken as signed 32-bit numbers, as the key has always shown them.
bool ResolutionKey(const Frame& frame, std::string* key) {
  *key = Decimal(static_cast<std::int32_t>(frame.pixel_x_dimension)) + "*" +
         Decimal(static_cast<std::int32_t>(frame.pixel_y_dimension));
  return true;
}

bool MakerKey(const Frame& frame, std::string* key) {
  *key = frame.make;
  return true;
}

bool FocalLengthKey(const Frame& frame, std::string* key) {
  *key = Decimal(frame.focal_length_in_35mm_film);
  return true;
}

// Only images without a complete position are grouped; -0.0 counts as zero.
bool GpsKey(const Frame& frame, std::string* key) {
  if (frame.latitude != 0.0 && frame.longitude != 0.0 && frame.altitude != 0.0) {
    return false;
  }
  *key = "0";
  return true;
}

// Said as soon as the check is done, whether or not the run reports images:
// a run that ends in status 1 must still name a minority the rule passed.
CheckOutcome RunCheck(const char* name, FrameStore& frames, KeyFunction key_of, ReportRule rule,
                      std::vector<std::string>& findings, bool& flag) {
  CheckOutcome outcome = RunGroupingCheck(frames, key_of, rule, findings, flag);
  if (outcome.left_out) platform::Warn(LeftOutMessage(name, outcome));
  return outcome;
}

}  // namespace

CheckOutcome CheckResolution(FrameStore& frames, std::vector<std::string>& findings, bool& flag) {
  return RunCheck("resolution", frames, ResolutionKey, ReportRule::kRunningMaximum, findings, flag);
}

CheckOutcome CheckMaker(FrameStore& frames, std::vector<std::string>& findings, bool& flag) {
  return RunCheck("maker", frames, MakerKey, ReportRule::kRunningMaximum, findings, flag);
}

CheckOutcome CheckFocalLength(FrameStore& frames, std::vector<std::string>& findings, bool& flag) {
  return RunCheck("focal length", frames, FocalLengthKey, ReportRule::kSpecialKeys, findings, flag);
}

CheckOutcome CheckGps(FrameStore& frames, std::vector<std::string>& findings, bool& flag) {
  return RunCheck("GPS", frames, GpsKey, ReportRule::kSpecialKeys, findings, flag);
}
