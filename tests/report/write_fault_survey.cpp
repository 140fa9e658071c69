// Writes a drone survey with the faults the report page's "Before
// processing" part must name, for CI's report-page stage: two flights of
// three lines each, flown as a lawnmower, with a frame at 0/0, a frame both
// oblique and on an RTK float fix, a frame on a single fix, a copy of a
// frame in a subfolder and a frame missing from a line. Beside the survey,
// the frames each finding must name, one "finding<TAB>path" a line.
//   write_fault_survey SURVEY-FOLDER EXPECTED-FILE
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/drone_frame.h"

namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr int kFramesPerLine = 10;
constexpr double kSpacing = 25.0;  // 75 % forward overlap at 100 m: a gap leaves 50 %
constexpr double kLineGap = 60.0;
constexpr int kInterval = 3;  // seconds: 8 m/s, a third of a pixel of blur at 1/1000 s
constexpr int kTurn = 15;

void Write(const std::filesystem::path& path, const testsupport::Bytes& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string Clock(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "2024:05:01 %02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_fault_survey SURVEY-FOLDER EXPECTED-FILE\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::filesystem::remove_all(root);
  std::map<std::string, std::vector<std::string>> expected;
  int number = 1;
  for (int flight = 0; flight < 2; ++flight) {
    const std::string folder = flight == 0 ? "flight_1" : "flight_2";
    int clock = 10 * 3600 + flight * 20 * 60;  // the second flight 20 minutes on
    for (int line = 3 * flight; line < 3 * flight + 3; ++line) {
      for (int k = 0; k < kFramesPerLine; ++k, ++number, clock += kInterval) {
        char name[32];
        std::snprintf(name, sizeof name, "DJI_%04d.JPG", number);
        const std::string path = folder + "/" + name;
        const double north = kSpacing * (line % 2 == 0 ? k : kFramesPerLine - 1 - k);
        testsupport::DroneFrame frame;
        frame.camera.date_time_original = Clock(clock);
        frame.camera.exposure_time = {1, 1000};
        frame.camera.gps = testsupport::GpsFix{
            30.26 + north / kMetresPerDegree,
            120.12 + kLineGap * line / (kMetresPerDegree * std::cos(30.26 * 3.14159265 / 180)),
            150.0};
        frame.gimbal_yaw = frame.flight_yaw = line % 2 == 0 ? 0.0 : 180.0;
        frame.picture_bytes = 2000;
        if (number == 3 * kFramesPerLine + 1) expected["flight"].push_back(path);
        if (number == 15) {
          frame.camera.gps = testsupport::GpsFix{0.0, 0.0, 150.0};  // no fix yet
          expected["position_invalid"].push_back(path);
        }
        if (number == 27) {
          frame.gimbal_pitch = -45.0;
          frame.rtk_flag = 34;
          expected["oblique"].push_back(path);
          expected["rtk_not_fixed"].push_back(path);
        }
        if (number == 33) {
          frame.rtk_flag = 16;
          expected["rtk_not_fixed"].push_back(path);
        }
        if (number == 45) continue;  // the trigger missed it
        // Overlap to the next frame is measured across the missing one.
        if (number == 44) expected["low_overlap"].push_back(path);
        if (number == 46) expected["gap_before"].push_back(path);
        Write(root / folder / name, testsupport::MakeDroneJpeg(frame));
        if (number == 40) {
          // Copied again into a subfolder, which lists after the frames.
          Write(root / folder / "second_copy" / name, testsupport::MakeDroneJpeg(frame));
          expected["duplicate"].push_back(folder + "/second_copy/" + name);
        }
      }
      clock += kTurn;
    }
  }
  std::ofstream out(argv[2], std::ios::trunc);
  for (const auto& [finding, paths] : expected) {
    for (const std::string& path : paths) out << finding << '\t' << path << '\n';
  }
  return 0;
}
