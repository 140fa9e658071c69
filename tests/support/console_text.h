// The pieces the tests build expected console output from: the numbered
// lines, the all-clear message as lines, and lists of lines joined.
#ifndef EXIFCHECK_TESTS_SUPPORT_CONSOLE_TEXT_H_
#define EXIFCHECK_TESTS_SUPPORT_CONSOLE_TEXT_H_

#include <string>
#include <vector>

#include "checks/messages.h"

namespace testsupport {

/// `prefix` followed by `n`, as the checks number their lines.
inline std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

/// The all-clear message as console lines: it carries its own line feeds
/// before and after, so it shows as an empty line, the text, an empty line.
inline std::vector<std::string> AllClearLines() {
  const std::string message = kAllClearMessage;
  return {"", message.substr(1, message.size() - 2), ""};
}

/// `lines` followed by `more`.
inline std::vector<std::string> Joined(std::vector<std::string> lines,
                                       const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

/// Lines as GoogleTest gives back captured output: read in text mode, so
/// each ends in "\n" on every system.
inline std::string CapturedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_CONSOLE_TEXT_H_
