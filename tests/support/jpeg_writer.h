// Writes small JPEG files and EXIF (TIFF) structures for tests, from data.
//
// A file is a list of parts joined by JpegFile(): Soi(), App0Jfif(),
// App1Exif(layout), App1Xmp(text), Segment(marker, body), StartOfFrame(),
// ScanData(), Eoi(), or any raw bytes (padding, appended data).
//
// A TIFF structure is a TiffLayout: the byte order and the entries of IFD0,
// the EXIF sub-directory, the GPS directory and an optional thumbnail
// directory (IFD1), each entry given as tag, format, count and values. The
// writer stores values of up to four bytes in the entry, places longer ones
// after the directories and fills in their offsets, appends the 0x8769 and
// 0x8825 pointers to IFD0 and links IFD0 to IFD1. Entries are written in
// the order given, so tests control duplicates and ordering.
//
// MakeSurveyJpeg() writes a realistic survey frame in one call:
//   testsupport::SurveyFrame frame;   // defaults: see SurveyFrame
//   frame.make = "OtherCam";
//   frame.gps = std::nullopt;         // a frame without a position
//   std::vector<unsigned char> jpeg = testsupport::MakeSurveyJpeg(frame);
// (C++17 has no designated initialisers, hence the named fields.)
//
// The writer knows nothing of the reader and uses only the standard library,
// so it can also produce seed files and example surveys.
#ifndef EXIFCHECK_TESTS_SUPPORT_JPEG_WRITER_H_
#define EXIFCHECK_TESTS_SUPPORT_JPEG_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

struct Fraction {
  uint32_t numerator = 0;
  uint32_t denominator = 1;
};

/// One directory entry to write.
struct TiffEntry {
  uint16_t tag = 0;
  uint16_t format = 0;
  /// The stored count; derived from the value when absent.
  std::optional<uint32_t> count;
  /// Components, each written in the format's element width (1, 2 or 4
  /// bytes); a rational is two numbers, numerator then denominator.
  std::vector<uint32_t> numbers;
  /// Bytes written verbatim after `numbers` (ASCII, UNDEFINED, raw data).
  Bytes bytes;
  /// Stored as bytes 8 to 11 in place of any value, e.g. a bogus offset.
  std::optional<uint32_t> value_field;
};

/// ASCII with its terminating NUL (count = size + 1).
TiffEntry Ascii(uint16_t tag, const std::string& text);
/// ASCII of exactly these bytes, no NUL added.
TiffEntry AsciiRaw(uint16_t tag, const std::string& bytes);
TiffEntry Byte(uint16_t tag, std::vector<uint32_t> values);
TiffEntry Short(uint16_t tag, std::vector<uint32_t> values);
TiffEntry Long(uint16_t tag, std::vector<uint32_t> values);
/// RATIONAL (5), or SRATIONAL when format is 10.
TiffEntry Rationals(uint16_t tag, const std::vector<Fraction>& values, uint16_t format = 5);
TiffEntry Undefined(uint16_t tag, Bytes bytes);
/// Exactly the stored fields, no value written.
TiffEntry RawEntry(uint16_t tag, uint16_t format, uint32_t count, uint32_t value_field);

struct TiffLayout {
  bool little_endian = true;
  std::vector<TiffEntry> ifd0;
  /// Written and pointed to from IFD0 (0x8769 / 0x8825) when present.
  std::optional<std::vector<TiffEntry>> exif;
  std::optional<std::vector<TiffEntry>> gps;
  /// Thumbnail directory, linked as IFD0's next directory.
  std::optional<std::vector<TiffEntry>> ifd1;
  /// With ifd1: stored right after the directories, ahead of the long
  /// values, and named by 0x0201 / 0x0202 entries in IFD1.
  Bytes thumbnail;
};

/// The TIFF structure, from the byte-order mark on; offsets count from it.
Bytes TiffBytes(const TiffLayout& layout);
/// "Exif\0\0" followed by the TIFF structure: the body of an EXIF APP1.
Bytes ExifPayload(const TiffLayout& layout);

Bytes Soi();
Bytes Eoi();
/// FF marker, a length counting itself and the body, then the body.
Bytes Segment(unsigned char marker, const Bytes& body);
/// As Segment, with a stored length that may disagree with the body.
Bytes SegmentWithLength(unsigned char marker, uint16_t length, const Bytes& body);
Bytes App0Jfif();
Bytes App1Exif(const TiffLayout& layout);
/// An APP1 segment carrying XMP text, as cameras write it next to EXIF.
Bytes App1Xmp(const std::string& xml);
/// A baseline frame header (SOF0) for three components.
Bytes StartOfFrame(uint16_t width, uint16_t height);
/// A scan header (SOS) and `filler` bytes of entropy data without FF.
Bytes ScanData(size_t filler = 32);
Bytes JpegFile(std::initializer_list<Bytes> parts);
/// SOI, optionally APP0 (JFIF), APP1 (EXIF), SOF0 of the given size, scan, EOI.
Bytes JpegWithExif(const TiffLayout& layout, bool jfif = false, uint16_t width = 64,
                   uint16_t height = 48);

struct GpsFix {
  double latitude = 0.0;   ///< decimal degrees, negative south
  double longitude = 0.0;  ///< decimal degrees, negative west
  double altitude = 0.0;   ///< metres, negative below sea level
};

/// What a survey camera typically records. Written as DMS rationals, a
/// position comes back from a reader within 1e-7 degrees.
struct SurveyFrame {
  std::string make = "SurveyCam";
  std::string model = "SC-20";
  uint32_t width = 4000;
  uint32_t height = 3000;
  uint16_t focal_35mm = 24;
  std::optional<GpsFix> gps = GpsFix{30.26, 120.12, 85.5};
  bool little_endian = true;
  bool jfif = false;  ///< add a JFIF APP0 before the APP1
  std::string date_time_original = "2024:05:01 10:00:00";
  Fraction focal_length{88, 10};  ///< millimetres
  Fraction f_number{28, 10};
  Fraction exposure_time{1, 1000};  ///< seconds
  uint16_t iso = 100;
  /// Shortest and longest focal length, then their F numbers.
  std::vector<Fraction> lens_info{{88, 10}, {88, 10}, {28, 10}, {28, 10}};
};

/// The TIFF layout of a survey frame, for tests that alter a detail.
TiffLayout SurveyLayout(const SurveyFrame& frame);
Bytes MakeSurveyJpeg(const SurveyFrame& frame);

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_JPEG_WRITER_H_
