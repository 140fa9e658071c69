// find_metadata_segments: which APP1 segments it files as EXIF and XMP in
// the layouts frames come in, where it stops, and over parts of a file,
// that it answers as over the whole file or names bytes it was not given.
#include "exif/jpeg_segments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/jpeg_writer.h"

namespace {

using namespace testsupport;

std::string Describe(const MetadataSegments& s) {
  std::string out;
  for (const auto* place : {&s.exif, &s.xmp}) {
    out += *place ? std::to_string((*place)->marker) + "," + std::to_string((*place)->payload) +
                        "," + std::to_string((*place)->payload_size)
                  : "-";
    out += " ";
  }
  return out + std::to_string(s.metadata_end);
}

// The place of `segment` (marker, length, payload) in `file`, as found.
std::optional<SegmentPlace> PlaceOf(const Bytes& file, const Bytes& segment) {
  if (segment.empty()) return std::nullopt;
  const auto at = std::search(file.begin(), file.end(), segment.begin(), segment.end());
  EXPECT_NE(at, file.end());
  const auto marker = static_cast<uint32_t>(at - file.begin());
  return SegmentPlace{marker, marker + 4, static_cast<uint32_t>(segment.size() - 4)};
}

MetadataSegments Expected(const Bytes& file, const Bytes& exif, const Bytes& xmp) {
  MetadataSegments s;
  s.exif = PlaceOf(file, exif);
  s.xmp = PlaceOf(file, xmp);
  for (const auto* place : {&s.exif, &s.xmp}) {
    if (*place)
      s.metadata_end = std::max(s.metadata_end, (*place)->payload + (*place)->payload_size);
  }
  return s;
}

MetadataSegments ReadWhole(const Bytes& file) {
  MetadataSegments found;
  EXPECT_TRUE(
      find_metadata_segments(WholeFile(file.data(), static_cast<uint32_t>(file.size())), &found));
  return found;
}

// As a drone writes a frame: a 21.6 KB EXIF segment (its maker note most of
// it), the XMP packet, then the tables, the frame header and the scan.
TiffLayout DroneLayout() {
  TiffLayout layout = SurveyLayout(SurveyFrame());
  layout.exif->push_back(Undefined(0x927C, Bytes(21100, 0x5A)));
  return layout;
}

const Bytes kDroneExif = App1Exif(DroneLayout());
const Bytes kXmp =
    App1Xmp("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">" + std::string(3000, ' ') + "</x:xmpmeta>");
const Bytes kSmallExif = App1Exif(SurveyLayout(SurveyFrame()));
const Bytes kTables = Segment(0xDB, Bytes(65, 1));
const Bytes kPicture = JpegFile({StartOfFrame(64, 48), ScanData(100), Eoi()});

Bytes Repeated(const Bytes& segment, size_t n) {
  Bytes out;
  for (size_t k = 0; k < n; ++k) out.insert(out.end(), segment.begin(), segment.end());
  return out;
}

TEST(JpegSegments, FindsTheFirstExifAndXmpSegments) {
  const Bytes comment = Segment(0xFE, Bytes(10, 'c'));
  const Bytes other_app1 = Segment(0xE1, Bytes{'O', 't', 'h', 'e', 'r', 0});
  const Bytes short_xmp = Segment(0xE1, Bytes(kXmp.begin() + 4, kXmp.begin() + 20));
  const Bytes drone = JpegFile({Soi(), kDroneExif, kXmp, kTables, kPicture});
  const struct {
    const char* name;
    Bytes file;
    Bytes exif, xmp;  // the segments expected, empty for none
  } cases[] = {
      {"the drone's layout", drone, kDroneExif, kXmp},
      {"XMP before EXIF", JpegFile({Soi(), kXmp, kSmallExif, kPicture}), kSmallExif, kXmp},
      {"no XMP", JpegFile({Soi(), kSmallExif, kTables, kPicture}), kSmallExif, {}},
      {"JFIF first", JpegFile({Soi(), App0Jfif(), kSmallExif, kXmp, kPicture}), kSmallExif, kXmp},
      {"fill bytes", JpegFile({Soi(), {0xFF, 0xFF}, kSmallExif, {0xFF}, kXmp, kPicture}),
       kSmallExif, kXmp},
      {"standalone marker", JpegFile({Soi(), {0xFF, 0xD0}, kSmallExif, kPicture}), kSmallExif, {}},
      {"other APP1 first, later ones of a kind ignored",
       JpegFile({Soi(), other_app1, short_xmp, kSmallExif, kDroneExif, kXmp, kXmp, kPicture}),
       kSmallExif, kXmp},
      {"XMP after the start of scan",
       JpegFile({Soi(), kSmallExif, kPicture, kXmp}),
       kSmallExif,
       {}},
      {"64th segment", JpegFile({Soi(), Repeated(comment, 63), kXmp, kPicture}), {}, kXmp},
      {"65th segment", JpegFile({Soi(), Repeated(comment, 64), kXmp, kPicture}), {}, {}},
      {"length 1", JpegFile({Soi(), SegmentWithLength(0xE0, 1, {}), kSmallExif, kPicture}), {}, {}},
      {"no marker", JpegFile({Soi(), comment, {0x00}, kSmallExif, kPicture}), {}, {}},
      {"stuffed byte", JpegFile({Soi(), {0xFF, 0x00}, kSmallExif, kPicture}), {}, {}},
      {"XMP runs past the file",
       Bytes(drone.begin(), drone.begin() + 2 + kDroneExif.size() + kXmp.size() - 1),
       kDroneExif,
       {}},
      {"file ends in a length",
       Bytes(drone.begin(), drone.begin() + 2 + kDroneExif.size() + 3),
       kDroneExif,
       {}},
      {"not a JPEG", JpegFile({{0xFF, 0xD9}, kSmallExif, kPicture}), {}, {}},
      {"two bytes", Soi(), {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(ReadWhole(c.file)), Describe(Expected(c.file, c.exif, c.xmp))) << c.name;
  }
  EXPECT_EQ(ReadWhole(drone).metadata_end, 2 + kDroneExif.size() + kXmp.size());
}

std::unique_ptr<unsigned char[]> Block(const Bytes& file, size_t from, size_t size) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[std::max<size_t>(size, 1)]);
  std::copy(file.begin() + static_cast<std::ptrdiff_t>(from),
            file.begin() + static_cast<std::ptrdiff_t>(from + size), block.get());
  return block;
}

struct PartsWalk {
  std::string found;
  std::vector<ByteRequest> requests;
};

// Walks the head, then reads each range asked for into a piece of its own.
PartsWalk WalkAsRequested(const Bytes& file, size_t head) {
  const auto head_block = Block(file, 0, head);
  std::vector<std::unique_ptr<unsigned char[]>> blocks;
  std::vector<FilePiece> pieces;
  PartsWalk walk;
  for (;;) {
    const FileBytes parts{head_block.get(),
                          static_cast<uint32_t>(head),
                          nullptr,
                          0,
                          static_cast<uint32_t>(file.size()),
                          pieces.data(),
                          pieces.size()};
    MetadataSegments found;
    ByteRequest r;
    if (find_metadata_segments(parts, &found, &r)) {
      walk.found = Describe(found);
      return walk;
    }
    walk.requests.push_back(r);
    const size_t wanted = std::min<size_t>(65536, file.size() - r.from);
    if (r.end_marker || r.to - r.from != wanted || bytes_at(parts, r.from, wanted) != nullptr ||
        walk.requests.size() > 10) {
      ADD_FAILURE() << "request " << r.from << "-" << r.to << " after head " << head;
      return walk;
    }
    blocks.push_back(Block(file, r.from, wanted));
    pieces.push_back(FilePiece{r.from, blocks.back().get(), static_cast<uint32_t>(wanted)});
  }
}

TEST(JpegSegments, EveryHeadEndsInTheWholeFilesAnswer) {
  const Bytes files[] = {
      JpegFile({Soi(), App0Jfif(), {0xFF, 0xFF}, kSmallExif, kXmp, kPicture}),
      JpegFile({Soi(), kXmp, Segment(0xE1, {'E', 'x'}), kSmallExif, kPicture}),
      JpegFile({Soi(), kSmallExif, Segment(0xE1, Bytes(kXmp.begin() + 4, kXmp.begin() + 40))}),
  };
  for (const Bytes& file : files) {
    const std::string whole = Describe(ReadWhole(file));
    // Segments in a file: a request for each, at most.
    for (size_t head = 0; head <= file.size(); ++head) {
      const PartsWalk walk = WalkAsRequested(file, head);
      ASSERT_EQ(walk.found, whole) << "head " << head;
      ASSERT_LE(walk.requests.size(), 5u) << "head " << head;
    }
  }
}

// The head of 16 KiB holds the start of the EXIF segment: one read of the
// 64 KiB after it settles the XMP segment, without a read for its header
// and another for its identifier.
TEST(JpegSegments, OneRequestSettlesTheDroneFrame) {
  const Bytes drone = JpegFile({Soi(), kDroneExif, kXmp, kTables, kPicture, Bytes(100000, 0)});
  const PartsWalk walk = WalkAsRequested(drone, 16384);
  EXPECT_EQ(walk.found, Describe(ReadWhole(drone)));
  ASSERT_EQ(walk.requests.size(), 1u);
  EXPECT_EQ(walk.requests[0].from, 2 + kDroneExif.size());
  EXPECT_EQ(walk.requests[0].to, 2 + kDroneExif.size() + 65536);
  // The head cut inside the XMP identifier asks from its segment's marker.
  const PartsWalk inside = WalkAsRequested(drone, 2 + kDroneExif.size() + 20);
  ASSERT_EQ(inside.requests.size(), 1u);
  EXPECT_EQ(inside.requests[0].from, 2 + kDroneExif.size());
}

}  // namespace
