// A run of all four checks opens each frame once: the later checks take
// what the first one read, and the report page opens again only the
// reported frames whose thumbnail it shows. Every open is counted, by
// strace: the kernel's notices of opens merge two of one file that come
// back to back, so a frame opened twice in a row would count once. The
// frames are dropped from the cache first, as on a card just put in, so
// that the run reads them on its reader threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

void WriteUncached(const std::string& path, const testsupport::Bytes& bytes) {
  testsupport::WriteFile(path, bytes);
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  fdatasync(fd);  // only pages on disk can be dropped
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

TEST(ReadOnce, FourChecksOpenEachFrameOnceAndThePageItsThumbnailsOnce) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "strace is not installed (scripts/setup.sh installs it)";
  }
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  // Frames reported without a position, one of them with a thumbnail the
  // page shows; the rest are all alike.
  const std::map<std::string, int> expected = {
      {"a.jpg", 1}, {"b.jpg", 1}, {"c.jpg", 1}, {"no-gps.jpg", 1}, {"thumb-no-gps.jpg", 2}};
  for (const auto& name : expected) {
    testsupport::SurveyFrame frame;
    if (name.first.find("no-gps") != std::string::npos) frame.gps = std::nullopt;
    testsupport::TiffLayout layout = testsupport::SurveyLayout(frame);
    if (name.first == "thumb-no-gps.jpg") {
      layout.ifd1 = std::vector<testsupport::TiffEntry>{};
      layout.thumbnail = testsupport::JpegFile({testsupport::Soi(), testsupport::Eoi()});
    }
    WriteUncached(images + "/" + name.first, testsupport::JpegWithExif(layout));
  }
  testsupport::WriteFile(dir.Join("settings.ini"), "a=true\nb=true\nc=true\nd=true\ne=" + images +
                                                       "\nf=" + dir.Join("out") + "\n");
  const std::string log = dir.Join("opens.log");
  testsupport::ToolOptions options;
  options.wrapper = {"strace", "-f", "-qq", "-e", "trace=open,openat", "-o", log};
  // The leak check of a sanitizer build cannot run under strace.
  options.env = {{"ASAN_OPTIONS", "detect_leaks=0"}};
  const testsupport::ToolRun run = testsupport::RunTool({dir.Join("settings.ini")}, options);
  EXPECT_EQ(run.status, 1) << run.err;

  std::map<std::string, int> opens;
  std::ifstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find("\"" + images + "/");
    if (at == std::string::npos) continue;
    const std::size_t name = at + images.size() + 2;
    const std::size_t end = line.find('"', name);
    if (end != std::string::npos) ++opens[line.substr(name, end - name)];
  }
  for (const auto& name : expected) EXPECT_EQ(opens[name.first], name.second) << name.first;
  EXPECT_EQ(opens.size(), expected.size());
}

}  // namespace
