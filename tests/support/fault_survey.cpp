// The fault survey: flight 1 at 100 m, three lines of twelve frames 15 m
// apart (85 % forward overlap, 1/2000 s); flight 2 ten minutes later at
// 120 m, two lines of ten. Then one frame of each fault.
#include "support/fault_survey.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "support/drone_frame.h"
#include "support/test_files.h"

namespace testsupport {

namespace {

constexpr double kLatitude = 30.26, kLongitude = 120.12;
constexpr double kMetresPerDegree = 111320.0;

struct Planned {
  std::string path;
  DroneFrame frame;
  std::string notes;
};

std::string TimeText(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "2024:05:01 %02d:%02d:%02d", 10 + seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return text;
}

DroneFrame FrameAt(double east, double north, int seconds, double altitude, double yaw) {
  DroneFrame frame;
  frame.camera.gps = GpsFix{
      kLatitude + north / kMetresPerDegree,
      kLongitude + east / (kMetresPerDegree * std::cos(kLatitude * 3.14159265358979 / 180)), 150};
  frame.camera.date_time_original = TimeText(seconds);
  frame.camera.exposure_time = {1, 2000};
  frame.relative_altitude = altitude;
  frame.gimbal_yaw = yaw;
  frame.flight_yaw = yaw;
  frame.thumbnail_bytes = 3000;
  frame.picture_bytes = 2000;
  return frame;
}

// Lines run north and south in turn, `spacing` metres apart along them.
void AddFlight(const std::string& folder, int lines, int per_line, int first_second,
               double altitude, std::vector<Planned>* out) {
  int second = first_second;
  for (int line = 0; line < lines; ++line) {
    for (int k = 0; k < per_line; ++k) {
      const bool north = line % 2 == 0;
      const double along = 15.0 * (north ? k : per_line - 1 - k);
      char name[32];
      std::snprintf(name, sizeof name, "DJI_%04zu.JPG", out->size() + 1);
      out->push_back({folder + "/" + name,
                      FrameAt(60.0 * line, along, second, altitude, north ? 0.0 : 180.0), ""});
      second += 2;
    }
    second += 10;  // the turn
  }
}

}  // namespace

std::vector<SurveyFile> WriteFaultSurvey(const std::string& folder) {
  std::vector<Planned> planned;
  AddFlight("flight_1", 3, 12, 0, 100.0, &planned);
  const std::size_t second_flight = planned.size();
  AddFlight("flight_2", 2, 10, 900, 120.0, &planned);
  for (std::size_t k = second_flight; k < planned.size(); ++k) planned[k].notes = "flight_altitude";
  planned[second_flight].notes = "flight;flight_altitude";

  const auto fault = [&planned](std::size_t k, const char* notes,
                                const std::function<void(DroneFrame&)>& change) {
    change(planned[k].frame);
    planned[k].notes = notes;
  };
  fault(2, "oblique", [](DroneFrame& f) { f.gimbal_pitch = -60; });
  fault(4, "horizon", [](DroneFrame& f) { f.gimbal_pitch = -10; });
  fault(6, "rtk_not_fixed", [](DroneFrame& f) { f.rtk_flag = 34; });
  fault(8, "camera_other", [](DroneFrame& f) { f.lens = "24.0 mm f/2.8 (spare)"; });
  fault(14, "blur_risk", [](DroneFrame& f) { f.camera.exposure_time = {1, 100}; });
  fault(16, "gsd_outlier", [](DroneFrame& f) { f.relative_altitude = 130; });
  fault(18, "low_overlap", [](DroneFrame& f) { f.relative_altitude = 35; });
  // A frame the card never wrote: the next one starts a gap.
  planned[27].notes = "gap_before";
  planned.erase(planned.begin() + 26);

  // Frames beside the flights: a position that cannot be, one 5 km off,
  // one without a time, one from before the mission, and a copy.
  const DroneFrame last = planned[second_flight - 2].frame;
  const auto extra = [&planned, &last](const char* path, const char* notes,
                                       const std::function<void(DroneFrame&)>& change) {
    DroneFrame frame = last;
    change(frame);
    planned.push_back({path, frame, notes});
  };
  extra("flight_1/DJI_9001.JPG", "time_backwards",
        [](DroneFrame& f) { f.camera.date_time_original = TimeText(1); });
  extra("flight_1/DJI_9002.JPG", "position_invalid", [](DroneFrame& f) {
    f.camera.gps = GpsFix{0, 0, 150};
  });
  extra("flight_1/DJI_9003.JPG", "position_outlier",
        [](DroneFrame& f) { f.camera.gps->latitude += 5000 / kMetresPerDegree; });
  extra("flight_1/DJI_9004.JPG", "no_time",
        [](DroneFrame& f) { f.camera.date_time_original = ""; });

  std::map<std::string, std::pair<Bytes, std::string>> files;
  for (const Planned& p : planned) files[p.path] = {MakeDroneJpeg(p.frame), p.notes};
  // A byte copy in a subfolder, listed after the frame it copies.
  files["flight_1/z_copies/DJI_0010.JPG"] = {files["flight_1/DJI_0010.JPG"].first,
                                             "duplicate:flight_1/DJI_0010.JPG"};
  std::vector<SurveyFile> out;
  for (const auto& file : files) {
    WriteFile(folder + "/" + file.first, file.second.first);
    out.push_back({file.first, file.second.second});
  }
  return out;
}

}  // namespace testsupport
