// Windows process runner for the end-to-end tests, and the one place that
// knows how the Windows build's console output differs.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "support/test_files.h"
#include "support/tool_run.h"

namespace testsupport {

// Standard output is in text mode: every line feed goes out as CR LF.
const char kConsoleLineEnd[] = "\r\n";

// exifcheck.exe is built beside the test binary. The path CMake knows is
// the build machine's, which a Windows process may not be able to open.
std::string ToolPath() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) throw std::runtime_error("cannot find the test binary");
  std::string path(self, length);
  return path.substr(0, path.find_last_of("\\/") + 1) + "exifcheck.exe";
}

namespace {

// Quotes one argument so that the C runtime's command-line parser gives it
// back unchanged: backslashes are literal except before a double quote.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// This process's environment with the options applied, as the block that
// CreateProcess takes: NAME=value texts, each ended by a NUL, then a NUL.
std::string EnvironmentBlock(const ToolOptions& options) {
  std::vector<std::string> vars;
  char* const current = GetEnvironmentStringsA();
  for (const char* var = current; *var != '\0'; var += std::strlen(var) + 1) vars.push_back(var);
  FreeEnvironmentStringsA(current);
  // Names of variables are not case-sensitive on Windows; "=C:" entries
  // (the current folder per drive) start with '=' and are kept as they are.
  const auto drop = [&vars](const std::string& name) {
    vars.erase(std::remove_if(vars.begin(), vars.end(),
                              [&name](const std::string& var) {
                                return SameName(var.substr(0, var.find('=', 1)), name);
                              }),
               vars.end());
  };
  for (const std::string& name : options.unset_env) drop(name);
  for (const auto& var : options.env) {
    drop(var.first);
    vars.push_back(var.first + "=" + var.second);
  }
  std::string block;
  for (const std::string& var : vars) block += var + '\0';
  return block + '\0';
}

HANDLE OpenInherited(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  const HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  return handle;
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
  ScopedTempDir capture;
  const std::string out_path = capture.Join("stdout");
  const std::string err_path = capture.Join("stderr");
  const std::string tool = ToolPath();

  std::string command_line = QuoteArgument(tool);
  for (const std::string& arg : args) command_line += " " + QuoteArgument(arg);
  std::string environment = EnvironmentBlock(options);

  const HANDLE in = OpenInherited("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = OpenInherited(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = OpenInherited(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(
      tool.c_str(), &command_line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, &environment[0],
      options.working_folder.empty() ? nullptr : options.working_folder.c_str(), &startup,
      &process);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) throw std::runtime_error("cannot start " + tool);

  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  ToolRun run;
  // Crashes end a process with an NTSTATUS error code (0xC0000005 and the like).
  run.status = code >= 0xC0000000u ? -1 : static_cast<int>(code);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

}  // namespace testsupport
