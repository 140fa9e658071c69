// One run of the tool, from the command line to the exit status.
#ifndef EXIFCHECK_APP_PROGRAM_FLOW_H_
#define EXIFCHECK_APP_PROGRAM_FLOW_H_

/// Exit statuses: all images consistent (or nothing to do); images reported
/// or the settings file unopenable; settings the run cannot work with (an
/// image folder that cannot be listed among them, or no settings file named
/// at all); memory ran out; nothing reported, but files or folders that
/// could not be checked; and nothing reported, but a check left groups of
/// differing values out of the report; and images reported, but error.json
/// could not be written. A gate passes a survey only on 0.
constexpr int kExitAllClear = 0;
constexpr int kExitReported = 1;
constexpr int kExitBadSettings = 2;
constexpr int kExitOutOfMemory = 3;
constexpr int kExitIncomplete = 4;
constexpr int kExitDifferencesLeftOut = 5;
constexpr int kExitReportUnwritten = 6;

/// Runs the tool on its command line: argv[1] is the settings file, further
/// arguments are only echoed. Returns the exit status.
int RunExifCheck(int argc, char* argv[]);

#endif  // EXIFCHECK_APP_PROGRAM_FLOW_H_
