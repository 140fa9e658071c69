// A locale that writes a decimal comma, made global for the life of the
// object, as the tool makes the user's locale global at its start.
#ifndef EXIFCHECK_TESTS_REPORT_COMMA_LOCALE_H_
#define EXIFCHECK_TESTS_REPORT_COMMA_LOCALE_H_

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

namespace testsupport {

class CommaLocale {
 public:
  CommaLocale() : cpp_(std::locale()), c_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de-DE", "German_Germany.1252"}) {
      if (std::setlocale(LC_ALL, name) == nullptr) continue;
      try {
        std::locale::global(std::locale(name));
      } catch (const std::runtime_error&) {
        // MinGW's C++ runtime knows only the classic locale; the C one is set.
      }
      active_ = *std::localeconv()->decimal_point == ',';
      return;
    }
  }
  ~CommaLocale() {
    std::locale::global(cpp_);
    std::setlocale(LC_ALL, c_.c_str());
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  /// Whether the system had such a locale; tests skip when not.
  bool active() const { return active_; }

 private:
  std::locale cpp_;
  std::string c_;
  bool active_ = false;
};

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_REPORT_COMMA_LOCALE_H_
