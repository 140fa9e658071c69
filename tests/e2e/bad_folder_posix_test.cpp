// What only a POSIX image folder holds: FIFOs, sockets, broken links, files
// and folders the user may not open, trees deeper than any Windows path. The
// run always completes, checks every other image, and names what it could
// not check.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "e2e/bad_folder.h"
#include "platform/platform.h"
#include "support/jpeg_writer.h"

namespace {

using badfolder::Joined;
using badfolder::RunHead;
using testsupport::ConsoleLines;

TEST(BadFolder, TwoHundredLevelsDeep) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  std::string deep = images;
  for (int level = 0; level < 200; ++level) deep = platform::JoinPath(deep, "d");
  testsupport::WriteFile(platform::JoinPath(deep, "deep.jpg"), badfolder::NoFocalJpeg());
  for (const char* name : {"a.jpg", "b.jpg"}) {
    testsupport::WriteFile(platform::JoinPath(images, name),
                           testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  }
  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.out.find(ConsoleLines({"0", "1", "", kGroupErrorCount + std::string("1"),
                                 kErrorImageSequence + std::string("1"),
                                 kMismatchFileName + std::string("deep.jpg"), "24", "2", ""})),
      std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");
}

// Every kind of entry a check cannot read, beside two good frames: each is
// numbered on the console but in no group, named once on standard error
// though four checks meet it, and the run ends with status 4 under the
// all-clear message. Root opens every file, so as root the tool runs as
// "nobody" for this.
TEST(BadFolder, EveryUnreadableEntryIsNamedOnceAndTheStatusIsFour) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const auto in = [&images](const std::string& name) { return platform::JoinPath(images, name); };
  testsupport::Bytes big = testsupport::MakeSurveyJpeg(testsupport::SurveyFrame());
  big.resize(big.size() + 256 * 1024);  // read as head and tail
  testsupport::WriteFile(in("a.jpg"), big);
  testsupport::WriteFile(in("z.jpg"), testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  ASSERT_EQ(mkfifo(in("b-fifo.jpg").c_str(), 0666), 0);
  ASSERT_EQ(chmod(in("b-fifo.jpg").c_str(), 0666), 0);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(in("c-sock").size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, in("c-sock").c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(symlink(dir.Join("nowhere").c_str(), in("d-broken.jpg").c_str()), 0);
  testsupport::WriteFile(in("e-locked.jpg"), badfolder::NoFocalJpeg());
  ASSERT_EQ(chmod(in("e-locked.jpg").c_str(), 0), 0);
  testsupport::WriteFile(platform::JoinPath(in("f-locked"), "g.jpg"), badfolder::NoFocalJpeg());
  ASSERT_EQ(chmod(in("f-locked").c_str(), 0), 0);
  testsupport::ToolOptions as_user;
  as_user.unprivileged = true;

  const testsupport::ToolRun run = badfolder::RunAllChecks(dir, images, as_user);
  close(fd);
  EXPECT_EQ(run.status, 4) << run.err;
  std::vector<std::string> expected{dir.Join("settings.ini")};
  expected = Joined(expected, badfolder::FocalSettings(dir, images, true));
  expected.push_back("can not found the file ... ");
  expected = Joined(expected, badfolder::AllChecksOverGoodFrames(6, 2));
  EXPECT_EQ(run.out, ConsoleLines(Joined(expected, badfolder::AllClearLines())));
  const struct {
    const char* name;
    const char* reason;
  } named[] = {
      {"b-fifo.jpg", "a FIFO"},
      {"c-sock", "a socket"},
      {"d-broken.jpg", "a link to nothing"},
      {"e-locked.jpg", "cannot be opened: Permission denied"},
      {"f-locked", "the folder cannot be listed (Permission denied)"},
  };
  for (const auto& n : named) {
    EXPECT_EQ(badfolder::Occurrences(run.err, "not checked: " + in(n.name) + ": " + n.reason), 1)
        << n.name << "\n"
        << run.err;
  }
  EXPECT_EQ(badfolder::Occurrences(run.err, "not checked"), 5) << run.err;
  EXPECT_NE(run.err.find("4 files and 1 folder"), std::string::npos) << run.err;
}

}  // namespace
