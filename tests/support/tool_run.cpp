// The parts of the tool runner that are the same on every system.
#include "support/tool_run.h"

namespace testsupport {

std::string ConsoleLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kConsoleLineEnd;
  return text;
}

}  // namespace testsupport
