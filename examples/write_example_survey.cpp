// Writes the example survey: two flights of small frames with real EXIF
// data, and one deviant for each thing the checks look at.
//   write_example_survey OUTPUT-FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/jpeg_writer.h"

namespace {

void Write(const std::filesystem::path& path, const testsupport::Bytes& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_example_survey OUTPUT-FOLDER\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::filesystem::remove_all(root);
  int number = 1;
  for (const char* flight : {"flight_1", "flight_2"}) {
    for (int i = 0; i < 15; ++i, ++number) {
      testsupport::SurveyFrame frame;
      frame.make = "SurveyCam";
      frame.gps = testsupport::GpsFix{30.2600 + 0.0004 * number, 120.1200 + 0.0003 * i, 85.5 + i};
      frame.little_endian = number % 2 == 1;  // both byte orders, as mixed cameras write
      frame.jfif = number % 3 == 0;
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.JPG", number);
      switch (number) {
        case 7: frame.width = 5472; frame.height = 3648; break;  // another resolution
        case 12: frame.make = "VectorCam"; break;  // another maker, after SurveyCam in key order
        case 18: frame.focal_35mm = 0; break;                     // no 35 mm focal length
        case 23: frame.gps = std::nullopt; break;                 // no GPS position
        default: break;
      }
      Write(root / flight / name, testsupport::MakeSurveyJpeg(frame));
    }
  }
  // The scan lists every file; one that is no image at all.
  std::ofstream(root / "flight_2" / "flight_log.txt") << "takeoff 10:00:00\nlanding 10:21:40\n";
  return 0;
}
