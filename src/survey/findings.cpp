// The findings before processing, run in the order each needs the others:
// copies first, since every rule over positions and times leaves them out;
// then positions, times and flights; the lines last.
#include "survey/findings.h"

#include "survey/flights.h"
#include "survey/frame_rules.h"
#include "survey/lines.h"
#include "survey/positions.h"

namespace {

struct RuleText {
  const char* id;
  const char* en;
  const char* zh;
};

// In Finding order.
const RuleText kRules[kFindingCount] = {
    {"position_invalid",
     "Latitude beyond ±90°, longitude beyond ±180°, exactly 0/0, one of the two missing, or a "
     "reference letter missing or other than N/S (latitude) or E/W (longitude).",
     "纬度超出 ±90°、经度超出 ±180°、恰为 0/0、缺少其一，或方向字母缺失、"
     "不是 N/S（纬度）或 E/W（经度）。"},
    {"position_outlier",
     "Farther from its nearest neighbour than max(1 km, 10 × the survey's median "
     "nearest-neighbour spacing).",
     "离最近的另一张影像超过 max(1 km, 10 × 测区最近邻间距的中位数)。"},
    {"flight",
     "A new flight starts where the capture time jumps by more than max(60 s, 10 × the median "
     "interval) or the camera body changes; its first frame is named.",
     "拍摄时间跳变超过 max(60 s, 10 × 拍摄间隔中位数)或换了相机机身时开始新的架次；"
     "标出新架次的第一张影像。"},
    {"flight_altitude",
     "A flight whose median relative altitude (else GPS altitude) is more than 5 m from the "
     "survey's median; all its frames are named.",
     "架次的相对高度（没有时用 GPS 高度）中位数与测区中位数相差超过 5 m；标出该架次所有影像。"},
    {"camera_other",
     "Outside the largest group of frames with one camera model, body serial and lens.",
     "不属于相机型号、机身序列号和镜头都相同的最大一组影像。"},
    {"oblique",
     "In a survey that looks down (most gimbal pitches ≤ −80°): gimbal pitch above −80° up to "
     "−30°, or gimbal roll within 10° of ±180°.",
     "在垂直向下拍摄的测区（多数云台俯仰角 ≤ −80°）中，俯仰角高于 −80° 且不超过 −30°，"
     "或云台横滚角与 ±180° 相差不到 10°。"},
    {"horizon", "In a survey that looks down: gimbal pitch above −30°.",
     "在垂直向下拍摄的测区中，云台俯仰角高于 −30°。"},
    {"rtk_not_fixed",
     "RtkFlag below 50 (34 float, 16 single, 0 none), or RtkStdLon, RtkStdLat or RtkStdHgt "
     "above 0.1 m.",
     "RtkFlag 小于 50（34 浮点解，16 单点解，0 无），或 RtkStdLon、RtkStdLat、RtkStdHgt "
     "大于 0.1 m。"},
    {"no_time", "No DateTimeOriginal that reads as a date.",
     "没有可读的拍摄时间（DateTimeOriginal）。"},
    {"time_backwards", "Capture time earlier than that of the frame before it in its folder.",
     "拍摄时间早于同一文件夹中前一张影像。"},
    {"duplicate",
     "Same file size, capture time and EXIF segment (digest and length) as an earlier frame.",
     "文件大小、拍摄时间和 EXIF 段（摘要和长度）都与前面某张影像相同。"},
    {"gap_before",
     "Spacing to the frame before, within a line, more than 1.8 × the line's median spacing.",
     "在同一条航线内，与前一张影像的间距超过该航线间距中位数的 1.8 倍。"},
    {"gsd_outlier", "Ground sample distance more than 1.25 × the flight's median.",
     "地面分辨率（GSD）大于该架次中位数的 1.25 倍。"},
    {"low_overlap", "Forward overlap to the next frame of the line under 60 %.",
     "与航线上下一张影像的航向重叠度低于 60%。"},
    {"blur_risk",
     "Ground speed × ExposureTime more than 0.5 pixel of the frame's ground sample distance.",
     "地速 × 曝光时间超过 0.5 个像素（按该影像的地面分辨率）。"},
};

}  // namespace

const char* FindingName(Finding id) {
  const auto i = static_cast<std::size_t>(id);
  return i < kFindingCount ? kRules[i].id : "";
}

SurveyFindings FindBeforeProcessing(const std::vector<FrameFacts>& frames) {
  SurveyFindings out;
  out.frames.resize(frames.size());
  for (std::size_t i = 0; i < kFindingCount; ++i) {
    out.rules[i].id = FindingAt(i);
    out.rules[i].rule_en = kRules[i].en;
    out.rules[i].rule_zh = kRules[i].zh;
  }
  FindDuplicates(frames, &out);
  FindCameraGroups(frames, &out);
  FindOffNadir(frames, &out);
  FindRtk(frames, &out);
  const std::vector<std::optional<PlanePoint>> usable = FindPositionFaults(frames, &out);
  FindTimeFaults(frames, &out);
  FindFlights(frames, &out);
  FindLineFaults(frames, usable, &out);
  for (const FrameNotes& notes : out.frames) {
    for (std::size_t i = 0; i < kFindingCount; ++i) {
      if (Names(notes.findings, FindingAt(i))) ++out.rules[i].named;
    }
  }
  return out;
}
