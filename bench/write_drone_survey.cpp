// Writes a benchmark survey laid out as a survey drone writes its frames:
// SOI, an EXIF APP1 of about 21.6 KB whose thumbnail JPEG comes last (so its
// end marker lies past 16 KiB), an XMP APP1 of a few KB with the flight and
// gimbal attributes, an MPF-like APP2, then the base image (DQT, SOF, DHT,
// SOS, entropy-coded data, EOI) that ImageMagick made.
//
// One template head is built, and each frame is a copy with its own values
// written over fixed-width fields (times, GPS rationals, maker-note floats,
// the XMP numbers as text of fixed width), so that every frame keeps the
// template's layout byte for byte. A metadata tool that rewrote the values
// would compact the segments and move the XMP packet into the first 16 KiB,
// which is the layout this survey exists to measure.
//
// The frames follow a few flights of lawnmower lines (25 frames a line, 20 m
// apart, lines 40 m apart, a turn between lines), 2 s apart, RTK fixed,
// gimbal pitched -90 degrees; FRAMES_PER_FLIGHT frames to a flight folder.
// No frame deviates: exifcheck must print its all-clear on this survey.
//
//   write_drone_survey BASE.jpg THUMBNAIL.jpg OUT_DIR COUNT FRAMES_PER_FLIGHT
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base_jpeg.h"
#include "support/jpeg_writer.h"

namespace {

using testsupport::Bytes;
using testsupport::Fraction;

constexpr long kFramesPerLine = 25;
constexpr double kFrameSpacing = 20.0;  // metres along a line
constexpr double kLineSpacing = 40.0;   // metres between lines
constexpr long kSecondsPerFrame = 2;
constexpr long kTurnSeconds = 14;
constexpr double kOriginLatitude = 30.26;
constexpr double kOriginLongitude = 120.12;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kGround = 20.0;     // metres above the ellipsoid
constexpr double kFlyingAt = 100.0;  // metres above the take-off point

// Where each frame's own values go in the head: byte offsets and widths.
enum Field {
  kDateTime,
  kDateTimeOriginal,
  kDateTimeDigitized,
  kSubSec,
  kGpsLatitude,  // three rationals, 24 bytes
  kGpsLongitude,
  kGpsAltitude,  // one rational
  kMakerNote,    // the maker note's first byte
  kXmpCreateDate,
  kXmpModifyDate,
  kXmpLatitude,
  kXmpLongitude,
  kXmpAbsoluteAltitude,
  kXmpRelativeAltitude,
  kXmpGimbalRoll,
  kXmpGimbalYaw,
  kXmpGimbalPitch,
  kXmpFlightRoll,
  kXmpFlightYaw,
  kXmpFlightPitch,
  kXmpFlightXSpeed,
  kXmpFlightYSpeed,
  kXmpFlightZSpeed,
  kXmpRtkStdLon,
  kXmpRtkStdLat,
  kXmpRtkStdHgt,
  kFieldCount
};

struct Slot {
  std::size_t offset = 0;
  std::size_t width = 0;
};

struct Template {
  Bytes head;
  Slot slots[kFieldCount];
};

// The maker note: a little-endian directory whose values all sit in their
// entries (the Make, then the flight's speeds and attitude as floats), and
// zeros to a few hundred bytes.
constexpr int kMakerEntries = 10;
constexpr std::size_t kMakerNoteBytes = 320;

Bytes MakerNote() {
  Bytes out;
  auto put = [&out](uint32_t value, int width) {
    for (int k = 0; k < width; ++k) out.push_back(static_cast<unsigned char>(value >> (8 * k)));
  };
  put(kMakerEntries, 2);
  put(0x0001, 2);
  put(2, 2);
  put(4, 4);
  out.insert(out.end(), {'D', 'J', 'I', 0});
  for (uint16_t tag = 3; tag < 3 + kMakerEntries - 1; ++tag) {
    put(tag, 2);
    put(11, 2);  // FLOAT
    put(1, 4);
    put(0xA5A50000u + tag, 4);  // a value no other part of the head holds
  }
  put(0, 4);
  out.resize(kMakerNoteBytes, 0);
  return out;
}

std::string Sentinel(char tag, std::size_t width) {
  std::string text(width, '@');
  text[1] = tag;
  return text;
}

// The rationals of a sentinel: numbers that no other part of the head holds.
std::vector<Fraction> SentinelRationals(uint32_t tag, int count) {
  std::vector<Fraction> values;
  for (int i = 0; i < count; ++i) {
    values.push_back({0xB7000000u + tag * 16 + 2 * i, 0xB7000000u + tag * 16 + 2 * i + 1});
  }
  return values;
}

Bytes RationalBytes(const std::vector<Fraction>& values) {
  Bytes out;
  for (const Fraction& f : values) {
    for (uint32_t n : {f.numerator, f.denominator}) {
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<unsigned char>(n >> (8 * k)));
    }
  }
  return out;
}

// The one place of `pattern` in `bytes`, or exits: a sentinel met twice
// would patch the wrong bytes.
std::size_t FindOnce(const Bytes& bytes, const Bytes& pattern, const char* what) {
  std::size_t found = bytes.size();
  for (std::size_t i = 0; i + pattern.size() <= bytes.size(); ++i) {
    if (std::memcmp(bytes.data() + i, pattern.data(), pattern.size()) != 0) continue;
    if (found != bytes.size()) {
      std::fprintf(stderr, "write_drone_survey: %s found twice in the template\n", what);
      std::exit(1);
    }
    found = i;
  }
  if (found == bytes.size()) {
    std::fprintf(stderr, "write_drone_survey: %s not found in the template\n", what);
    std::exit(1);
  }
  return found;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

testsupport::TiffLayout ExifLayout(const BaseJpeg& base, uint32_t thumbnail_bytes) {
  using namespace testsupport;  // NOLINT: the entry makers read as a table
  TiffLayout layout;
  layout.ifd0 = {
      Ascii(0x010E, "default"), Ascii(0x010F, "DJI"),         Ascii(0x0110, "FC6310R"),
      Short(0x0112, {1}),       Rationals(0x011A, {{72, 1}}), Rationals(0x011B, {{72, 1}}),
      Short(0x0128, {2}),       Ascii(0x0131, "v01.08.1719"), Ascii(0x0132, Sentinel('D', 19)),
      Short(0x0213, {1})};
  layout.exif =
      std::vector<TiffEntry>{Rationals(0x829A, {{1, 640}}),
                             Rationals(0x829D, {{56, 10}}),
                             Short(0x8822, {2}),
                             Short(0x8827, {100}),
                             Undefined(0x9000, Text("0230")),
                             Ascii(0x9003, Sentinel('O', 19)),
                             Ascii(0x9004, Sentinel('G', 19)),
                             Undefined(0x9101, {1, 2, 3, 0}),
                             Rationals(0x9102, {{3, 1}}),
                             Rationals(0x9201, {{9321, 1000}}, 10),
                             Rationals(0x9202, {{497, 100}}),
                             Rationals(0x9204, {{0, 1}}, 10),
                             Rationals(0x9205, {{297, 100}}),
                             Rationals(0x9206, {{0, 1}}),
                             Short(0x9207, {2}),
                             Short(0x9208, {0}),
                             Short(0x9209, {32}),
                             Rationals(0x920A, {{88, 10}}),
                             Undefined(0x927C, MakerNote()),
                             AsciiRaw(0x9291, Sentinel('S', 3) + std::string(1, '\0')),
                             Undefined(0xA000, Text("0010")),
                             Short(0xA001, {1}),
                             Long(0xA002, {base.width}),
                             Long(0xA003, {base.height}),
                             Rationals(0xA215, {{100, 1}}),
                             Undefined(0xA300, {3}),
                             Undefined(0xA301, {1}),
                             Short(0xA401, {0}),
                             Short(0xA402, {0}),
                             Short(0xA403, {0}),
                             Rationals(0xA404, {{1, 1}}),
                             Short(0xA405, {24}),
                             Short(0xA406, {0}),
                             Short(0xA407, {0}),
                             Short(0xA408, {0}),
                             Short(0xA409, {0}),
                             Short(0xA40A, {0}),
                             Short(0xA40C, {0}),
                             Ascii(0xA431, "0K8TG5C0010042"),
                             Rationals(0xA432, {{88, 10}, {88, 10}, {28, 10}, {110, 10}})};
  layout.gps = std::vector<TiffEntry>{Byte(0x0000, {2, 3, 0, 0}),
                                      Ascii(0x0001, "N"),
                                      Rationals(0x0002, SentinelRationals(2, 3)),
                                      Ascii(0x0003, "E"),
                                      Rationals(0x0004, SentinelRationals(4, 3)),
                                      Byte(0x0005, {0}),
                                      Rationals(0x0006, SentinelRationals(6, 1))};
  // Cameras store the thumbnail last. Its offset does not change the
  // structure's size, so that size is the offset.
  layout.ifd1 = std::vector<TiffEntry>{Short(0x0103, {6}),
                                       Rationals(0x011A, {{72, 1}}),
                                       Rationals(0x011B, {{72, 1}}),
                                       Short(0x0128, {2}),
                                       Long(0x0201, {0}),
                                       Long(0x0202, {thumbnail_bytes})};
  const auto offset = static_cast<uint32_t>(testsupport::TiffBytes(layout).size());
  (*layout.ifd1)[4] = Long(0x0201, {offset});
  return layout;
}

// The XMP packet in the drone's attribute form. Each number a frame has of
// its own is a slot of fixed width, recorded by its offset in the text.
struct XmpText {
  std::string text;
  Slot slots[kFieldCount];

  void Add(const std::string& line) { text += line + "\n"; }
  void Attribute(const std::string& name, const std::string& value) {
    Add("   " + name + "=\"" + value + "\"");
  }
  void Field(const std::string& name, Field field, std::size_t width) {
    text += "   " + name + "=\"";
    slots[field] = {text.size(), width};
    text += std::string(width, '0') + "\"\n";
  }
};

// Widths of the XMP numbers: each format below gives exactly these.
constexpr std::size_t kDateWidth = 19, kLatitudeWidth = 13, kLongitudeWidth = 14, kAngleWidth = 7,
                      kSpeedWidth = 6, kStdWidth = 7;

XmpText Xmp(const BaseJpeg& base) {
  XmpText x;
  x.text = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
  x.Add("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">");
  x.Add(" <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">");
  x.Add("  <rdf:Description rdf:about=\"DJI Meta Data\"");
  x.Attribute("xmlns:tiff", "http://ns.adobe.com/tiff/1.0/");
  x.Attribute("xmlns:exif", "http://ns.adobe.com/exif/1.0/");
  x.Attribute("xmlns:xmp", "http://ns.adobe.com/xap/1.0/");
  x.Attribute("xmlns:xmpMM", "http://ns.adobe.com/xap/1.0/mm/");
  x.Attribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
  x.Attribute("xmlns:crs", "http://ns.adobe.com/camera-raw-settings/1.0/");
  x.Attribute("xmlns:drone-dji", "http://www.dji.com/drone-dji/1.0/");
  x.Field("xmp:ModifyDate", kXmpModifyDate, kDateWidth);
  x.Field("xmp:CreateDate", kXmpCreateDate, kDateWidth);
  x.Attribute("tiff:Make", "DJI");
  x.Attribute("tiff:Model", "FC6310R");
  x.Attribute("exif:ExifVersion", "0230");
  x.Attribute("exif:PixelXDimension", std::to_string(base.width));
  x.Attribute("exif:PixelYDimension", std::to_string(base.height));
  x.Attribute("dc:format", "image/jpg");
  x.Attribute("drone-dji:Version", "1.5");
  x.Attribute("drone-dji:ImageSource", "DJI");
  x.Attribute("drone-dji:GpsStatus", "RTK");
  x.Attribute("drone-dji:AltitudeType", "RtkAlt");
  x.Field("drone-dji:GpsLatitude", kXmpLatitude, kLatitudeWidth);
  x.Field("drone-dji:GpsLongitude", kXmpLongitude, kLongitudeWidth);
  x.Field("drone-dji:AbsoluteAltitude", kXmpAbsoluteAltitude, kAngleWidth);
  x.Field("drone-dji:RelativeAltitude", kXmpRelativeAltitude, kAngleWidth);
  x.Field("drone-dji:GimbalRollDegree", kXmpGimbalRoll, kAngleWidth);
  x.Field("drone-dji:GimbalYawDegree", kXmpGimbalYaw, kAngleWidth);
  x.Field("drone-dji:GimbalPitchDegree", kXmpGimbalPitch, kAngleWidth);
  x.Field("drone-dji:FlightRollDegree", kXmpFlightRoll, kAngleWidth);
  x.Field("drone-dji:FlightYawDegree", kXmpFlightYaw, kAngleWidth);
  x.Field("drone-dji:FlightPitchDegree", kXmpFlightPitch, kAngleWidth);
  x.Field("drone-dji:FlightXSpeed", kXmpFlightXSpeed, kSpeedWidth);
  x.Field("drone-dji:FlightYSpeed", kXmpFlightYSpeed, kSpeedWidth);
  x.Field("drone-dji:FlightZSpeed", kXmpFlightZSpeed, kSpeedWidth);
  x.Attribute("drone-dji:CamReverse", "0");
  x.Attribute("drone-dji:GimbalReverse", "0");
  x.Attribute("drone-dji:SelfData", "Undefined");
  x.Attribute("drone-dji:CalibratedFocalLength", "3666.666504");
  x.Attribute("drone-dji:CalibratedOpticalCenterX", "2736.000000");
  x.Attribute("drone-dji:CalibratedOpticalCenterY", "1824.000000");
  x.Attribute("drone-dji:RtkFlag", "50");
  x.Field("drone-dji:RtkStdLon", kXmpRtkStdLon, kStdWidth);
  x.Field("drone-dji:RtkStdLat", kXmpRtkStdLat, kStdWidth);
  x.Field("drone-dji:RtkStdHgt", kXmpRtkStdHgt, kStdWidth);
  x.Attribute("drone-dji:RtkDiffAge", "1.00000");
  x.Attribute("drone-dji:SurveyingMode", "1");
  x.Attribute("drone-dji:ShutterType", "Mechanical");
  x.Attribute("drone-dji:CameraSerialNumber", "0K8TG5C0010042");
  x.Attribute("drone-dji:DewarpFlag", "0");
  x.Attribute("drone-dji:DewarpData",
              "2024-04-10;3678.870000000000,3671.540000000000,7.840000000000,"
              "-26.250000000000,-0.268124000000,0.112526000000,0.000257115000,"
              "0.000118624000,-0.030285100000");
  x.Attribute("crs:Version", "7.0");
  x.Attribute("crs:HasSettings", "False");
  x.Attribute("crs:HasCrop", "False");
  x.text += "   crs:AlreadyApplied=\"False\">\n";
  x.Add("  </rdf:Description>");
  x.Add(" </rdf:RDF>");
  x.Add("</x:xmpmeta>");
  // The packet's padding, as writers leave room to edit in place.
  for (int line = 0; line < 12; ++line) x.Add(std::string(99, ' '));
  x.text += "<?xpacket end=\"w\"?>";
  return x;
}

// An MPF-like APP2: one image, the frame itself, of `file_bytes` bytes.
Bytes App2Mpf(uint32_t file_bytes) {
  Bytes body = {'M', 'P', 'F', 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put = [&body](uint32_t value, int width) {
    for (int k = 0; k < width; ++k) body.push_back(static_cast<unsigned char>(value >> (8 * k)));
  };
  auto entry = [&put](uint32_t tag, uint32_t format, uint32_t count, uint32_t value) {
    put(tag, 2);
    put(format, 2);
    put(count, 4);
    put(value, 4);
  };
  put(3, 2);
  entry(0xB000, 7, 4, 0x30303130);  // "0100"
  entry(0xB001, 4, 1, 1);
  entry(0xB002, 7, 16, 8 + 2 + 3 * 12 + 4);
  put(0, 4);
  // The one MP entry: a baseline primary image, the whole file, from its start.
  put(0x00030000, 4);
  put(file_bytes, 4);
  put(0, 4);
  put(0, 4);
  return testsupport::Segment(0xE2, body);
}

bool LoadFile(const std::string& path, Bytes* bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.good() || in.eof();
}

Template MakeTemplate(const BaseJpeg& base, const Bytes& thumbnail) {
  const testsupport::TiffLayout layout = ExifLayout(base, static_cast<uint32_t>(thumbnail.size()));
  Bytes exif = testsupport::ExifPayload(layout);
  const std::size_t structure = exif.size();
  exif.insert(exif.end(), thumbnail.begin(), thumbnail.end());
  const XmpText xmp = Xmp(base);
  Bytes xmp_body = Text("http://ns.adobe.com/xap/1.0/");
  xmp_body.push_back(0);
  const std::size_t packet = xmp_body.size();
  xmp_body.insert(xmp_body.end(), xmp.text.begin(), xmp.text.end());

  Template t;
  t.head = testsupport::Soi();
  const Bytes app1 = testsupport::Segment(0xE1, exif);
  t.head.insert(t.head.end(), app1.begin(), app1.end());
  const std::size_t xmp_start = t.head.size() + 4 + packet;
  const Bytes app1_xmp = testsupport::Segment(0xE1, xmp_body);
  t.head.insert(t.head.end(), app1_xmp.begin(), app1_xmp.end());
  const auto file_bytes =
      static_cast<uint32_t>(t.head.size() + App2Mpf(0).size() + base.body.size());
  const Bytes app2 = App2Mpf(file_bytes);
  t.head.insert(t.head.end(), app2.begin(), app2.end());

  // Sentinels are looked for in the EXIF structure alone, before the
  // thumbnail, whose bytes could hold anything.
  const Bytes tiff(t.head.begin(), t.head.begin() + static_cast<std::ptrdiff_t>(2 + 4 + structure));
  const struct {
    Field field;
    Bytes pattern;
    const char* what;
  } exif_fields[] = {
      {kDateTime, Text(Sentinel('D', 19)), "DateTime"},
      {kDateTimeOriginal, Text(Sentinel('O', 19)), "DateTimeOriginal"},
      {kDateTimeDigitized, Text(Sentinel('G', 19)), "DateTimeDigitized"},
      {kSubSec, Text(Sentinel('S', 3)), "SubSecTimeOriginal"},
      {kGpsLatitude, RationalBytes(SentinelRationals(2, 3)), "GPSLatitude"},
      {kGpsLongitude, RationalBytes(SentinelRationals(4, 3)), "GPSLongitude"},
      {kGpsAltitude, RationalBytes(SentinelRationals(6, 1)), "GPSAltitude"},
      {kMakerNote, MakerNote(), "the maker note"},
  };
  for (const auto& f : exif_fields) {
    t.slots[f.field] = {FindOnce(tiff, f.pattern, f.what), f.pattern.size()};
  }
  for (int f = kXmpCreateDate; f < kFieldCount; ++f) {
    t.slots[f] = {xmp_start + xmp.slots[f].offset, xmp.slots[f].width};
  }
  return t;
}

// What the drone records at one frame.
struct Pose {
  long seconds = 0;  // since midnight
  int millis = 0;
  double north = 0, east = 0;  // metres from the origin
  double relative_altitude = 0;
  double yaw = 0, pitch = 0, roll = 0;  // of the aircraft, degrees
  double gimbal_yaw = 0;
  double speed_x = 0, speed_y = 0, speed_z = 0;  // north, east, down; m/s
  double rtk_std[3] = {0, 0, 0};
};

// A small deterministic jitter in [-1, 1], so frames differ as real ones do.
double Jitter(long n, int which) {
  unsigned long x =
      static_cast<unsigned long>(n) * 2654435761UL + static_cast<unsigned long>(which) * 40503UL;
  x ^= x >> 13;
  x *= 0x5bd1e995UL;
  x ^= x >> 15;
  return static_cast<double>(x % 20001) / 10000.0 - 1.0;
}

Pose FramePose(long n, long per_flight) {
  const long flight = n / per_flight;
  const long k = n % per_flight;
  const long line = k / kFramesPerLine;
  const long along = k % kFramesPerLine;
  const bool north_bound = line % 2 == 0;
  const long lines_per_flight = (per_flight + kFramesPerLine - 1) / kFramesPerLine;
  Pose p;
  p.seconds = 10 * 3600 + flight * 40 * 60 +
              line * ((kFramesPerLine - 1) * kSecondsPerFrame + kTurnSeconds) +
              along * kSecondsPerFrame;
  p.millis = static_cast<int>((n * 137) % 1000);
  p.north = (north_bound ? along : kFramesPerLine - 1 - along) * kFrameSpacing + 0.3 * Jitter(n, 1);
  p.east =
      static_cast<double>(flight * lines_per_flight + line) * kLineSpacing + 0.3 * Jitter(n, 2);
  p.relative_altitude = kFlyingAt + 0.05 * Jitter(n, 3);
  const double speed = kFrameSpacing / kSecondsPerFrame;
  p.yaw = (north_bound ? 0.0 : -180.0) + 2.0 * Jitter(n, 4);
  if (p.yaw < -180.0) p.yaw += 360.0;
  p.gimbal_yaw = p.yaw + 0.5 * Jitter(n, 5);
  if (p.gimbal_yaw < -180.0) p.gimbal_yaw += 360.0;
  p.pitch = -4.0 + 0.8 * Jitter(n, 6);  // nose down, flying forward
  p.roll = 0.7 * Jitter(n, 7);
  p.speed_x = (north_bound ? speed : -speed) + 0.2 * Jitter(n, 8);
  p.speed_y = 0.2 * Jitter(n, 9);
  p.speed_z = 0.1 * Jitter(n, 10);
  for (int i = 0; i < 3; ++i) p.rtk_std[i] = 0.012 + 0.004 * Jitter(n, 11 + i);
  return p;
}

// Writes `text` over a slot; its width is the template's, or the frame is
// not written.
void Put(Bytes* head, const Slot& slot, const std::string& text) {
  if (text.size() != slot.width) {
    std::fprintf(stderr, "write_drone_survey: \"%s\" does not fit %zu bytes\n", text.c_str(),
                 slot.width);
    std::exit(1);
  }
  std::memcpy(head->data() + slot.offset, text.data(), text.size());
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void PutNumber(Bytes* head, std::size_t offset, uint32_t value) {
  for (int k = 0; k < 4; ++k) (*head)[offset + k] = static_cast<unsigned char>(value >> (8 * k));
}

// Degrees as three rationals: degrees, minutes, seconds in 1/100,000.
void PutDegrees(Bytes* head, const Slot& slot, double degrees) {
  const auto micro = static_cast<uint64_t>(std::llround(std::fabs(degrees) * 3600.0 * 100000.0));
  const uint32_t values[6] = {static_cast<uint32_t>(micro / 360000000),    1,
                              static_cast<uint32_t>(micro / 6000000 % 60), 1,
                              static_cast<uint32_t>(micro % 6000000),      100000};
  for (int i = 0; i < 6; ++i)
    PutNumber(head, slot.offset + 4 * static_cast<std::size_t>(i), values[i]);
}

void PutFloat(Bytes* head, std::size_t offset, double value) {
  const float f = static_cast<float>(value);
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  PutNumber(head, offset, bits);
}

Bytes FrameHead(const Template& t, long n, long per_flight) {
  const Pose p = FramePose(n, per_flight);
  Bytes head = t.head;
  char exif_time[32];
  char xmp_time[32];
  std::snprintf(exif_time, sizeof exif_time, "2024:05:01 %02ld:%02ld:%02ld", p.seconds / 3600,
                p.seconds / 60 % 60, p.seconds % 60);
  std::snprintf(xmp_time, sizeof xmp_time, "2024-05-01T%02ld:%02ld:%02ld", p.seconds / 3600,
                p.seconds / 60 % 60, p.seconds % 60);
  for (Field f : {kDateTime, kDateTimeOriginal, kDateTimeDigitized})
    Put(&head, t.slots[f], exif_time);
  for (Field f : {kXmpCreateDate, kXmpModifyDate}) Put(&head, t.slots[f], xmp_time);
  char millis[8];
  std::snprintf(millis, sizeof millis, "%03d", p.millis);
  Put(&head, t.slots[kSubSec], millis);

  const double latitude = kOriginLatitude + p.north / kMetresPerDegree;
  const double longitude =
      kOriginLongitude + p.east / (kMetresPerDegree * std::cos(kOriginLatitude * M_PI / 180.0));
  const double altitude = kGround + p.relative_altitude;
  PutDegrees(&head, t.slots[kGpsLatitude], latitude);
  PutDegrees(&head, t.slots[kGpsLongitude], longitude);
  PutNumber(&head, t.slots[kGpsAltitude].offset,
            static_cast<uint32_t>(std::llround(altitude * 1000.0)));
  PutNumber(&head, t.slots[kGpsAltitude].offset + 4, 1000);

  // Maker-note floats, entries 1 to 9: speeds, then aircraft and gimbal attitude.
  const double floats[kMakerEntries - 1] = {p.speed_x, p.speed_y, p.speed_z,    p.pitch, p.yaw,
                                            p.roll,    -90.0,     p.gimbal_yaw, 0.0};
  for (int i = 0; i < kMakerEntries - 1; ++i) {
    PutFloat(&head, t.slots[kMakerNote].offset + 2 + 12 * static_cast<std::size_t>(i + 1) + 8,
             floats[i]);
  }

  Put(&head, t.slots[kXmpLatitude], Format("%+013.9f", latitude));
  Put(&head, t.slots[kXmpLongitude], Format("%+014.9f", longitude));
  Put(&head, t.slots[kXmpAbsoluteAltitude], Format("%+07.2f", altitude));
  Put(&head, t.slots[kXmpRelativeAltitude], Format("%+07.2f", p.relative_altitude));
  Put(&head, t.slots[kXmpGimbalRoll], Format("%+07.2f", 0.0));
  Put(&head, t.slots[kXmpGimbalYaw], Format("%+07.2f", p.gimbal_yaw));
  Put(&head, t.slots[kXmpGimbalPitch], Format("%+07.2f", -90.0));
  Put(&head, t.slots[kXmpFlightRoll], Format("%+07.2f", p.roll));
  Put(&head, t.slots[kXmpFlightYaw], Format("%+07.2f", p.yaw));
  Put(&head, t.slots[kXmpFlightPitch], Format("%+07.2f", p.pitch));
  Put(&head, t.slots[kXmpFlightXSpeed], Format("%+06.2f", p.speed_x));
  Put(&head, t.slots[kXmpFlightYSpeed], Format("%+06.2f", p.speed_y));
  Put(&head, t.slots[kXmpFlightZSpeed], Format("%+06.2f", p.speed_z));
  Put(&head, t.slots[kXmpRtkStdLon], Format("%07.5f", p.rtk_std[0]));
  Put(&head, t.slots[kXmpRtkStdLat], Format("%07.5f", p.rtk_std[1]));
  Put(&head, t.slots[kXmpRtkStdHgt], Format("%07.5f", p.rtk_std[2]));
  return head;
}

// Where the parts of a frame lie, for the benchmark's notes.
void PrintLayout(const Template& t, std::size_t thumbnail) {
  const Bytes& h = t.head;
  std::size_t pos = 2;
  std::printf("write_drone_survey: layout");
  while (pos + 4 <= h.size() && h[pos] == 0xFF) {
    const std::size_t length = (std::size_t{h[pos + 2]} << 8) | h[pos + 3];
    std::printf(" APP%d %zu-%zu", h[pos + 1] - 0xE0, pos, pos + 2 + length);
    pos += 2 + length;
  }
  const std::size_t app1_end = 2 + 2 + ((std::size_t{h[4]} << 8) | h[5]);
  std::printf("; thumbnail %zu bytes ending at %zu; image data from %zu\n", thumbnail, app1_end,
              h.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: write_drone_survey BASE.jpg THUMBNAIL.jpg OUT_DIR COUNT "
                 "FRAMES_PER_FLIGHT\n");
    return 2;
  }
  BaseJpeg base;
  if (!LoadBaseJpeg(argv[1], &base)) {
    std::fprintf(stderr, "write_drone_survey: %s is no baseline JPEG\n", argv[1]);
    return 1;
  }
  Bytes thumbnail;
  if (!LoadFile(argv[2], &thumbnail) || thumbnail.size() < 4 || thumbnail.size() > 40000) {
    std::fprintf(stderr, "write_drone_survey: %s: a thumbnail JPEG of up to 40,000 bytes\n",
                 argv[2]);
    return 1;
  }
  const std::string out = argv[3];
  const long count = std::atol(argv[4]);
  const long per_flight = std::atol(argv[5]);
  if (count <= 0 || count > 9999 || per_flight <= 0) {
    std::fprintf(stderr, "write_drone_survey: 1 to 9,999 frames, at least one a flight\n");
    return 2;
  }
  const Template t = MakeTemplate(base, thumbnail);
  PrintLayout(t, thumbnail.size());
  mkdir(out.c_str(), 0777);
  for (long n = 0; n < count; ++n) {
    char folder[64];
    char name[64];
    std::snprintf(folder, sizeof folder, "/flight_%02ld", n / per_flight + 1);
    std::snprintf(name, sizeof name, "/DJI_%04ld.JPG", n + 1);
    if (n % per_flight == 0) mkdir((out + folder).c_str(), 0777);
    if (!WriteFrame(out + folder + name, FrameHead(t, n, per_flight), base.body)) {
      std::fprintf(stderr, "write_drone_survey: cannot write %s%s%s\n", out.c_str(), folder, name);
      return 1;
    }
  }
  return 0;
}
