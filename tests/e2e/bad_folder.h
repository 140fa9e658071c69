// The runs of the bad-folder tests: only the focal-length check on, so a
// good frame's key is "24" and anything unreadable stands out in the counts;
// or all four, to see that an unreadable file is named once per run.
#ifndef EXIFCHECK_TESTS_E2E_BAD_FOLDER_H_
#define EXIFCHECK_TESTS_E2E_BAD_FOLDER_H_

#include <string>
#include <vector>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/console_text.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace badfolder {

using testsupport::AllClearLines;
using testsupport::Joined;

inline std::vector<std::string> FocalSettings(const testsupport::ScopedTempDir& dir,
                                              const std::string& images, bool all = false) {
  const std::string others = all ? "true" : "off";
  return {"a=true",      "b=" + others, "c=" + others,
          "d=" + others, "e=" + images, "f=" + dir.Join("out")};
}

inline testsupport::ToolRun RunFocalCheck(const testsupport::ScopedTempDir& dir,
                                          const std::string& images,
                                          const testsupport::ToolOptions& options = {},
                                          bool all = false) {
  std::string text;
  for (const std::string& line : FocalSettings(dir, images, all)) text += line + "\n";
  testsupport::WriteFile(dir.Join("settings.ini"), text);
  return testsupport::RunTool({dir.Join("settings.ini")}, options);
}

inline testsupport::ToolRun RunAllChecks(const testsupport::ScopedTempDir& dir,
                                         const std::string& images,
                                         const testsupport::ToolOptions& options = {}) {
  return RunFocalCheck(dir, images, options, true);
}

// How often `text` stands in `within`.
inline int Occurrences(const std::string& within, const std::string& text) {
  int count = 0;
  for (auto at = within.find(text); at != std::string::npos; at = within.find(text, at + 1)) {
    ++count;
  }
  return count;
}

// The console lines of a run of all four checks over `count` images of
// which `good` are survey frames and the rest could not be read, the
// settings and any scan messages left out: each check's header, numbers
// and the good frames' one group; the GPS check groups none of them.
inline std::vector<std::string> AllChecksOverGoodFrames(int count, int good) {
  std::vector<std::string> lines;
  for (const char* key : {"4000*3000", "SurveyCam", "24", ""}) {
    lines.push_back("");
    lines.push_back("The number of images: " + std::to_string(count));
    for (int i = 1; i <= count; ++i) lines.push_back(testsupport::Numbered(kImageSequence, i));
    if (*key != '\0') {
      lines.insert(lines.end(), {key, std::to_string(good), ""});
    }
  }
  return lines;
}

// The console lines of such a run up to the first group: the echo, the
// settings, the count and the number of each of `count` images.
inline std::vector<std::string> RunHead(const testsupport::ScopedTempDir& dir,
                                        const std::string& images, int count) {
  std::vector<std::string> lines{dir.Join("settings.ini")};
  for (const std::string& line : FocalSettings(dir, images)) lines.push_back(line);
  lines.push_back("");
  lines.push_back("The number of images: " + std::to_string(count));
  for (int i = 1; i <= count; ++i) lines.push_back(testsupport::Numbered(kImageSequence, i));
  return lines;
}

// A frame without its 35 mm focal length: key "0", always reported.
inline testsupport::Bytes NoFocalJpeg() {
  testsupport::SurveyFrame frame;
  frame.focal_35mm = 0;
  return testsupport::MakeSurveyJpeg(frame);
}

// Three frames: two good ones, one big enough to be mapped and one read
// plainly, and between them `blocked`, which would be reported were it read.
// Returns the path of `blocked`, for the test to make it unreadable.
inline std::string WriteFramesAround(const std::string& images, const std::string& blocked) {
  testsupport::Bytes big = testsupport::MakeSurveyJpeg(testsupport::SurveyFrame());
  big.resize(big.size() + 256 * 1024);  // bytes after the end marker change nothing
  testsupport::WriteFile(platform::JoinPath(images, "a.jpg"), big);
  const std::string path = platform::JoinPath(images, blocked);
  testsupport::WriteFile(path, NoFocalJpeg());
  testsupport::WriteFile(platform::JoinPath(images, "c.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  return path;
}

}  // namespace badfolder

#endif  // EXIFCHECK_TESTS_E2E_BAD_FOLDER_H_
