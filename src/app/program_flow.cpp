// Program flow: the argument echo, the settings and their roles, the output
// folder, the scan, the enabled checks in their fixed order, and the report
// or the all-clear message.
#include "app/program_flow.h"

#include <fstream>
#include <iostream>
#include <locale>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "checks/check_findings.h"
#include "checks/consistency_checks.h"
#include "checks/messages.h"
#include "platform/platform.h"
#include "read/frame_store.h"
#include "report/error_report.h"
#include "report/frames_csv.h"
#include "report/report_page.h"
#include "scan/image_folder_scan.h"
#include "survey/findings.h"

namespace {

// Roles by position in ascending key order; key names are never looked at.
enum SettingRole {
  kFocalLengthSwitch = 0,
  kGpsSwitch = 1,
  kMakerSwitch = 2,
  kResolutionSwitch = 3,
  kImageFolder = 4,
  kOutputFolder = 5,
  kRoleCount = 6,
};

// A switch is on only for exactly these four bytes; the reader has trimmed
// the blanks around the value already.
bool SwitchOn(const std::string& value) { return value == "true"; }

void EchoArguments(int argc, char* argv[]) {
  std::cout << argv[1] << std::endl;
  for (int i = 2; i < argc; ++i) std::cout << std::endl << argv[i] << std::endl;
}

// The key that gave a role its value, for messages that must name it.
std::string KeyAt(const SettingsTable& table, int position) {
  auto it = table.begin();
  for (int i = 0; i < position && it != table.end(); ++i) ++it;
  return it == table.end() ? std::string() : it->first;
}

// A folder is handed to the system as a C string: a NUL byte ends it.
bool FolderTextEmpty(const std::string& value) { return std::string(value.c_str()).empty(); }

// With fewer than six values the roles have no source. An empty output
// folder would put error.json at the root of the drive, and an empty image
// folder would scan the root of the drive on Windows and nothing elsewhere:
// stop before anything is created or scanned.
bool SettingsUsable(const std::string& path, const SettingsTable& table,
                    const std::vector<std::string>& values) {
  if (values.size() < kRoleCount) {
    std::ostringstream message;
    message << "the settings file " << path << " holds " << values.size()
            << (values.size() == 1 ? " entry" : " entries")
            << "; six are needed (focal-length, GPS, maker and resolution switches, "
               "image folder, output folder, in ascending key order)";
    platform::Warn(message.str());
    return false;
  }
  if (FolderTextEmpty(values[kImageFolder])) {
    platform::Warn("the image folder (the fifth entry in key order, key \"" +
                   KeyAt(table, kImageFolder) + "\" in " + path +
                   ") is empty; nothing would be checked");
    return false;
  }
  if (FolderTextEmpty(values[kOutputFolder])) {
    platform::Warn("the output folder (the sixth entry in key order, key \"" +
                   KeyAt(table, kOutputFolder) + "\" in " + path +
                   ") is empty; error.json would land at the root of the drive");
    return false;
  }
  return true;
}

// The findings before processing read every frame the checks left unread
// (all of them when no check ran), without a word: only the checks tell
// what they could not check. Then the page and the table go beside
// error.json; neither changes the exit status.
void WriteSurveyFiles(const RunOnPage& page, FrameStore& frames, const std::string& output_folder) {
  frames.FetchAll();
  const SurveyFindings findings = FindBeforeProcessing(frames.facts());
  std::string page_error, table_error;
  const bool page_written = WriteReportPage(page, frames, findings, output_folder, &page_error);
  const bool table_written =
      WriteFramesCsv(frames, findings, page.image_folder, output_folder, &table_error);
  // A folder that takes neither is told once.
  if (!page_written && !table_written && page_error == table_error) {
    platform::Warn(std::string(kReportPageName) + " and " + kFramesCsvName +
                   " not written: " + page_error);
    return;
  }
  if (!page_written) platform::Warn(std::string(kReportPageName) + " not written: " + page_error);
  if (!table_written) platform::Warn(std::string(kFramesCsvName) + " not written: " + table_error);
}

// Told after the all-clear message, so that it stands under everything a
// long run printed.
void TellIncomplete(const ScanProblems& scan, const ReadProblems& reads, int status) {
  std::ostringstream message;
  message << "the all-clear covers only what was checked: " << reads.unread.size()
          << (reads.unread.size() == 1 ? " file" : " files") << " and " << scan.unlisted.size()
          << (scan.unlisted.size() == 1 ? " folder" : " folders") << " could not be, named above";
  if (status == kExitIncomplete) message << " (exit status 4)";
  platform::Warn(message.str());
}

// The last line of a run that a check's rule would otherwise pass as clean.
void TellDifferencesLeftOut(const std::vector<std::string>& checks) {
  std::string names;
  for (std::size_t i = 0; i < checks.size(); ++i) {
    if (i > 0) names += i + 1 == checks.size() ? " and " : ", ";
    names += checks[i];
  }
  platform::Warn("no image was reported, but the " + names +
                 (checks.size() == 1 ? " check leaves" : " checks leave") +
                 " differing groups out of error.json, named above; look at those groups on "
                 "the console (exit status 5)");
}

// Makes the user's default locale the global one, or the classic locale
// when the C++ runtime does not know the user's locale name.
void InstallUserLocale() {
  try {
    std::locale::global(std::locale(""));
  } catch (const std::runtime_error&) {
    // The C++ runtime does not know the user's locale name (always so with
    // MinGW's); the classic locale serves every text the tool writes.
    std::locale::global(std::locale::classic());
  }
  // Numbers on the console stay plain decimal under a grouping locale.
  std::cout.imbue(std::locale::classic());
  std::cerr.imbue(std::locale::classic());
}

int RunChecked(int argc, char* argv[]) {
  if (argc <= 1) {
    // Without a settings file nothing is checked, and a gate must not take
    // that for a clean survey (an unset variable in a batch file, say).
    std::cerr << "usage: exifcheck SETTINGS-FILE [ARGUMENTS ONLY ECHOED]" << std::endl;
    return kExitBadSettings;
  }

  EchoArguments(argc, argv);
  const std::string settings_path = argv[1];
  // Opened once and read from this stream. A folder opens as a stream on
  // POSIX but holds no settings: it is a file that cannot be opened.
  std::ifstream settings_file(settings_path.c_str());
  if (!settings_file.is_open() || platform::IsFolder(settings_path)) {
    std::cout << "open file failed!" << std::endl;
    return kExitReported;
  }

  SettingsTable settings;
  const bool read_to_end = ReadSettings(settings_file, settings);
  settings_file.close();
  std::vector<std::string> values;
  PrintSettings(settings, values);
  if (!read_to_end) {
    platform::Warn("the settings file " + settings_path + " could not be read to its end");
    return kExitBadSettings;
  }
  if (!SettingsUsable(settings_path, settings, values)) return kExitBadSettings;

  const bool focal_length_on = SwitchOn(values[kFocalLengthSwitch]);
  const bool gps_on = SwitchOn(values[kGpsSwitch]);
  const bool maker_on = SwitchOn(values[kMakerSwitch]);
  const bool resolution_on = SwitchOn(values[kResolutionSwitch]);
  const std::string image_folder = values[kImageFolder];
  const std::string output_folder = values[kOutputFolder];

  if (!platform::PathExists(output_folder)) platform::MakeFolder(output_folder);

  // The page and the table of an earlier run are no frames, should the
  // output folder lie inside the image folder.
  std::vector<OwnOutput> own;
  for (const char* name : {kReportPageName, kFramesCsvName}) {
    own.push_back({name, platform::IdentifyFile(platform::JoinPath(output_folder, name), false)});
  }
  ScanProblems scan;
  const ImageList images = ScanImageFolder(image_folder, &scan, own);
  if (!scan.folder_listed) {
    // Checks over an empty list would end in the all-clear message.
    platform::Warn("the image folder " + image_folder + " (key \"" + KeyAt(settings, kImageFolder) +
                   "\" in " + settings_path + ") cannot be listed: " + scan.folder_error +
                   "; nothing was checked");
    return kExitBadSettings;
  }

  CheckFindings findings;
  // Each frame is read once, by the first check that needs it; the later
  // checks take it from here. A frame changed during the run is seen by
  // every check as it was read.
  FrameStore frames(images);
  bool resolution_flag = false;
  bool maker_flag = false;
  bool focal_length_flag = false;
  bool gps_flag = false;
  RunOnPage page;
  page.image_folder = image_folder;
  page.folders_unlisted = scan.unlisted.size();
  std::vector<std::string> left_out;  // the checks that left differing groups unreported
  const auto ran = [&page, &left_out](const char* id, const char* name, CheckOutcome outcome) {
    if (outcome.left_out) left_out.push_back(name);
    page.checks.push_back({id, std::move(outcome)});
  };
  if (resolution_on) {
    ran("resolution", "resolution",
        CheckResolution(frames, findings[kResolutionFindings], resolution_flag));
  }
  if (maker_on) ran("maker", "maker", CheckMaker(frames, findings[kMakerFindings], maker_flag));
  if (focal_length_on) {
    ran("focal-length", "focal-length",
        CheckFocalLength(frames, findings[kFocalLengthFindings], focal_length_flag));
  }
  if (gps_on) ran("gps", "GPS", CheckGps(frames, findings[kGpsFindings], gps_flag));

  if (resolution_flag || maker_flag || focal_length_flag || gps_flag) {
    // Status 1 sends a caller to error.json: an old one left there must not
    // pass for this run's.
    page.status = WriteErrorReport(findings, output_folder) ? kExitReported : kExitReportUnwritten;
    if (page.status == kExitReportUnwritten) {
      platform::Warn(
          "images were reported, but error.json could not be written: their names are on the "
          "console above only, and an error.json in " +
          output_folder + " is from an earlier run (exit status 6)");
    }
    WriteSurveyFiles(page, frames, output_folder);
    return page.status;
  }
  std::cout << kAllClearMessage << std::endl;
  const ReadProblems& reads = frames.problems();
  const bool incomplete = !reads.unread.empty() || !scan.unlisted.empty();
  page.status = !left_out.empty() ? kExitDifferencesLeftOut
                : incomplete      ? kExitIncomplete
                                  : kExitAllClear;
  if (incomplete) TellIncomplete(scan, reads, page.status);
  if (!left_out.empty()) TellDifferencesLeftOut(left_out);
  WriteSurveyFiles(page, frames, output_folder);
  return page.status;
}

}  // namespace

int RunExifCheck(int argc, char* argv[]) {
  try {
    InstallUserLocale();
    return RunChecked(argc, argv);
  } catch (const std::bad_alloc&) {
    // An orderly end with a reason instead of an abort and a core dump.
    std::cout.flush();
    platform::Warn("out of memory; the run was stopped");
    return kExitOutOfMemory;
  }
}
