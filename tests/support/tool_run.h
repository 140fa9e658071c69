// Runs the built exifcheck binary as a user would, capturing its standard
// output, standard error and exit status byte for byte.
#ifndef EXIFCHECK_TESTS_SUPPORT_TOOL_RUN_H_
#define EXIFCHECK_TESTS_SUPPORT_TOOL_RUN_H_

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ToolRun {
  int status = -1;  // exit status; -1 when the tool did not exit normally
  std::string out;  // standard output, as written
  std::string err;  // standard error
};

struct ToolOptions {
  std::string working_folder;                            // empty: the test's own
  std::vector<std::pair<std::string, std::string>> env;  // added or replaced
  std::vector<std::string> unset_env;                    // removed
  // POSIX, when the tests run as root: run as the user "nobody", for whom
  // permissions still count. Ignored elsewhere.
  bool unprivileged = false;
  // POSIX: a command that runs the tool (strace and its options, say),
  // found on the PATH, with the tool and its arguments after it.
  std::vector<std::string> wrapper;
};

/// Runs exifcheck with `args` (the program name is added) and no input.
ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options = {});

/// The path of the exifcheck binary under test.
std::string ToolPath();

/// The line end of the tool's console output on this system.
extern const char kConsoleLineEnd[];

/// Joins `lines`, each followed by the console line end.
std::string ConsoleLines(const std::vector<std::string>& lines);

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_TOOL_RUN_H_
