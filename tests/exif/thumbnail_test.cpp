// Finding the thumbnail IFD1 names, in both byte orders, and refusing every
// directory or place that does not fit the bytes given or the file.
#include "exif/thumbnail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/jpeg_writer.h"

namespace {

using namespace testsupport;

Bytes WithThumbnail(bool little_endian, const Bytes& thumbnail) {
  SurveyFrame frame;
  frame.little_endian = little_endian;
  TiffLayout layout = SurveyLayout(frame);
  layout.ifd1 = std::vector<TiffEntry>{Short(0x0103, {6})};
  layout.thumbnail = thumbnail;
  return JpegWithExif(layout);
}

TEST(Thumbnail, FoundWhereIfd1SaysAndNowhereElse) {
  const Bytes small = JpegFile({Soi(), ScanData(40), Eoi()});
  ThumbnailPlace place;
  for (const bool le : {false, true}) {  // the place of the last, little-endian, is cut below
    const Bytes file = WithThumbnail(le, small);
    ASSERT_TRUE(find_thumbnail(file.data(), static_cast<uint32_t>(file.size()),
                               static_cast<uint32_t>(file.size()), &place))
        << le;
    EXPECT_TRUE(std::equal(small.begin(), small.end(), file.begin() + place.offset)) << le;
    EXPECT_EQ(place.size, small.size()) << le;
  }
  const Bytes file = WithThumbnail(true, small);
  const auto size = static_cast<uint32_t>(file.size());
  const uint32_t cut = place.offset + place.size - 1;  // the file ends inside the thumbnail
  const struct {
    const char* what;
    Bytes bytes;
    uint32_t length;
    uint32_t file_size;
    bool more;  // more of the file may find it
  } refused[] = {
      {"no IFD1", MakeSurveyJpeg(SurveyFrame()), 0, 0, false},
      {"no EXIF data", JpegFile({Soi(), ScanData(40), Eoi()}), 0, 0, false},
      {"not a JPEG", Bytes(100, 0x41), 0, 0, false},
      {"IFD1 past the bytes given", file, size / 3, size, true},
      {"thumbnail past the file's end", file, cut, cut, false},
  };
  for (const auto& c : refused) {
    const auto whole = static_cast<uint32_t>(c.bytes.size());
    bool more = false;
    EXPECT_FALSE(find_thumbnail(c.bytes.data(), c.length == 0 ? whole : c.length,
                                c.file_size == 0 ? whole : c.file_size, &place, &more))
        << c.what;
    EXPECT_EQ(more, c.more) << c.what;
  }
}

// IFD1 names any place at all; only one wholly inside the EXIF segment is
// taken, however large the file, so no directory makes the page read more
// than the segment.
TEST(Thumbnail, RefusedUnlessWhollyInsideTheExifSegment) {
  const auto with_place = [](uint32_t offset, uint32_t size) {
    TiffLayout layout = SurveyLayout(SurveyFrame());
    layout.ifd1 = std::vector<TiffEntry>{Long(0x0201, {offset}), Long(0x0202, {size})};
    return JpegFile({Soi(), App1Exif(layout), StartOfFrame(64, 48), ScanData(3000), Eoi()});
  };
  const Bytes probe = with_place(0, 0);
  const Bytes marker = {0xFF, 0xE1};
  const auto app1 = static_cast<uint32_t>(
      std::search(probe.begin(), probe.end(), marker.begin(), marker.end()) - probe.begin());
  const uint32_t tiff = app1 + 10;
  const uint32_t segment_end = app1 + 2 + (uint32_t{probe[app1 + 2]} << 8U | probe[app1 + 3]);
  const uint32_t payload = segment_end - (app1 + 4);
  const uint32_t large_file = 20000000;
  const struct {
    const char* what;
    uint32_t offset;  // from the TIFF header, as IFD1 stores it
    uint32_t size;
    bool found;
  } cases[] = {
      {"the segment's last bytes", segment_end - tiff - 100, 100, true},
      {"one byte past the segment", segment_end - tiff - 99, 100, false},
      {"18 MB from the TIFF header", 0, 18000000, false},
      {"longer than the payload", 0, payload + 1, false},
      {"in the scan after the segment", segment_end - tiff + 20, 100, false},
      {"offset that would wrap", 0xFFFFFFF0, 0x20, false},
  };
  for (const auto& c : cases) {
    const Bytes file = with_place(c.offset, c.size);
    ThumbnailPlace place;
    bool more = false;
    EXPECT_EQ(
        find_thumbnail(file.data(), static_cast<uint32_t>(file.size()), large_file, &place, &more),
        c.found)
        << c.what;
    EXPECT_FALSE(more) << c.what;
    if (c.found) {
      EXPECT_EQ(place.offset, tiff + c.offset) << c.what;
    }
  }
}

}  // namespace
