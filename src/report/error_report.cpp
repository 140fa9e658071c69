// Builds error.json with RapidJSON's streaming writer: compact output, no
// encoding validation, so GBK descriptions and raw file-name bytes pass
// through unchanged.
#include "report/error_report.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <iostream>

#include "checks/messages.h"
#include "platform/platform.h"

namespace {

struct ReportRecord {
  int errcode;
  const char* description;
  FindingsPosition position;
};

// The order of the records in the file; position 3 is never written.
constexpr ReportRecord kReportRecords[] = {
    {101, kResolutionMismatch, kResolutionFindings},
    {102, kMakerMismatch, kMakerFindings},
    {103, kFocalLengthMismatch, kFocalLengthFindings},
    {104, kNoGpsInformation, kGpsFindings},
};

}  // namespace

std::string ErrorReportJson(const CheckFindings& findings) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  writer.Key("errors");
  writer.StartArray();
  for (const ReportRecord& record : kReportRecords) {
    writer.StartObject();
    writer.Key("errcode");
    writer.Int(record.errcode);
    writer.Key("error_des");
    writer.String(record.description);
    writer.Key("images");
    writer.StartArray();
    // A name is written up to its first NUL byte, as a C string.
    for (const std::string& name : findings[record.position]) writer.String(name.c_str());
    writer.EndArray();
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

bool WriteErrorReport(const CheckFindings& findings, const std::string& output_folder) {
  const std::string json = ErrorReportJson(findings);
  std::cout << json << std::endl;
  const std::string path = platform::JoinPath(output_folder, "error.json");
  std::string error;
  switch (platform::ReplaceFile(path, json, &error)) {
    case platform::ReportWrite::kReplaced: return true;
    case platform::ReportWrite::kWrittenInPlace:
      // The report is there, but a reader at the wrong moment may have seen
      // it half-written.
      std::cerr << "exifcheck: error.json written in place, not atomically: " << error << std::endl;
      return true;
    case platform::ReportWrite::kFailed:
      std::cerr << "exifcheck: error.json not written: " << error << std::endl;
      return false;
  }
  return false;
}
