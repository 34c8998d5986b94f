// The program folder and the user's number format, from Qt; files, folders
// and clock are the POSIX ones.
#pragma once

#include <QLocale>

#include "app/platform.h"

namespace ezg {

// The locale's decimal point when it is one ASCII character, else '.'.
char decimalSeparatorOf(const QLocale& locale);

// The application's name, and so the default title of its message boxes.
inline constexpr const char* kApplicationName = "Ezgitar";

class QtPlatform final : public FsPlatform {
 public:
  // An empty folder means the folder that holds the executable.
  explicit QtPlatform(std::string programFolder = {}) : programFolder_(std::move(programFolder)) {}

  char decimalSeparator() override;
  std::string programFolder() override;

 private:
  std::string programFolder_;
};

}  // namespace ezg
