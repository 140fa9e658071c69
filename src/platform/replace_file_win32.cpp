// Windows: error.json replaced through a temporary file beside it.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for ReplaceFileA; ours is a function.
#undef ReplaceFile

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {

namespace {

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length)
                                                      : "system error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  const std::string target = path.c_str();
  // The process id keeps two runs that share an output folder apart.
  const std::string temp = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  std::FILE* file = std::fopen(temp.c_str(), "wt");
  if (file == nullptr) {
    *error = "cannot create a file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + temp + ": " + std::strerror(written ? errno : write_errno);
    std::remove(temp.c_str());
    return false;
  }
  if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    *error = "cannot replace " + target + ": " + SystemMessage(GetLastError());
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
