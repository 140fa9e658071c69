// Temporary folders and files for tests; every test works below its own
// folder, never at an absolute path of the machine.
#ifndef EXIFCHECK_TESTS_SUPPORT_TEST_FILES_H_
#define EXIFCHECK_TESTS_SUPPORT_TEST_FILES_H_

#include <string>
#include <vector>

namespace testsupport {

/// A fresh folder under the system's temporary folder, removed with all its
/// contents when the object goes.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  /// path() joined with `relative` by the platform's separator.
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

/// Writes `content` to `path`, making missing parent folders.
void WriteFile(const std::string& path, const std::string& content);
void WriteFile(const std::string& path, const std::vector<unsigned char>& content);
/// The whole content of `path`, or an empty string when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void MakeFolders(const std::string& path);

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_TEST_FILES_H_
