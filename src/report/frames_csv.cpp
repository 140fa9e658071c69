// The per-frame table: RFC 4180 quoting, numbers that do not depend on the
// locale, and texts from files that a spreadsheet cannot take for formulas.
#include "report/frames_csv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "survey/survey_math.h"

const char kFramesCsvName[] = "exifcheck-frames.csv";

namespace {

constexpr char kHeader[] =
    "path,read,width,height,make,model,serial,focal_35mm,focal_mm,time,latitude,longitude,"
    "altitude,relative_altitude,gimbal_pitch,gimbal_roll,gimbal_yaw,rtk_flag,rtk_std_h,flight,"
    "gsd_cm,forward_overlap,notes\r\n";
// What is handed on at a time: the table is never held whole.
constexpr std::size_t kChunk = std::size_t{64} << 10;
// The longest text from a file a cell shows; the facts are cut at the same.
constexpr std::size_t kLongestCell = kLongestFactText;

// A text from a file as one cell, cut to kLongestCell bytes when
// `bounded`. Control bytes become '?', so that a row stays one line for
// tools that read line by line. A text that a spreadsheet would run as a
// formula (=, +, -, @ first) gets a leading apostrophe, which shows it as
// text. A cell with a comma,
// a quote or a line end is quoted, quotes doubled. Bytes from 80 on stay:
// names are in the system's code page, as the file manager shows them.
void AddText(std::string_view text, bool bounded, std::string* row) {
  const std::string_view cell = bounded ? text.substr(0, kLongestCell) : text;
  const bool quoted = cell.find_first_of(",\"") != std::string_view::npos;
  if (quoted) *row += '"';
  if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@')) {
    *row += '\'';
  }
  for (const char c : cell) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"') *row += '"';
    *row += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (quoted) *row += '"';
  *row += ',';
}

void AddNumber(std::optional<double> value, int decimals, std::string* row) {
  if (value && std::isfinite(*value)) {
    char text[64];
    const auto done =
        std::to_chars(text, text + sizeof text, *value, std::chars_format::fixed, decimals);
    if (done.ec == std::errc()) row->append(text, done.ptr);
  }
  *row += ',';
}

void AddCount(std::optional<std::uint64_t> value, std::string* row) {
  if (value) {
    char text[24];
    const auto done = std::to_chars(text, text + sizeof text, *value);
    row->append(text, done.ptr);
  }
  *row += ',';
}

std::optional<std::uint64_t> Given(std::uint64_t value) {
  return value == 0 ? std::nullopt : std::optional<std::uint64_t>(value);
}

void AddDigits(int value, int width, std::string* out) {
  char text[16];
  const auto done = std::to_chars(text, text + sizeof text, value < 0 ? -value : value);
  for (int k = static_cast<int>(done.ptr - text); k < width; ++k) *out += '0';
  out->append(text, done.ptr);
}

// ISO 8601, as the camera's clock read, with the fraction and the zone
// when the frame gives them: 2024-05-01T10:20:30.120+08:00.
void AddTime(const std::optional<CaptureTime>& time, std::string* row) {
  if (time) {
    const CivilTime civil = CivilTimeOf(time->clock_seconds);
    const auto year = static_cast<int>(civil.year);
    AddDigits(year, 4, row);
    *row += '-';
    AddDigits(civil.month, 2, row);
    *row += '-';
    AddDigits(civil.day, 2, row);
    *row += 'T';
    AddDigits(civil.hour, 2, row);
    *row += ':';
    AddDigits(civil.minute, 2, row);
    *row += ':';
    AddDigits(civil.second, 2, row);
    if (time->fraction_digits > 0) {
      std::string fraction;
      AddDigits(static_cast<int>(time->nanoseconds), 9, &fraction);
      *row += '.';
      *row += fraction.substr(0, time->fraction_digits);
    }
    if (time->offset_minutes) {
      const int minutes = *time->offset_minutes;
      *row += minutes < 0 ? '-' : '+';
      AddDigits(std::abs(minutes) / 60, 2, row);
      *row += ':';
      AddDigits(std::abs(minutes) % 60, 2, row);
    }
  }
  *row += ',';
}

// Why a file has no values: ok when it has them.
std::string ReadText(const FrameStore& frames, std::size_t index) {
  const Frame& frame = frames.At(index);
  if (!frame.fetched) return "not read";
  if (frame.read != platform::FileRead::kRead) {
    const std::string why = frames.WhyNotRead(index);
    return why.empty() ? "not read" : why;
  }
  switch (frame.result) {
    case exif_result::ok: return "ok";
    case exif_result::not_jpeg: return "not a JPEG";
    case exif_result::no_exif_data: return "no EXIF data";
    case exif_result::unknown_byte_order: return "EXIF data of an unknown byte order";
    default: return "malformed EXIF data";
  }
}

void AddNotes(const FrameStore& frames, const SurveyFindings& findings, std::size_t index,
              const std::string& image_folder, std::string* row) {
  if (index >= findings.frames.size()) return;
  const FrameNotes& notes = findings.frames[index];
  std::string text;
  for (std::size_t k = 0; k < kFindingCount; ++k) {
    if (!Names(notes.findings, FindingAt(k))) continue;
    if (!text.empty()) text += ';';
    text += FindingName(FindingAt(k));
    if (FindingAt(k) == Finding::kDuplicate && notes.duplicate_of) {
      text += ':' + PathBelow(frames.Path(*notes.duplicate_of), image_folder);
    }
  }
  AddText(text, false, row);
  row->back() = '\r';
  *row += '\n';
}

void AddRow(const FrameStore& frames, const SurveyFindings& findings, std::size_t index,
            const std::string& image_folder, std::string* row) {
  const FrameFacts& facts = frames.Facts(index);
  const FrameNotes* notes = index < findings.frames.size() ? &findings.frames[index] : nullptr;
  AddText(PathBelow(frames.Path(index), image_folder), false, row);
  AddText(ReadText(frames, index), false, row);
  AddCount(Given(facts.width), row);
  AddCount(Given(facts.height), row);
  AddText(facts.make, true, row);
  AddText(facts.model, true, row);
  AddText(facts.serial, true, row);
  AddCount(Given(facts.focal_35mm), row);
  AddNumber(facts.focal_mm, 2, row);
  AddTime(facts.time, row);
  const bool position = facts.has_latitude && facts.has_longitude;
  AddNumber(position ? std::optional<double>(facts.latitude) : std::nullopt, 7, row);
  AddNumber(position ? std::optional<double>(facts.longitude) : std::nullopt, 7, row);
  AddNumber(facts.gps_altitude, 2, row);
  AddNumber(facts.relative_altitude, 2, row);
  AddNumber(facts.gimbal_pitch, 1, row);
  AddNumber(facts.gimbal_roll, 1, row);
  AddNumber(facts.gimbal_yaw, 1, row);
  AddCount(facts.rtk_flag && *facts.rtk_flag >= 0
               ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(*facts.rtk_flag))
               : std::nullopt,
           row);
  AddNumber(facts.rtk_std_lon && facts.rtk_std_lat
                ? std::optional<double>(std::hypot(*facts.rtk_std_lon, *facts.rtk_std_lat))
                : std::nullopt,
            3, row);
  AddCount(notes != nullptr && notes->flight ? std::optional<std::uint64_t>(*notes->flight + 1)
                                             : std::nullopt,
           row);
  AddNumber(notes != nullptr ? notes->gsd_cm : std::nullopt, 2, row);
  AddNumber(notes != nullptr ? notes->forward_overlap : std::nullopt, 3, row);
  AddNotes(frames, findings, index, image_folder, row);
}

}  // namespace

bool FramesCsv(const FrameStore& frames, const SurveyFindings& findings,
               const std::string& image_folder,
               const std::function<bool(const std::string&)>& write) {
  std::string chunk = kHeader;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    AddRow(frames, findings, i, image_folder, &chunk);
    if (chunk.size() >= kChunk) {
      if (!write(chunk)) return false;
      chunk.clear();
    }
  }
  return write(chunk);
}

bool WriteFramesCsv(const FrameStore& frames, const SurveyFindings& findings,
                    const std::string& image_folder, const std::string& output_folder,
                    std::string* error) {
  // As the page: a link of this name is replaced, never written through.
  // Its rows end in CR LF on every system already.
  platform::ReplacementHandle table = platform::BeginReplace(
      platform::JoinPath(output_folder, kFramesCsvName), platform::LinkPolicy::kReplaceLink, error,
      platform::LineEnds::kAsGiven);
  if (!table) return false;
  // A failed append stops the rows; the finish then says why, and leaves
  // no temporary file.
  FramesCsv(frames, findings, image_folder, [&table](const std::string& chunk) {
    return platform::AppendToReplacement(*table, chunk.data(), chunk.size());
  });
  return platform::FinishReplace(std::move(table), error) != platform::ReportWrite::kFailed;
}
