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
bool ResolutionKey(const ExifRecord& record, std::string* key) {
  *key = Decimal(static_cast<std::int32_t>(record.pixel_x_dimension)) + "*" +
         Decimal(static_cast<std::int32_t>(record.pixel_y_dimension));
  return true;
}

bool MakerKey(const ExifRecord& record, std::string* key) {
  *key = record.make.c_str();  // up to the first NUL, if any
  return true;
}

bool FocalLengthKey(const ExifRecord& record, std::string* key) {
  *key = Decimal(record.focal_length_in_35mm_film);
  return true;
}

// Only images without a complete position are grouped; -0.0 counts as zero.
bool GpsKey(const ExifRecord& record, std::string* key) {
  if (record.gps.latitude != 0.0 && record.gps.longitude != 0.0 && record.gps.altitude != 0.0) {
    return false;
  }
  *key = "0";
  return true;
}

// Said as soon as the check is done, whether or not the run reports images:
// a run that ends in status 1 must still name a minority the rule passed.
bool RunCheck(const char* name, const ImageList& images, KeyFunction key_of, ReportRule rule,
              std::vector<std::string>& findings, bool& flag, ReadProblems* problems) {
  ReadProblems own;
  const std::vector<UnreportedGroup> unreported =
      RunGroupingCheck(images, key_of, rule, findings, flag, problems != nullptr ? *problems : own);
  if (!LeavesDifferingValuesOut(unreported)) return false;
  platform::Warn(LeftOutMessage(name, unreported));
  return true;
}

}  // namespace

bool CheckResolution(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                     ReadProblems* problems) {
  return RunCheck("resolution", images, ResolutionKey, ReportRule::kRunningMaximum, findings, flag,
                  problems);
}

bool CheckMaker(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                ReadProblems* problems) {
  return RunCheck("maker", images, MakerKey, ReportRule::kRunningMaximum, findings, flag, problems);
}

bool CheckFocalLength(const ImageList& images, std::vector<std::string>& findings, bool& flag,
                      ReadProblems* problems) {
  return RunCheck("focal length", images, FocalLengthKey, ReportRule::kSpecialKeys, findings, flag,
                  problems);
}

bool CheckGps(const ImageList& images, std::vector<std::string>& findings, bool& flag,
              ReadProblems* problems) {
  return RunCheck("GPS", images, GpsKey, ReportRule::kSpecialKeys, findings, flag, problems);
}
