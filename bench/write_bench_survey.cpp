// Writes a benchmark survey: COUNT copies of one base JPEG (made by
// ImageMagick), each stamped with its own EXIF data by the test-support
// writer, in flight subfolders of FRAMES_PER_FLIGHT frames. A few frames of
// each kind deviate, so every check has something to report:
//   frame  7, 507, ...  other maker          frame 17, 517, ...  other resolution
//   frame 27, 527, ...  no 35 mm focal length frame 37, 537, ...  no GPS position
//   frame 47, 547, ...  no EXIF data (the base image as it is)
// (every 500th frame from the number given, at most 3 of each kind).
// With THUMBNAIL_BYTES, each frame with EXIF data carries a thumbnail JPEG
// of about that size at the end of its EXIF block (named by IFD1), as camera
// frames do; its end marker then lies in the frame's head, past every value.
//
//   write_bench_survey BASE.jpg OUT_DIR COUNT FRAMES_PER_FLIGHT [FIRST_NUMBER [THUMBNAIL_BYTES]]
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base_jpeg.h"
#include "support/jpeg_writer.h"

namespace {

using testsupport::Bytes;

// The deviant kind of frame number n (0 for a regular frame).
int DeviantKind(long n) {
  const long offset = n % 500;
  if (n / 500 >= 3 || offset % 10 != 7 || offset > 47) return 0;
  return static_cast<int>(offset / 10) + 1;
}

// A baseline JPEG of `bytes` bytes or a little more: its own start and end
// markers around a frame header and scan data.
Bytes Thumbnail(std::size_t bytes) {
  const Bytes frame = testsupport::StartOfFrame(160, 120);
  const std::size_t fixed = 2 + frame.size() + testsupport::ScanData(0).size() + 2;
  return testsupport::JpegFile({testsupport::Soi(), frame,
                                testsupport::ScanData(bytes > fixed ? bytes - fixed : 0),
                                testsupport::Eoi()});
}

Bytes FrameHead(const BaseJpeg& base, long n, int flight, long in_flight, std::size_t thumbnail) {
  testsupport::SurveyFrame frame;
  frame.width = base.width;
  frame.height = base.height;
  // Flight lines 110 m apart, frames 20 m apart along them.
  frame.gps = testsupport::GpsFix{30.26 + flight * 0.001, 120.12 + in_flight * 0.0002,
                                  120.0 + static_cast<double>(n % 7) * 0.1};
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "2024:05:%02d %02ld:%02ld:%02ld", 1 + flight % 28,
                8 + in_flight / 3600 % 10, in_flight / 60 % 60, in_flight % 60);
  frame.date_time_original = stamp;
  switch (DeviantKind(n)) {
    case 1: frame.make = "OtherCam"; break;
    case 2:
      frame.width /= 2;
      frame.height /= 2;
      break;
    case 3: frame.focal_35mm = 0; break;
    case 4: frame.gps.reset(); break;
    case 5: return testsupport::Soi();
  }
  Bytes head = testsupport::Soi();
  testsupport::TiffLayout layout = testsupport::SurveyLayout(frame);
  Bytes payload = testsupport::ExifPayload(layout);
  if (thumbnail > 0) {
    // Cameras store the thumbnail last. Its offset does not change the
    // structure's size, so that size is the offset.
    const Bytes jpeg = Thumbnail(thumbnail);
    const auto length = static_cast<uint32_t>(jpeg.size());
    layout.ifd1 = {testsupport::Long(0x0201, {0}), testsupport::Long(0x0202, {length})};
    const auto offset = static_cast<uint32_t>(testsupport::TiffBytes(layout).size());
    (*layout.ifd1)[0] = testsupport::Long(0x0201, {offset});
    payload = testsupport::ExifPayload(layout);
    payload.insert(payload.end(), jpeg.begin(), jpeg.end());
  }
  const Bytes app1 = testsupport::Segment(0xE1, payload);
  head.insert(head.end(), app1.begin(), app1.end());
  return head;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(
        stderr,
        "usage: write_bench_survey BASE.jpg OUT_DIR COUNT FRAMES_PER_FLIGHT [FIRST [THUMB]]\n");
    return 2;
  }
  BaseJpeg base;
  if (!LoadBaseJpeg(argv[1], &base)) {
    std::fprintf(stderr, "write_bench_survey: %s is no baseline JPEG\n", argv[1]);
    return 1;
  }
  const std::string out = argv[2];
  const long count = std::atol(argv[3]);
  const long per_flight = std::atol(argv[4]);
  const long first = argc > 5 ? std::atol(argv[5]) : 0;
  const long thumbnail = argc > 6 ? std::atol(argv[6]) : 0;
  if (thumbnail < 0 || thumbnail > 60000) {
    std::fprintf(stderr,
                 "write_bench_survey: a thumbnail fits an APP1 segment: 0 to 60000 bytes\n");
    return 2;
  }
  mkdir(out.c_str(), 0777);
  for (long i = 0; i < count; ++i) {
    const long n = first + i;
    const int flight = static_cast<int>(n / per_flight) + 1;
    char folder[64];
    char name[64];
    std::snprintf(folder, sizeof folder, "/flight_%02d", flight);
    std::snprintf(name, sizeof name, "/IMG_%06ld.JPG", n + 1);
    if (n % per_flight == 0 || i == 0) mkdir((out + folder).c_str(), 0777);
    if (!WriteFrame(out + folder + name,
                    FrameHead(base, n, flight, n % per_flight, static_cast<std::size_t>(thumbnail)),
                    base.body)) {
      std::fprintf(stderr, "write_bench_survey: cannot write %s%s%s\n", out.c_str(), folder, name);
      return 1;
    }
  }
  return 0;
}
