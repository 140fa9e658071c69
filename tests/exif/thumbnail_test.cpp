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

}  // namespace
