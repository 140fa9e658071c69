// Every argument reaches the tool as given and is echoed byte for byte,
// however a command line has to quote it on the way.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(ArgumentEcho, BlanksQuotesAndBackslashesArriveUnchanged) {
  testsupport::ScopedTempDir dir;
  // A settings path with a blank in it, then the extras the tool only echoes.
  const std::string missing = dir.Join("no such settings.ini");
  const std::vector<std::string> extras = {
      "",       "two words", "\"quoted\"",        "trailing\\", "trailing blank\\",
      "a\\\"b", "a\\\\\"b",  "\\\\server\\share", "tab\there",  " lead",
  };
  std::vector<std::string> args = {missing};
  std::vector<std::string> echoed = {missing};
  for (const std::string& extra : extras) {
    args.push_back(extra);
    echoed.push_back("");
    echoed.push_back(extra);
  }
  echoed.push_back("open file failed!");
  const testsupport::ToolRun run = testsupport::RunTool(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, testsupport::ConsoleLines(echoed));
}

}  // namespace
