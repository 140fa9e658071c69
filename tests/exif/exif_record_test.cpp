// Tests read_jpeg: the JPEG framing, the APP1 search and its length tests,
// camera-shaped files, and safety on cut and damaged files.
#include "exif/exif_record.h"

#include <gtest/gtest.h>

#include "exif/record_dump.h"
#include "support/jpeg_writer.h"

namespace {

using namespace testsupport;

// Every file here is a vector built to its exact size, so a sanitizer build
// sees any read past its end.
ExifResult ReadJpeg(const Bytes& file, ExifRecord& record) {
  return record.read_jpeg(file.data(), static_cast<uint32_t>(file.size()));
}

ExifResult ReadJpeg(const Bytes& file) {
  ExifRecord record;
  return ReadJpeg(file, record);
}

TiffLayout MakeOnly() {
  TiffLayout layout;
  layout.ifd0 = {Ascii(0x010F, "Cam")};
  return layout;
}

TEST(ExifRecord, ResultCodeForEachFault) {
  const Bytes payload = ExifPayload(MakeOnly());
  const auto app1_length = [&payload](size_t length) {
    return JpegFile(
        {Soi(), SegmentWithLength(0xE1, static_cast<uint16_t>(length), payload), Eoi()});
  };
  // The thumbnail's end marker is the last one when the file lacks its own.
  TiffLayout thumbnail = MakeOnly();
  thumbnail.ifd0.push_back(Ascii(0x0110, "placed after the thumbnail"));
  thumbnail.ifd1 = std::vector<TiffEntry>{};
  thumbnail.thumbnail = JpegFile({Soi(), Eoi()});
  const struct {
    const char* name;
    Bytes file;
    ExifResult code;
  } cases[] = {
      {"three bytes", {0xFF, 0xD8, 0xFF}, exif_result::not_jpeg},
      {"no start marker", {0xFF, 0xD9, 0xFF, 0xD9}, exif_result::not_jpeg},
      {"no end marker", JpegFile({Soi(), App1Exif(MakeOnly())}), exif_result::not_jpeg},
      {"markers only", {0xFF, 0xD8, 0xFF, 0xD9}, exif_result::no_exif_data},
      {"xmp app1 first", JpegFile({Soi(), App1Xmp("<x/>"), App1Exif(MakeOnly()), Eoi()}),
       exif_result::no_exif_data},
      {"app1 length 15", app1_length(15), exif_result::bad_structure},
      {"app1 length 16, payload runs on", app1_length(16), exif_result::ok},
      {"app1 ends at end marker", app1_length(payload.size() + 4), exif_result::ok},
      {"app1 ends past end marker", app1_length(payload.size() + 5), exif_result::bad_structure},
      {"FF E1 inside APP0",
       JpegFile({Soi(), Segment(0xE0, {0xFF, 0xE1, 0, 2}), App1Exif(MakeOnly()), Eoi()}),
       exif_result::bad_structure},
      {"end marker in thumbnail", JpegFile({Soi(), App1Exif(thumbnail), ScanData()}),
       exif_result::bad_structure},
      {"data after end marker", JpegFile({JpegWithExif(MakeOnly()), Bytes(64, 0xE1)}),
       exif_result::ok},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadJpeg(c.file), c.code) << c.name;
  EXPECT_EQ(ExifRecord().read_jpeg(nullptr, 100), exif_result::not_jpeg);
}

TEST(ExifRecord, ResetsOnlyOnceFramingIsSound) {
  ExifRecord record;
  ASSERT_EQ(ReadJpeg(MakeSurveyJpeg(SurveyFrame()), record), exif_result::ok);
  EXPECT_EQ(ReadJpeg({0xFF, 0xD8, 0xFF}, record), exif_result::not_jpeg);
  EXPECT_EQ(record.make, "SurveyCam");
  EXPECT_EQ(ReadJpeg(JpegFile({Soi(), App0Jfif(), ScanData(), Eoi()}), record),
            exif_result::no_exif_data);
  EXPECT_EQ(Dump(record), Dump(ExifRecord()));
}

// JFIF APP0 first and a thumbnail directory that carries IFD0 tags, in both
// byte orders; the record matches the same file without thumbnail.
TEST(ExifRecord, ReadsCameraShapedFiles) {
  SurveyFrame frame;
  TiffLayout layout = SurveyLayout(frame);
  layout.ifd0.push_back(Ascii(0x8298, "(c) survey"));
  layout.exif->insert(layout.exif->end(),
                      {Short(0x9209, {0x19}), Ascii(0x9291, "042"), Ascii(0xA433, "Lens Co"),
                       Rationals(0xA20E, {{4000, 13}}), Short(0xA210, {4})});
  layout.gps->push_back(Rationals(0x000B, {{9, 10}}));
  ExifRecord plain;
  ASSERT_EQ(ReadJpeg(JpegWithExif(layout), plain), exif_result::ok);
  layout.ifd1 = std::vector<TiffEntry>{Ascii(0x010F, "Thumb"), Short(0x0112, {6})};
  layout.thumbnail = JpegFile({Soi(), ScanData(8), Eoi()});
  for (bool le : {true, false}) {
    layout.little_endian = le;
    ExifRecord record;
    ASSERT_EQ(ReadJpeg(JpegWithExif(layout, true), record), exif_result::ok);
    record.little_endian = true;
    EXPECT_EQ(Dump(record), Dump(plain)) << le;
  }
  EXPECT_EQ(plain.make, "SurveyCam");
  EXPECT_EQ(plain.pixel_x_dimension, 4000u);
  EXPECT_EQ(plain.pixel_y_dimension, 3000u);
  EXPECT_NEAR(plain.gps.latitude, 30.26, 1e-7);
}

bool IsResultCode(ExifResult r) { return r == 0 || (r >= 1982 && r <= 1985); }

// Cut payloads and damaged files reach every bound of the walk.
TEST(ExifRecord, EveryCutPayloadAndDamagedByteIsAnswered) {
  SurveyFrame frame;
  frame.little_endian = false;
  const Bytes payload = ExifPayload(SurveyLayout(frame));
  for (size_t n = 0; n <= payload.size(); ++n) {
    const Bytes cut(payload.begin(), payload.begin() + n);
    const ExifResult r = ExifRecord().read_exif_payload(cut.data(), static_cast<uint32_t>(n));
    EXPECT_TRUE(n == payload.size() ? r == exif_result::ok : IsResultCode(r)) << n;
  }
  const Bytes file = MakeSurveyJpeg(frame);
  for (size_t k = 0; k < file.size(); ++k) {
    for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      Bytes damaged = file;
      damaged[k] = value;
      EXPECT_TRUE(IsResultCode(ReadJpeg(damaged))) << k;
    }
  }
}

}  // namespace
