// What a real image folder holds besides images: sockets, odd names, deep
// trees, many files. The run always completes and checks every image.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "checks/messages.h"
#include "platform/platform.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

testsupport::ToolRun RunFocalCheck(const testsupport::ScopedTempDir& dir, const std::string& images) {
  const std::string settings = dir.Join("settings.ini");
  testsupport::WriteFile(settings, "a=true\nb=off\nc=off\nd=off\ne=" + images + "\nf=" +
                                       dir.Join("out") + "\n");
  return testsupport::RunTool({settings});
}

TEST(BadFolder, SocketAndOddNamesNeverStopTheRun) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  const testsupport::Bytes jpeg = testsupport::MakeSurveyJpeg(testsupport::SurveyFrame());
  testsupport::SurveyFrame missing;
  missing.focal_35mm = 0;
  const char* names[] = {"with space.jpg", "quote\".jpg", "back\\slash.jpg", "-leading-dash.jpg",
                         "\xd3\xb0\xcf\xf1.jpg"};
  for (const char* name : names) testsupport::WriteFile(platform::JoinPath(images, name), jpeg);
  testsupport::WriteFile(platform::JoinPath(images, "\xd3\xb0 no focal.jpg"),
                         testsupport::MakeSurveyJpeg(missing));

  const std::string socket_path = platform::JoinPath(images, "sock");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  listen(fd, 1);

  const testsupport::ToolRun run = RunFocalCheck(dir, images);
  close(fd);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(testsupport::ConsoleLines({"24", "5", ""})), std::string::npos) << run.out;
  // The socket is numbered but skipped: no "error" group.
  EXPECT_NE(run.out.find(std::string(kImageSequence) + "7"), std::string::npos);
  EXPECT_EQ(run.out.find(testsupport::ConsoleLines({"error"})), std::string::npos);
  const std::string report = testsupport::ReadFile(platform::JoinPath(dir.Join("out"), "error.json"));
  EXPECT_NE(report.find("\"images\":[\"\xd3\xb0 no focal.jpg\"]"), std::string::npos) << report;
}

TEST(BadFolder, DeepTreeAndManyFiles) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  std::string deep = images;
  for (int level = 0; level < 200; ++level) deep = platform::JoinPath(deep, "d");
  testsupport::WriteFile(platform::JoinPath(deep, "deep.jpg"),
                         testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  const std::string many = platform::JoinPath(images, "many");
  testsupport::MakeFolders(many);
  for (int i = 0; i < 20000; ++i) {
    testsupport::WriteFile(platform::JoinPath(many, "f" + std::to_string(100000 + i)), "");
  }
  const testsupport::ToolRun run = RunFocalCheck(dir, images);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(testsupport::ConsoleLines({"The number of images: 20001"})), std::string::npos);
  EXPECT_NE(run.out.find(testsupport::ConsoleLines({"24", "1", "", "error", "20000", ""})),
            std::string::npos);
  EXPECT_EQ(run.err, "");
}

}  // namespace
