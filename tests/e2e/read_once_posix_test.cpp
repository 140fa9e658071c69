// A run of all four checks opens each frame once: the later checks take
// what the first one read. Counted by the kernel's own notice of each open.
// The frames are dropped from the cache first, as on a card just put in,
// so that the run reads them on its reader threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <string>

#include "support/jpeg_writer.h"
#include "support/test_files.h"
#include "support/tool_run.h"

namespace {

TEST(ReadOnce, FourChecksOpenEachFrameOnce) {
  testsupport::ScopedTempDir dir;
  const std::string images = dir.Join("images");
  testsupport::SurveyFrame frame;
  std::map<std::string, int> opens = {{"a.jpg", 0}, {"b.jpg", 0}, {"no-gps.jpg", 0}};
  for (const auto& name : opens) {
    if (name.first == "no-gps.jpg") frame.gps = std::nullopt;  // reported: error.json is written
    const std::string path = images + "/" + name.first;
    testsupport::WriteFile(path, testsupport::MakeSurveyJpeg(frame));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    fdatasync(fd);  // only pages on disk can be dropped
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
  }
  testsupport::WriteFile(dir.Join("settings.ini"), "a=true\nb=true\nc=true\nd=true\ne=" + images +
                                                       "\nf=" + dir.Join("out") + "\n");
  const int notices = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(notices, 0);
  ASSERT_GE(inotify_add_watch(notices, images.c_str(), IN_OPEN), 0);

  const testsupport::ToolRun run = testsupport::RunTool({dir.Join("settings.ini")});
  EXPECT_EQ(run.status, 1) << run.err;

  alignas(inotify_event) char buffer[4096];
  ssize_t got = 0;
  while ((got = read(notices, buffer, sizeof buffer)) > 0) {
    for (char* p = buffer; p < buffer + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0 && (event->mask & IN_ISDIR) == 0) ++opens[event->name];
      p += sizeof(inotify_event) + event->len;
    }
  }
  close(notices);
  for (const auto& name : opens) EXPECT_EQ(name.second, 1) << name.first;
}

}  // namespace
