// read_jpeg over parts of a file: the answer is the whole file's, or a
// request for more, never anything else; the request comes exactly when the
// last byte the answer rests on lies outside the bytes given; and read as
// the checks read, by the reader's requests, it ends in the whole file's
// answer. Head and tail sit in heap blocks of exactly their size,
// so a sanitizer build sees any read past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "exif/exif_record.h"
#include "exif/record_dump.h"
#include "support/jpeg_writer.h"
#include "support/read_requests.h"

namespace {

using namespace testsupport;
using testsupport::RequestedRead;

struct PartsRead {
  ExifResult first;  // the answer to the head and tail
  ExifResult final;  // after the whole file, when the first asked for it
  std::string record;
};

std::unique_ptr<unsigned char[]> Block(const Bytes& file, size_t from, size_t size) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[std::max<size_t>(size, 1)]);
  std::copy(file.begin() + static_cast<std::ptrdiff_t>(from),
            file.begin() + static_cast<std::ptrdiff_t>(from + size), block.get());
  return block;
}

PartsRead ReadInParts(const Bytes& file, size_t head, size_t tail) {
  head = std::min(head, file.size());
  tail = std::min(tail, file.size());
  const auto head_block = Block(file, 0, head);
  const auto tail_block = Block(file, file.size() - tail, tail);
  ExifRecord record;
  PartsRead read;
  read.first =
      record.read_jpeg(FileBytes{head_block.get(), static_cast<uint32_t>(head), tail_block.get(),
                                 static_cast<uint32_t>(tail), static_cast<uint32_t>(file.size())});
  read.final = read.first;
  if (read.first == exif_result::needs_more_bytes) {
    read.final = record.read_jpeg(file.data(), static_cast<uint32_t>(file.size()));
  }
  read.record = Dump(record);
  return read;
}

PartsRead ReadWhole(const Bytes& file) {
  ExifRecord record;
  PartsRead read;
  read.first = read.final = record.read_jpeg(file.data(), static_cast<uint32_t>(file.size()));
  read.record = Dump(record);
  return read;
}

size_t Find(const Bytes& file, const Bytes& what) {
  const auto at = std::search(file.begin(), file.end(), what.begin(), what.end());
  EXPECT_NE(at, file.end());
  return static_cast<size_t>(at - file.begin());
}

// The smallest head, with the end marker as tail, that is answered without
// more; every smaller head must ask for more.
size_t SmallestHead(const Bytes& file, size_t tail = 2) {
  for (size_t head = 0; head <= file.size(); ++head) {
    if (ReadInParts(file, head, tail).first != exif_result::needs_more_bytes) return head;
  }
  return file.size() + 1;
}

Bytes Frame(bool little_endian, bool jfif, bool gps) {
  SurveyFrame frame;
  frame.little_endian = little_endian;
  frame.jfif = jfif;
  if (!gps) frame.gps.reset();
  return MakeSurveyJpeg(frame);
}

TEST(ExifRecordParts, EveryHeadAndTailGetsTheWholeFilesAnswer) {
  TiffLayout thumbnail = SurveyLayout(SurveyFrame());
  thumbnail.ifd1 = std::vector<TiffEntry>{Short(0x0103, {6})};
  thumbnail.thumbnail = JpegFile({Soi(), Eoi()});
  const Bytes files[] = {
      Frame(true, false, true),
      Frame(false, true, true),
      Frame(false, false, false),
      JpegWithExif(thumbnail),
      JpegFile({Soi(), App1Xmp("<x/>"), App1Exif(SurveyLayout(SurveyFrame())), Eoi()}),
      JpegFile({Soi(), ScanData(300), Eoi(), Bytes(40, 0x11)}),  // no EXIF, padding after
      JpegFile({Soi(), App1Exif(SurveyLayout(SurveyFrame())), ScanData(100)}),  // no end marker
      {0xFF, 0xD8, 0xFF, 0xD9},
      {0xFF, 0xD8, 0xFF},
  };
  for (const Bytes& file : files) {
    const PartsRead whole = ReadWhole(file);
    for (size_t head = 0; head <= file.size() + 2; ++head) {
      for (const size_t tail : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{50},
                                file.size() / 2, file.size() - 1, file.size()}) {
        const PartsRead parts = ReadInParts(file, head, tail);
        ASSERT_EQ(parts.final, whole.final) << "head " << head << ", tail " << tail;
        ASSERT_EQ(parts.record, whole.record) << "head " << head << ", tail " << tail;
        ASSERT_TRUE(parts.first == whole.first || parts.first == exif_result::needs_more_bytes)
            << "head " << head << ", tail " << tail;
        if (tail != 2 && tail != 50) continue;  // the tail a request reads
        const RequestedRead asked = ReadAsRequested(file, head, tail);
        ASSERT_EQ(asked.final, whole.final) << "requested, head " << head << ", tail " << tail;
        ASSERT_EQ(Dump(asked.record), whole.record) << "requested, head " << head;
      }
    }
  }
}

// Each file's answer rests last on one known byte: the head must reach just
// past it, and one byte less must ask for the whole file.
TEST(ExifRecordParts, TheHeadMustHoldTheLastByteTheAnswerRestsOn) {
  for (const bool le : {true, false}) {
    TiffLayout inline_only;
    inline_only.little_endian = le;
    inline_only.ifd0 = {Ascii(0x010F, "AB"), Short(0x0112, {1})};
    const Bytes ifd0_file = JpegWithExif(inline_only);
    const size_t ifd0 = Find(ifd0_file, ExifPayload(inline_only)) + 6 + 8;
    const size_t ifd0_end = ifd0 + 2 + 12 * inline_only.ifd0.size();

    TiffLayout long_text = inline_only;
    long_text.ifd0 = {Ascii(0x010F, "A camera maker whose name runs long")};
    const Bytes text_file = JpegWithExif(long_text);
    const std::string text = "A camera maker whose name runs long";
    const size_t text_end = Find(text_file, Bytes(text.begin(), text.end())) + text.size() + 1;

    TiffLayout sub_directory = inline_only;
    sub_directory.ifd0 = {};
    sub_directory.exif = std::vector<TiffEntry>{Short(0xA405, {24}), Short(0x8827, {100})};
    const Bytes exif_file = JpegWithExif(sub_directory);
    // The EXIF sub-directory follows IFD0 with its one pointer entry.
    const size_t exif_end = Find(exif_file, ExifPayload(sub_directory)) + 6 + 8 + 18 + 2 + 24;

    TiffLayout gps = inline_only;
    gps.ifd0 = {};
    gps.gps = std::vector<TiffEntry>{Rationals(0x0002, {{30, 1}, {15, 1}, {0x12345, 0x6789}})};
    const Bytes gps_file = JpegWithExif(gps);
    Bytes last_rational;
    for (const uint32_t n : {0x12345u, 0x6789u}) {
      for (int k = 0; k < 4; ++k) {
        last_rational.push_back(static_cast<unsigned char>(n >> (8 * (le ? k : 3 - k))));
      }
    }
    const size_t gps_end = Find(gps_file, last_rational) + 8;

    // An APP1 segment too short to hold EXIF data is refused on its length.
    const Bytes short_app1 =
        JpegFile({Soi(), Segment(0xFE, Bytes(37, 0x20)),
                  SegmentWithLength(0xE1, 15, ExifPayload(inline_only)), Eoi()});
    const size_t length_end = Find(short_app1, {0xFF, 0xE1}) + 4;

    const struct {
      const char* name;
      const Bytes& file;
      size_t last_byte_end;
    } cases[] = {
        {"IFD0 entries", ifd0_file, ifd0_end},
        {"a text value", text_file, text_end},
        {"EXIF sub-directory entries", exif_file, exif_end},
        {"GPS rationals", gps_file, gps_end},
        {"APP1 length field", short_app1, length_end},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(SmallestHead(c.file), c.last_byte_end) << c.name << (le ? " II" : " MM");
      const PartsRead whole = ReadWhole(c.file);
      const PartsRead inside = ReadInParts(c.file, c.last_byte_end, 2);
      EXPECT_EQ(inside.first, whole.first) << c.name;
      EXPECT_EQ(inside.record, whole.record) << c.name;
      EXPECT_EQ(ReadInParts(c.file, c.last_byte_end - 1, 2).first, exif_result::needs_more_bytes)
          << c.name;
    }
  }
}

TEST(ExifRecordParts, TheTailMustHoldTheLastEndMarker) {
  const Bytes frame = Frame(true, false, true);
  for (const size_t padding : {size_t{0}, size_t{1}, size_t{100}}) {
    const Bytes file = JpegFile({frame, Bytes(padding, 0xD9)});  // no FF in the padding
    const size_t needed = padding + 2;
    const size_t head = frame.size() - 2;  // no end marker in it
    EXPECT_EQ(ReadInParts(file, head, needed).first, ReadWhole(file).first) << padding;
    EXPECT_EQ(ReadInParts(file, head, needed - 1).first, exif_result::needs_more_bytes) << padding;
  }
  // Without any end marker head and tail must hold every byte from the second.
  const Bytes unended = JpegFile({Soi(), App1Exif(SurveyLayout(SurveyFrame())), ScanData(64)});
  EXPECT_EQ(ReadInParts(unended, 2, unended.size() - 2).first, exif_result::not_jpeg);
  EXPECT_EQ(ReadInParts(unended, 2, unended.size() - 3).first, exif_result::needs_more_bytes);
}

TEST(ExifRecordParts, AFileWithoutApp1IsSearchedToItsEndMarker) {
  const Bytes file = JpegFile({Soi(), ScanData(500), Eoi(), Bytes(30, 0)});
  const size_t end = file.size() - 30;
  EXPECT_EQ(SmallestHead(file, 32), end);
  EXPECT_EQ(ReadInParts(file, end, 32).first, exif_result::no_exif_data);
}

// An end marker in the head bounds the file's last one from below. Read
// with everything but the final end marker as head, a file is answered
// from the head alone when every test passes against that bound, and asks
// for the tail otherwise; either way the whole file's answer comes back.
TEST(ExifRecordParts, AnEndMarkerInTheHeadSettlesWhatItCan) {
  const Bytes thumbnail = {0xFF, 0xD8, 0xFF, 0xD9};
  TiffLayout inline_only;
  inline_only.ifd0 = {Short(0x0112, {1}), Short(0x0102, {8})};
  inline_only.ifd1 = std::vector<TiffEntry>{Short(0x0103, {6})};
  inline_only.thumbnail = thumbnail;
  TiffLayout long_values = SurveyLayout(SurveyFrame());
  TiffLayout thumbnail_first = long_values;  // its values follow the thumbnail
  thumbnail_first.ifd1 = inline_only.ifd1;
  thumbnail_first.thumbnail = thumbnail;
  // A GPS pointer into the thumbnail's last two bytes: against the bound the
  // directory is too short and skipped, against the file it is malformed.
  TiffLayout late_gps = inline_only;
  late_gps.ifd0.push_back(RawEntry(0x8825, 4, 1, 0));
  const Bytes probe = JpegWithExif(late_gps);
  const size_t tiff = Find(probe, {0xFF, 0xE1}) + 10;
  late_gps.ifd0.back() =
      RawEntry(0x8825, 4, 1, static_cast<uint32_t>(Find(probe, thumbnail) + 2 - tiff));
  const Bytes survey = MakeSurveyJpeg(SurveyFrame());
  const Bytes scan = JpegFile({StartOfFrame(64, 48), ScanData(3000), Eoi()});

  const struct {
    const char* name;
    Bytes file;
    bool head_alone;
  } cases[] = {
      {"thumbnail after the directories and values", JpegWithExif(inline_only), true},
      {"thumbnail before the directories",
       JpegFile({Soi(), Segment(0xFE, thumbnail), App1Exif(long_values), scan}), false},
      {"thumbnail inside, before the values", JpegWithExif(thumbnail_first), false},
      {"preview after the EXIF block",
       JpegFile({Soi(), App1Exif(long_values), Segment(0xE2, thumbnail), scan}), true},
      {"no end marker in the head", survey, false},
      {"a bound that fails only against the lower bound", JpegWithExif(late_gps), false},
  };
  for (const auto& c : cases) {
    const PartsRead whole = ReadWhole(c.file);
    const RequestedRead asked =
        ReadAsRequested(c.file, static_cast<uint32_t>(c.file.size() - 2), 4);
    EXPECT_EQ(asked.final, whole.final) << c.name;
    EXPECT_EQ(Dump(asked.record), whole.record) << c.name;
    if (reading::kReadsWholeFiles) continue;
    EXPECT_EQ(asked.reads, c.head_alone ? 1 : 2) << c.name;
    EXPECT_EQ(asked.first == exif_result::needs_more_bytes, !c.head_alone) << c.name;
  }
}

// Values behind a 30 KB block of the EXIF segment (a maker note, say) lie
// past the head: the rest of the segment comes in one read, where each
// value would otherwise cost a read of its own, and then the whole file.
TEST(ExifRecordParts, ValuesPastTheHeadComeInOneReadOfTheSegment) {
  TiffLayout layout = SurveyLayout(SurveyFrame());
  layout.ifd0.insert(layout.ifd0.begin(), Undefined(0x927C, Bytes(30000, 0x11)));
  const Bytes file =
      JpegFile({Soi(), App1Exif(layout), StartOfFrame(64, 48), ScanData(200000), Eoi()});
  const RequestedRead asked = ReadAsRequested(file, 16384, 4096);
  EXPECT_EQ(asked.final, exif_result::ok);
  EXPECT_EQ(Dump(asked.record), ReadWhole(file).record);
  if (reading::kReadsWholeFiles) return;
  EXPECT_EQ(asked.reads, 3);  // the head, the tail with the end marker, the segment
  EXPECT_LT(asked.bytes, 16384u + 4096u + 30000u + 4096u);
}

}  // namespace
