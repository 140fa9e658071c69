// What only a POSIX image folder holds: sockets, files and folders the user
// may not open, trees deeper than any Windows path. The run always completes
// and checks every other image.
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

TEST(BadFolder, SocketIsNumberedButSkipped) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  testsupport::WriteFile(platform::JoinPath(images, "a.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  const std::string socket_path = platform::JoinPath(images, "sock");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  listen(fd, 1);

  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images);
  close(fd);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ConsoleLines(Joined(Joined(RunHead(dir, images, 2), {"24", "1", ""}),
                                         badfolder::AllClearLines())));
}

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

// Root opens every file, so as root the tool runs as "nobody" for this.
TEST(BadFolder, UnreadableFileIsNumberedButSkippedSilently) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const std::string locked = badfolder::WriteFramesAround(images, "b-locked.jpg");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  testsupport::ToolOptions as_user;
  as_user.unprivileged = true;

  const testsupport::ToolRun run = badfolder::RunFocalCheck(dir, images, as_user);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, ConsoleLines(Joined(Joined(RunHead(dir, images, 3), {"24", "2", ""}),
                                         badfolder::AllClearLines())));
  EXPECT_EQ(run.err, "");
}

}  // namespace
