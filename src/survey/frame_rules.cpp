// Copies, camera groups, gimbal angle and RTK fix, frame by frame.
#include "survey/frame_rules.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "survey/stage.h"
#include "survey/survey_math.h"

namespace {

// What two frames must share to be the same capture. Frames without a
// capture time compare equal in that part: the segment decides.
auto CaptureKey(const FrameFacts& f) {
  const bool timed = f.time.has_value();
  return std::make_tuple(f.file_size, f.exif_size, f.exif_digest, timed,
                         timed ? f.time->clock_seconds : 0, timed ? f.time->nanoseconds : 0U);
}

bool OverStdLimit(const std::optional<double>& value) {
  return value.has_value() && *value > kRtkStdLimit;
}

}  // namespace

void FindDuplicates(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  using Keyed = std::pair<decltype(CaptureKey(FrameFacts())), std::size_t>;
  std::vector<Keyed> keyed;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].exif) keyed.emplace_back(CaptureKey(frames[i]), i);
  }
  if (keyed.empty()) {
    NoData(out, Finding::kDuplicate, "no frame was read", "没有读到任何影像的 EXIF");
    return;
  }
  HasData(out, Finding::kDuplicate);
  // Sorting brings equal captures together, the earliest first: no frame is
  // compared with more than its neighbours in this order.
  std::sort(keyed.begin(), keyed.end());
  std::size_t first = keyed[0].second;
  for (std::size_t k = 1; k < keyed.size(); ++k) {
    const std::size_t i = keyed[k].second;
    if (keyed[k].first != keyed[k - 1].first) {
      first = i;
      continue;
    }
    Name(out, i, Finding::kDuplicate);
    out->frames[i].duplicate_of = first;
  }
}

void FindCameraGroups(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  std::map<std::tuple<std::string, std::string, std::string>, std::size_t> group_of;
  std::vector<std::size_t> group_index(frames.size(), 0);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = frames[i];
    if (!f.exif) continue;
    const auto found =
        group_of.emplace(std::make_tuple(f.model, f.serial, f.lens), out->cameras.size());
    if (found.second) {
      CameraGroup group;
      group.model = f.model;
      group.serial = f.serial;
      group.lens = f.lens;
      group.first = i;
      out->cameras.push_back(group);
    }
    group_index[i] = found.first->second;
    ++out->cameras[found.first->second].frames;
  }
  if (out->cameras.empty()) {
    NoData(out, Finding::kCameraOther, "no frame was read", "没有读到任何影像的 EXIF");
    return;
  }
  HasData(out, Finding::kCameraOther);
  // Groups stand in order of their first frames: of equal ones, the first wins.
  std::size_t largest = 0;
  for (std::size_t g = 1; g < out->cameras.size(); ++g) {
    if (out->cameras[g].frames > out->cameras[largest].frames) largest = g;
  }
  out->cameras[largest].majority = true;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].exif && group_index[i] != largest) Name(out, i, Finding::kCameraOther);
  }
}

void FindOffNadir(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  std::size_t with_pitch = 0, looking_down = 0;
  for (const FrameFacts& f : frames) {
    if (!f.exif || !Finite(f.gimbal_pitch)) continue;
    ++with_pitch;
    if (*f.gimbal_pitch <= kNadirPitch) ++looking_down;
  }
  out->looks_down = looking_down * 2 > with_pitch;
  for (Finding id : {Finding::kOblique, Finding::kHorizon}) {
    if (with_pitch == 0) {
      NoData(out, id, "no frame carries a gimbal pitch (XMP)", "没有影像带有云台俯仰角（XMP）");
    } else if (!out->looks_down) {
      NoData(out, id, "most frames do not look straight down: an oblique survey is not judged",
             "多数影像不是垂直向下拍摄：倾斜摄影不做此项判断");
    } else {
      HasData(out, id);
    }
  }
  if (!out->looks_down) return;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = frames[i];
    if (!f.exif) continue;
    if (f.gimbal_pitch && *f.gimbal_pitch > kHorizonPitch) {
      Name(out, i, Finding::kHorizon);
    } else if ((f.gimbal_pitch && *f.gimbal_pitch > kNadirPitch) ||
               (f.gimbal_roll && std::fabs(*f.gimbal_roll) >= kTurnedOverRoll)) {
      Name(out, i, Finding::kOblique);
    }
  }
}

void FindRtk(const std::vector<FrameFacts>& frames, SurveyFindings* out) {
  std::map<int, std::size_t> counts;
  bool any = false;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = frames[i];
    if (!f.exif) continue;
    const bool has_std = f.rtk_std_lon || f.rtk_std_lat || f.rtk_std_hgt;
    if (!f.rtk_flag && !has_std) continue;
    any = true;
    if (f.rtk_flag) ++counts[*f.rtk_flag];
    if ((f.rtk_flag && *f.rtk_flag < kRtkFixed) || OverStdLimit(f.rtk_std_lon) ||
        OverStdLimit(f.rtk_std_lat) || OverStdLimit(f.rtk_std_hgt)) {
      Name(out, i, Finding::kRtkNotFixed);
    }
  }
  for (const auto& count : counts) out->rtk.push_back({count.first, count.second});
  if (any) {
    HasData(out, Finding::kRtkNotFixed);
  } else {
    NoData(out, Finding::kRtkNotFixed, "no frame carries RtkFlag or an RTK standard deviation",
           "没有影像带有 RtkFlag 或 RTK 标准差");
  }
}
