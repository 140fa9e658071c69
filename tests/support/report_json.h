// The error.json text the end-to-end tests expect, spelled once: the four
// codes with their descriptions and the reported names, given as they
// stand in the file (already escaped).
#ifndef EXIFCHECK_TESTS_SUPPORT_REPORT_JSON_H_
#define EXIFCHECK_TESTS_SUPPORT_REPORT_JSON_H_

#include <string>
#include <vector>

#include "checks/messages.h"

namespace testsupport {

using NameList = std::vector<std::string>;

inline std::string ReportJson(const NameList& resolution, const NameList& maker,
                              const NameList& focal, const NameList& gps) {
  const struct {
    int code;
    const char* description;
    const NameList& names;
  } groups[] = {{101, kResolutionMismatch, resolution},
                {102, kMakerMismatch, maker},
                {103, kFocalLengthMismatch, focal},
                {104, kNoGpsInformation, gps}};
  std::string json = "{\"errors\":[";
  for (const auto& group : groups) {
    if (group.code != 101) json += ",";
    json += "{\"errcode\":" + std::to_string(group.code) + ",\"error_des\":\"" + group.description +
            "\",\"images\":[";
    for (std::size_t i = 0; i < group.names.size(); ++i) {
      json += (i > 0 ? ",\"" : "\"") + group.names[i] + "\"";
    }
    json += "]}";
  }
  return json + "]}";
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_REPORT_JSON_H_
