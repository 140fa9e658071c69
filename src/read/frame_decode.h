// Decoding one frame from the parts of it read so far: the EXIF reader's
// answer and fields, the capture time, where its thumbnail lies and how far
// its metadata reaches. Runs on whichever thread read the frame.
#ifndef EXIFCHECK_READ_FRAME_DECODE_H_
#define EXIFCHECK_READ_FRAME_DECODE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "exif/file_bytes.h"
#include "read/frame.h"
#include "survey/frame_facts.h"

/// How far into a frame its metadata may reach: two segments of 64 KiB at
/// most, and what a few small ones before them hold.
constexpr std::uint32_t kMetadataReach = 132 * 1024;

/// Fills `read` from `parts` when they settle every answer and returns
/// nothing; otherwise returns what to read next, leaving `read` for the
/// next call. The reader's answer is always the one a read of the whole
/// file gives.
std::optional<ByteRequest> DecodeFrame(const FileBytes& parts, FrameRead* read);

/// DateTimeOriginal ("2024:05:01 10:20:30"), with SubSecTimeOriginal
/// ("123") and OffsetTimeOriginal ("+08:00") when they parse; empty when
/// the date does not parse as a real date and time.
std::optional<CaptureTime> ParseCaptureTime(const std::string& date_time,
                                            const std::string& sub_seconds,
                                            const std::string& offset);

#endif  // EXIFCHECK_READ_FRAME_DECODE_H_
