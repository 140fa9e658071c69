// Writes JPEG segments and TIFF directories for tests; see jpeg_writer.h.
#include "support/jpeg_writer.h"

#include <algorithm>
#include <cmath>

namespace testsupport {
namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kEntrySize = 12;

// Bytes per component in the file; unknown formats count as bytes.
uint32_t ElementSize(uint16_t format) {
  switch (format) {
    case 3:
    case 8: return 2;
    case 4:
    case 9:
    case 11: return 4;
    case 5:
    case 10:
    case 12: return 8;
    default: return 1;
  }
}

void PutNumber(Bytes& out, uint32_t value, uint32_t width, bool little_endian) {
  for (uint32_t k = 0; k < width; ++k) {
    const uint32_t shift = 8 * (little_endian ? k : width - 1 - k);
    out.push_back(static_cast<unsigned char>(value >> shift));
  }
}

Bytes ValueBytes(const TiffEntry& e, bool little_endian) {
  const uint32_t width = std::min<uint32_t>(ElementSize(e.format), 4);
  Bytes out;
  for (uint32_t n : e.numbers) PutNumber(out, n, width, little_endian);
  out.insert(out.end(), e.bytes.begin(), e.bytes.end());
  return out;
}

uint32_t StoredCount(const TiffEntry& e) {
  if (e.count) return *e.count;
  const uint32_t size = ElementSize(e.format);
  const size_t per_element = size / std::min<uint32_t>(size, 4);
  return static_cast<uint32_t>(e.numbers.size() / per_element + e.bytes.size() / size);
}

struct Directory {
  std::vector<TiffEntry> entries;
  uint32_t offset = 0;
  uint32_t next = 0;  // offset of the next directory, 0 for none
};

uint32_t DirectorySize(const Directory& d) {
  return static_cast<uint32_t>(2 + kEntrySize * d.entries.size() + 4);
}

// Appends the directory to `out` and its long values to `data`, which will
// start at TIFF offset `data_start`.
void WriteDirectory(const Directory& d, bool le, uint32_t data_start, Bytes& out, Bytes& data) {
  PutNumber(out, static_cast<uint32_t>(d.entries.size()), 2, le);
  for (const TiffEntry& e : d.entries) {
    PutNumber(out, e.tag, 2, le);
    PutNumber(out, e.format, 2, le);
    PutNumber(out, StoredCount(e), 4, le);
    Bytes value = ValueBytes(e, le);
    if (e.value_field) {
      PutNumber(out, *e.value_field, 4, le);
    } else if (value.size() <= 4) {
      value.resize(4, 0);  // short values sit in the entry, from its first byte
      out.insert(out.end(), value.begin(), value.end());
    } else {
      PutNumber(out, data_start + static_cast<uint32_t>(data.size()), 4, le);
      data.insert(data.end(), value.begin(), value.end());
      if (data.size() % 2 != 0) data.push_back(0);  // TIFF keeps offsets even
    }
  }
  PutNumber(out, d.next, 4, le);
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

}  // namespace

TiffEntry Ascii(uint16_t tag, const std::string& text) {
  TiffEntry e = AsciiRaw(tag, text);
  e.bytes.push_back(0);
  return e;
}

TiffEntry AsciiRaw(uint16_t tag, const std::string& bytes) {
  TiffEntry e;
  e.tag = tag;
  e.format = 2;
  e.bytes = Text(bytes);
  return e;
}

TiffEntry Byte(uint16_t tag, std::vector<uint32_t> values) {
  TiffEntry e;
  e.tag = tag;
  e.format = 1;
  e.numbers = std::move(values);
  return e;
}

TiffEntry Short(uint16_t tag, std::vector<uint32_t> values) {
  TiffEntry e = Byte(tag, std::move(values));
  e.format = 3;
  return e;
}

TiffEntry Long(uint16_t tag, std::vector<uint32_t> values) {
  TiffEntry e = Byte(tag, std::move(values));
  e.format = 4;
  return e;
}

TiffEntry Rationals(uint16_t tag, const std::vector<Fraction>& values, uint16_t format) {
  TiffEntry e;
  e.tag = tag;
  e.format = format;
  for (const Fraction& f : values) {
    e.numbers.push_back(f.numerator);
    e.numbers.push_back(f.denominator);
  }
  return e;
}

TiffEntry Undefined(uint16_t tag, Bytes bytes) {
  TiffEntry e;
  e.tag = tag;
  e.format = 7;
  e.bytes = std::move(bytes);
  return e;
}

TiffEntry RawEntry(uint16_t tag, uint16_t format, uint32_t count, uint32_t value_field) {
  TiffEntry e;
  e.tag = tag;
  e.format = format;
  e.count = count;
  e.value_field = value_field;
  return e;
}

Bytes TiffBytes(const TiffLayout& layout) {
  const bool le = layout.little_endian;
  // IFD0 grows by the pointers, IFD1 by the thumbnail entries; their values
  // are filled in once every directory has its offset.
  std::vector<Directory> dirs(1);
  dirs[0].entries = layout.ifd0;
  Directory* exif = nullptr;
  Directory* gps = nullptr;
  if (layout.exif) dirs[0].entries.push_back(Long(0x8769, {0}));
  if (layout.gps) dirs[0].entries.push_back(Long(0x8825, {0}));
  dirs.reserve(4);
  if (layout.exif) exif = &dirs.emplace_back(Directory{*layout.exif});
  if (layout.gps) gps = &dirs.emplace_back(Directory{*layout.gps});
  Directory* ifd1 = layout.ifd1 ? &dirs.emplace_back(Directory{*layout.ifd1}) : nullptr;
  const bool has_thumbnail = ifd1 != nullptr && !layout.thumbnail.empty();
  if (has_thumbnail) {
    ifd1->entries.push_back(Long(0x0201, {0}));
    ifd1->entries.push_back(Long(0x0202, {static_cast<uint32_t>(layout.thumbnail.size())}));
  }

  uint32_t offset = kHeaderSize;
  for (Directory& d : dirs) {
    d.offset = offset;
    offset += DirectorySize(d);
  }
  const uint32_t thumbnail_offset = offset;
  const uint32_t data_start = offset + static_cast<uint32_t>((layout.thumbnail.size() + 1) / 2 * 2);
  size_t pointer = layout.ifd0.size();
  if (exif != nullptr) dirs[0].entries[pointer++].numbers = {exif->offset};
  if (gps != nullptr) dirs[0].entries[pointer++].numbers = {gps->offset};
  if (ifd1 != nullptr) dirs[0].next = ifd1->offset;
  if (has_thumbnail) ifd1->entries[ifd1->entries.size() - 2].numbers = {thumbnail_offset};

  Bytes out = {static_cast<unsigned char>(le ? 'I' : 'M'),
               static_cast<unsigned char>(le ? 'I' : 'M')};
  PutNumber(out, 42, 2, le);
  PutNumber(out, kHeaderSize, 4, le);
  Bytes data;
  for (const Directory& d : dirs) WriteDirectory(d, le, data_start, out, data);
  Append(out, layout.thumbnail);
  out.resize(data_start, 0);
  Append(out, data);
  return out;
}

Bytes ExifPayload(const TiffLayout& layout) {
  Bytes out = {'E', 'x', 'i', 'f', 0, 0};
  Append(out, TiffBytes(layout));
  return out;
}

Bytes Soi() { return {0xFF, 0xD8}; }
Bytes Eoi() { return {0xFF, 0xD9}; }

Bytes Segment(unsigned char marker, const Bytes& body) {
  return SegmentWithLength(marker, static_cast<uint16_t>(body.size() + 2), body);
}

Bytes SegmentWithLength(unsigned char marker, uint16_t length, const Bytes& body) {
  // Sized up front: g++ 12 otherwise warns, wrongly, of an overread in the append.
  Bytes out;
  out.reserve(4 + body.size());
  out.push_back(0xFF);
  out.push_back(marker);
  PutNumber(out, length, 2, false);
  Append(out, body);
  return out;
}

Bytes App0Jfif() {
  // Version 1.1, no units, 1:1 aspect, no thumbnail.
  return Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
}

Bytes App1Exif(const TiffLayout& layout) { return Segment(0xE1, ExifPayload(layout)); }

Bytes App1Xmp(const std::string& xml) {
  Bytes body = Text("http://ns.adobe.com/xap/1.0/");
  body.push_back(0);
  Append(body, Text(xml));
  return Segment(0xE1, body);
}

Bytes StartOfFrame(uint16_t width, uint16_t height) {
  Bytes body = {8};  // sample precision
  PutNumber(body, height, 2, false);
  PutNumber(body, width, 2, false);
  Append(body, {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
  return Segment(0xC0, body);
}

Bytes ScanData(size_t filler) {
  Bytes out = Segment(0xDA, {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 0x3F, 0});
  for (size_t k = 0; k < filler; ++k) out.push_back(static_cast<unsigned char>((k * 37) % 0xFF));
  return out;
}

Bytes JpegFile(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) Append(out, part);
  return out;
}

Bytes JpegWithExif(const TiffLayout& layout, bool jfif, uint16_t width, uint16_t height) {
  return JpegFile({Soi(), jfif ? App0Jfif() : Bytes{}, App1Exif(layout),
                   StartOfFrame(width, height), ScanData(), Eoi()});
}

namespace {

// Degrees, minutes and seconds of |angle|, seconds to 1/10000.
std::vector<Fraction> Dms(double angle) {
  const double a = std::fabs(angle);
  const double degrees = std::floor(a);
  const double minutes = std::floor((a - degrees) * 60);
  const double seconds = (a - degrees - minutes / 60) * 3600;
  return {{static_cast<uint32_t>(degrees), 1},
          {static_cast<uint32_t>(minutes), 1},
          {static_cast<uint32_t>(std::lround(seconds * 10000)), 10000}};
}

std::vector<TiffEntry> GpsEntries(const GpsFix& fix) {
  return {Byte(0x0000, {2, 3, 0, 0}),
          Ascii(0x0001, fix.latitude < 0 ? "S" : "N"),
          Rationals(0x0002, Dms(fix.latitude)),
          Ascii(0x0003, fix.longitude < 0 ? "W" : "E"),
          Rationals(0x0004, Dms(fix.longitude)),
          Byte(0x0005, {fix.altitude < 0 ? 1u : 0u}),
          Rationals(0x0006,
                    {{static_cast<uint32_t>(std::lround(std::fabs(fix.altitude) * 1000)), 1000}})};
}

}  // namespace

TiffLayout SurveyLayout(const SurveyFrame& frame) {
  TiffLayout layout;
  layout.little_endian = frame.little_endian;
  layout.ifd0 = {Ascii(0x010F, frame.make), Ascii(0x0110, frame.model), Short(0x0112, {1}),
                 Ascii(0x0132, frame.date_time_original)};
  layout.exif = std::vector<TiffEntry>{Rationals(0x829A, {frame.exposure_time}),
                                       Rationals(0x829D, {frame.f_number}),
                                       Short(0x8827, {frame.iso}),
                                       Ascii(0x9003, frame.date_time_original),
                                       Ascii(0x9004, frame.date_time_original),
                                       Rationals(0x920A, {frame.focal_length}),
                                       Long(0xA002, {frame.width}),
                                       Long(0xA003, {frame.height}),
                                       Short(0xA405, {frame.focal_35mm}),
                                       Rationals(0xA432, frame.lens_info)};
  if (frame.gps) layout.gps = GpsEntries(*frame.gps);
  return layout;
}

Bytes MakeSurveyJpeg(const SurveyFrame& frame) {
  // A frame header holds 16 bits; the EXIF dimensions are what readers use.
  return JpegWithExif(SurveyLayout(frame), frame.jfif, static_cast<uint16_t>(frame.width),
                      static_cast<uint16_t>(frame.height));
}

}  // namespace testsupport
