// POSIX process runner for the end-to-end tests.
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/test_files.h"
#include "support/tool_run.h"

namespace testsupport {

const char kConsoleLineEnd[] = "\n";

std::string ToolPath() { return EXIFCHECK_BINARY; }

namespace {
constexpr uid_t kNobody = 65534;
}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
  ScopedTempDir capture;
  const std::string out_path = capture.Join("stdout");
  const std::string err_path = capture.Join("stderr");
  std::string tool = ToolPath();
  const bool drop_root = options.unprivileged && geteuid() == 0;
  if (drop_root) {
    // The build folder may lie where "nobody" cannot go; a copy here it can run.
    const std::string copy = capture.Join("exifcheck");
    std::filesystem::copy_file(tool, copy);
    tool = copy;
  }

  std::vector<std::string> argv_text = options.wrapper;
  argv_text.push_back(tool);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) _exit(126);
    for (const std::string& name : options.unset_env) unsetenv(name.c_str());
    for (const auto& var : options.env) setenv(var.first.c_str(), var.second.c_str(), 1);
    if (drop_root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(126);
    }
    execvp(argv_text[0].c_str(), argv.data());
    _exit(127);
  }
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
  }
  ToolRun run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

}  // namespace testsupport
