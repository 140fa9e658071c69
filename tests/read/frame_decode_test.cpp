// Decoding a frame read in parts: the capture time, what the drone's XMP
// packet and EXIF segment give the findings, and how many requests a
// drone frame costs before and after its survey has taught the head.
#include "read/frame_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "read/file_parts.h"
#include "read/frame_store.h"
#include "support/drone_frame.h"
#include "support/test_files.h"

namespace {

TEST(CaptureTime, ParsesWhatCamerasWriteAndRefusesTheRest) {
  struct Case {
    const char* date_time;
    const char* sub_seconds;
    const char* offset;
    bool parses;
    std::int64_t seconds;
    std::uint32_t nanoseconds;
    int digits;
    std::optional<int> offset_minutes;
  };
  const Case cases[] = {
      {"1970:01:01 00:00:00", "", "", true, 0, 0, 0, std::nullopt},
      {"2024:05:01 10:00:00", "120", "+08:00", true, 1714557600, 120000000, 3, 480},
      {"2024-05-01 10:00:00", "5", "-05:30", true, 1714557600, 500000000, 1, -330},
      {"2024:02:29 23:59:60", "1234567891", "+14:00", true, 1709251200, 123456789, 9, 840},
      {" 2024:05:01 10:00:00 ", "12a", "+15:00", true, 1714557600, 0, 0, std::nullopt},
      {"2024:05:01 10:00:00", " ", "   :  ", true, 1714557600, 0, 0, std::nullopt},
      {"2023:02:29 10:00:00", "", "", false, 0, 0, 0, std::nullopt},
      {"0000:00:00 00:00:00", "", "", false, 0, 0, 0, std::nullopt},
      {"    :  :     :  :  ", "", "", false, 0, 0, 0, std::nullopt},
      {"2024:05:01 24:00:00", "", "", false, 0, 0, 0, std::nullopt},
      {"2024:05:01-10:00:00", "", "", false, 0, 0, 0, std::nullopt},
      {"2024:05-01 10:00:00", "", "", false, 0, 0, 0, std::nullopt},
      {"2024:05:01 10:00", "", "", false, 0, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<CaptureTime> time = ParseCaptureTime(c.date_time, c.sub_seconds, c.offset);
    ASSERT_EQ(time.has_value(), c.parses) << c.date_time;
    if (!time) continue;
    EXPECT_EQ(time->clock_seconds, c.seconds) << c.date_time;
    EXPECT_EQ(time->nanoseconds, c.nanoseconds) << c.sub_seconds;
    EXPECT_EQ(time->fraction_digits, c.digits) << c.sub_seconds;
    const std::optional<int> offset = time->offset_minutes;
    EXPECT_EQ(offset, c.offset_minutes) << c.offset;
  }
}

struct Decoded {
  FrameRead read;
  std::vector<std::pair<std::uint64_t, std::size_t>> reads;  // offset, size
};

Decoded DecodeInParts(const testsupport::Bytes& file, std::uint32_t head) {
  Decoded out;
  const auto read_at = [&](unsigned char* data, std::size_t size, std::uint64_t offset) {
    out.reads.emplace_back(offset, size);
    std::memcpy(data, file.data() + offset, size);
    return true;
  };
  std::string why;
  reading::ReadSizedFile(
      file.size(), reading::ReadPlan{head, false}, 4096, read_at,
      [&](const FileBytes& parts) { return DecodeFrame(parts, &out.read); }, &why);
  return out;
}

TEST(FrameDecode, ADroneFrameGivesItsXmpAndTeachesTheHeadThatReadsItInOneRequest) {
  testsupport::DroneFrame drone;
  drone.relative_altitude = 98.5;
  drone.gimbal_pitch = -89.9;
  drone.rtk_flag = 34;
  const testsupport::Bytes file = testsupport::MakeDroneJpeg(drone);
  const Decoded first = DecodeInParts(file, 16384);
  const FrameFacts& facts = first.read.facts;
  ASSERT_EQ(first.read.frame.result, exif_result::ok);
  EXPECT_TRUE(facts.exif);
  EXPECT_EQ(facts.serial, drone.serial);
  EXPECT_EQ(facts.model, "FC6310R");
  ASSERT_TRUE(facts.relative_altitude && facts.gimbal_pitch && facts.rtk_flag && facts.time);
  EXPECT_DOUBLE_EQ(*facts.relative_altitude, 98.5);
  EXPECT_DOUBLE_EQ(*facts.gimbal_pitch, -89.9);
  EXPECT_EQ(*facts.rtk_flag, 34);
  EXPECT_EQ(facts.time->offset_minutes, std::optional<std::int16_t>(480));
  EXPECT_TRUE(facts.has_latitude && facts.has_longitude && facts.gps_altitude);
  EXPECT_EQ(facts.latitude_ref, 'N');
  EXPECT_EQ(first.read.frame.thumbnail.size, drone.thumbnail_bytes);
  EXPECT_NE(facts.exif_digest, 0u);
  // The head ends inside the EXIF segment: it grows once, past the XMP
  // packet, and with the thumbnail's end marker the tail is not needed.
  const std::uint32_t end = first.read.frame.metadata_end;
  EXPECT_GT(end, 16384u + 4096u);
  // A build that reads every file whole makes one request of all of it.
  if (reading::kReadsWholeFiles) return;
  EXPECT_EQ(first.reads.size(), 2u);

  const std::uint32_t learned = (end + 4095) / 4096 * 4096;
  const Decoded later = DecodeInParts(file, learned);
  ASSERT_EQ(later.reads.size(), 1u);
  EXPECT_EQ(later.reads[0].second, learned);
  EXPECT_EQ(later.read.frame.metadata_end, end);
  EXPECT_EQ(later.read.facts.exif_digest, facts.exif_digest);
  EXPECT_EQ(*later.read.facts.relative_altitude, 98.5);
}

TEST(FrameStore, LearnsTheHeadAndTheTailFromTheFramesItReads) {
  testsupport::ScopedTempDir dir;
  ImageList paths;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    paths.push_back(dir.Join(name));
    testsupport::WriteFile(paths.back(), testsupport::MakeDroneJpeg(testsupport::DroneFrame()));
  }
  // Frames without a thumbnail have no end marker in their head: the next
  // ones ask for their tail at once.
  ImageList plain;
  for (const char* name : {"d.jpg", "e.jpg"}) {
    using testsupport::SurveyFrame;
    plain.push_back(dir.Join(name));
    testsupport::WriteFile(
        plain.back(),
        testsupport::JpegFile(
            {testsupport::Soi(), testsupport::App1Exif(SurveyLayout(SurveyFrame())),
             testsupport::StartOfFrame(64, 48), testsupport::ScanData(40000), testsupport::Eoi()}));
  }
  FrameStore tails(plain, 0);
  tails.Fetch(0);
  EXPECT_EQ(tails.plan().tail, !reading::kReadsWholeFiles);
  EXPECT_EQ(tails.plan().head, kFrameHeadBytes);

  FrameStore store(paths, 0);
  EXPECT_EQ(store.plan().head, kFrameHeadBytes);
  const std::uint32_t end = store.Fetch(0).metadata_end;
  EXPECT_EQ(store.plan().head, (end + 4095) / 4096 * 4096);
  EXPECT_FALSE(store.plan().tail);
  store.FetchAll();
  EXPECT_EQ(store.fetched(), 3u);
  EXPECT_EQ(store.At(2).metadata_end, end);
  EXPECT_EQ(store.Facts(2).folder, store.Facts(0).folder);
}

}  // namespace
