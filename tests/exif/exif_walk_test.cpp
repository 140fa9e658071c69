// Tests read_exif_payload: header and directory bounds, the IFD0, EXIF and
// GPS tables, each in both byte orders.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "exif/exif_record.h"
#include "exif/record_dump.h"
#include "support/jpeg_writer.h"

namespace {

using namespace testsupport;

ExifResult ReadPayload(const Bytes& payload, ExifRecord& record) {
  return record.read_exif_payload(payload.data(), static_cast<uint32_t>(payload.size()));
}

ExifRecord ReadLayout(TiffLayout layout, bool little_endian) {
  layout.little_endian = little_endian;
  ExifRecord record;
  EXPECT_EQ(ReadPayload(ExifPayload(layout), record), exif_result::ok);
  return record;
}

// IFD0 holds Make "AB" (inline) and one pointer entry: 44 payload bytes.
Bytes PointerPayload(uint16_t tag, uint32_t offset) {
  TiffLayout layout;
  layout.ifd0 = {Ascii(0x010F, "AB"), RawEntry(tag, 4, 1, offset)};
  return ExifPayload(layout);
}

TEST(ExifWalk, ResultCodeForEachFault) {
  const Bytes base = ExifPayload(TiffLayout());
  const auto patched = [&base](size_t position, std::initializer_list<unsigned char> bytes) {
    Bytes p = base;
    std::copy(bytes.begin(), bytes.end(), p.begin() + position);
    return p;
  };
  const struct {
    const char* name;
    Bytes payload;
    ExifResult code;
    const char* make;  // IFD0 fields are kept when a later directory fails
  } cases[] = {
      {"five bytes", {'E', 'x', 'i', 'f', 0}, exif_result::no_exif_data, ""},
      {"identifier", patched(5, {'X'}), exif_result::no_exif_data, ""},
      {"13 bytes", Bytes(base.begin(), base.begin() + 13), exif_result::bad_structure, ""},
      {"byte order", patched(6, {'M', 'I'}), exif_result::unknown_byte_order, ""},
      {"magic 43", patched(8, {43}), exif_result::bad_structure, ""},
      {"ifd0 offset past end", patched(10, {0xFA, 0xFF, 0xFF, 0xFF}), exif_result::bad_structure,
       ""},
      {"ifd0 count past end", patched(14, {1}), exif_result::bad_structure, ""},
      {"exif in last three bytes", PointerPayload(0x8769, 35), exif_result::ok, "AB"},
      {"exif offset would wrap", PointerPayload(0x8769, 0xFFFFFFFA), exif_result::ok, "AB"},
      {"exif entries past end", PointerPayload(0x8769, 34), exif_result::bad_structure, "AB"},
      {"gps in last three bytes", PointerPayload(0x8825, 35), exif_result::ok, "AB"},
      {"gps entries past end", PointerPayload(0x8825, 34), exif_result::bad_structure, "AB"},
  };
  for (const auto& c : cases) {
    ExifRecord record;
    EXPECT_EQ(ReadPayload(c.payload, record), c.code) << c.name;
    EXPECT_EQ(record.make, c.make) << c.name;
  }
  EXPECT_EQ(ExifRecord().read_exif_payload(nullptr, 20), exif_result::no_exif_data);
}

// Each case lists what it changes in a reset record; nothing else may change.
TEST(ExifWalk, Ifd0AndExifTables) {
  const struct {
    const char* name;
    std::vector<TiffEntry> ifd0, exif;
    std::function<void(ExifRecord&)> expect;
  } cases[] = {
      {"empty directories", {}, {}, [](ExifRecord&) {}},
      {"texts",
       {Ascii(0x10F, "Cam"), AsciiRaw(0x10E, std::string("A\0B\0\0", 5))},
       {Ascii(0xA434, "Zoom")},
       [](ExifRecord& r) {
         r.make = "Cam";
         r.image_description = std::string("A\0B\0", 4);
         r.lens.lens_model = "Zoom";
       }},
      {"first value",
       {Short(0x102, {8, 16})},
       {Short(0x8827, {200, 100}), Short(0xA405, {24}), Short(0xA405, {35})},
       [](ExifRecord& r) {
         r.bits_per_sample = 8;
         r.iso_speed_ratings = 200;
         r.focal_length_in_35mm_film = 35;
       }},
      {"wrong format or directory",
       {Short(0x10F, {1}), Short(0xA405, {24})},
       {Ascii(0x10F, "X"), Long(0x8827, {1})},
       [](ExifRecord&) {}},
      {"dimension short or long",
       {},
       {Short(0xA002, {640}), Long(0xA003, {480})},
       [](ExifRecord& r) {
         r.pixel_x_dimension = 640;
         r.pixel_y_dimension = 480;
       }},
      {"dimension other format",
       {},
       {Byte(0xA002, {64}), Rationals(0xA003, {{480, 1}})},
       [](ExifRecord&) {}},
      {"rationals",
       {},
       {Rationals(0x920A, {{0, 0}}), Rationals(0x829D, {{28, 10}}), Rationals(0x829A, {{1, 500}})},
       [](ExifRecord& r) {
         r.f_number = 2.8;
         r.exposure_time = 0.002;
       }},
      {"value outside payload",
       {},
       {RawEntry(0x829D, 5, 1, 0xFFFFFF00), RawEntry(0x9003, 2, 20, 40)},
       [](ExifRecord&) {}},
      {"serial and time zone",
       {Ascii(0xA431, "X"), Ascii(0x9011, "+01:00")},
       {Ascii(0xA431, "4SC12345"), Ascii(0x9011, "+08:00"), Short(0xA431, {7})},
       [](ExifRecord& r) {
         r.body_serial_number = "4SC12345";
         r.offset_time_original = "+08:00";
       }},
      {"flash 0x19",
       {},
       {Short(0x9209, {0x19})},
       [](ExifRecord& r) {
         r.flash_fired = true;
         r.flash_mode = 3;
       }},
  };
  for (const auto& c : cases) {
    for (bool le : {true, false}) {
      TiffLayout layout;
      layout.ifd0 = c.ifd0;
      layout.exif = c.exif;
      ExifRecord want;
      want.little_endian = le;
      c.expect(want);
      EXPECT_EQ(Dump(ReadLayout(layout, le)), Dump(want)) << c.name;
    }
  }
}

TEST(ExifWalk, LensInfoSetsWhatItHas) {
  const std::vector<Fraction> all = {{24, 1}, {70, 1}, {28, 10}, {40, 10}, {99, 1}};
  for (size_t k = 1; k <= all.size(); ++k) {
    TiffLayout layout;
    layout.exif = std::vector<TiffEntry>{
        Rationals(0xA432, std::vector<Fraction>(all.begin(), all.begin() + k))};
    const LensData lens = ReadLayout(layout, k % 2 == 0).lens;
    EXPECT_EQ(lens.shortest_focal_length, 24.0) << k;
    EXPECT_EQ(lens.longest_focal_length, k >= 2 ? 70.0 : 0.0) << k;
    EXPECT_EQ(lens.f_number_at_shortest, k >= 3 ? 2.8 : 0.0) << k;
    EXPECT_EQ(lens.f_number_at_longest, k >= 4 ? 4.0 : 0.0) << k;
  }
}

TEST(ExifWalk, GpsSignsReferencesAndWhatWasGiven) {
  const TiffEntry lat = Rationals(0x0002, {{30, 1}, {15, 1}, {36, 1}});
  const TiffEntry alt = Rationals(0x0006, {{1234, 10}});
  const TiffEntry south = Ascii(0x0001, "S");
  const TiffEntry below = Byte(0x0005, {1});
  const TiffEntry equator = Rationals(0x0002, {{0, 1}, {0, 1}, {0, 1}});
  const struct {
    const char* name;
    std::vector<TiffEntry> gps;
    double latitude, longitude, altitude;
    char letter;
    const char* given;  // l: latitude, o: longitude, a: altitude
  } cases[] = {
      {"S after", {lat, south}, -30.26, 0, 0, 'S', "l"},
      {"S before", {south, lat}, -30.26, 0, 0, 'S', "l"},
      {"S twice flips back", {south, lat, south}, 30.26, 0, 0, 'S', "l"},
      {"letter byte 0", {Byte(0x0001, {0}), lat}, 30.26, 0, 0, '?', "l"},
      {"count 2", {south, Rationals(0x0002, {{30, 1}, {15, 1}})}, 0, 0, 0, 'S', ""},
      {"format short", {Short(0x0002, {30, 15, 36})}, 0, 0, 0, '?', ""},
      {"rationals outside payload", {RawEntry(0x0002, 5, 3, 0xFFFFFFF0)}, 0, 0, 0, '?', ""},
      {"west, unsigned SRATIONAL",
       {Ascii(0x0003, "W"), Rationals(0x0004, {{0xFFFFFFFF, 1}, {0, 1}, {0, 0}}, 10)},
       0,
       -4294967295.0,
       0,
       '?',
       "o"},
      {"zeros are given",
       {equator, Rationals(0x0004, {{0, 1}, {0, 1}, {0, 1}}), Rationals(0x0006, {{0, 1}})},
       0,
       0,
       0,
       '?',
       "loa"},
      {"below sea level after", {alt, below}, 0, 0, -123.4, '?', "a"},
      {"below sea level before", {below, alt}, 0, 0, -123.4, '?', "a"},
      {"altitude ref alone", {below}, 0, 0, 0, '?', ""},
      {"altitude as short", {Short(0x0006, {100})}, 0, 0, 0, '?', ""},
      {"altitude outside payload", {RawEntry(0x0006, 5, 1, 0xFFFFFFF0)}, 0, 0, 0, '?', ""},
      {"altitude ref 2", {Byte(0x0005, {2}), alt}, 0, 0, 123.4, '?', "a"},
      {"timestamp ignored", {Rationals(0x0007, {{1, 1}, {2, 1}, {3, 1}})}, 0, 0, 0, '?', ""},
  };
  for (const auto& c : cases) {
    for (bool le : {true, false}) {
      TiffLayout layout;
      layout.gps = c.gps;
      const GpsPosition gps = ReadLayout(layout, le).gps;
      EXPECT_DOUBLE_EQ(gps.latitude, c.latitude) << c.name;
      EXPECT_DOUBLE_EQ(gps.longitude, c.longitude) << c.name;
      EXPECT_DOUBLE_EQ(gps.altitude, c.altitude) << c.name;
      EXPECT_EQ(gps.latitude_dms.ref_letter, c.letter) << c.name;
      const std::string given = c.given;
      EXPECT_EQ(gps.latitude_given, given.find('l') != std::string::npos) << c.name;
      EXPECT_EQ(gps.longitude_given, given.find('o') != std::string::npos) << c.name;
      EXPECT_EQ(gps.altitude_given, given.find('a') != std::string::npos) << c.name;
    }
  }
}

}  // namespace
