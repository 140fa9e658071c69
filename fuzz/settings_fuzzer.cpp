// Any bytes at all as the content of the settings file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings_file.h"

namespace {
// One file per fuzzing process, so parallel jobs do not share it.
const std::string& SettingsPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
           "/exifcheck_settings_fuzz." + std::to_string(getpid());
  }();
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(SettingsPath().c_str(), "wb");
  if (file == nullptr) std::abort();  // a harness that cannot write tests nothing
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  SettingsTable table;
  if (!ReadSettingsFile(SettingsPath(), table)) std::abort();
  std::remove(SettingsPath().c_str());
  return 0;
}
