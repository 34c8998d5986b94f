// The desktop half of the platform over Qt Widgets.
#pragma once

#include <QLocale>
#include <QPointer>
#include <QWidget>

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

  // The window whose pointer changes and that owns the message boxes.
  void setWindow(QWidget* window) { window_ = window; }

  void messageBox(const std::string& text) override;
  void setPointer(Pointer pointer) override;
  void pumpEvents() override;
  char decimalSeparator() override;
  std::string programFolder() override;

 private:
  QPointer<QWidget> window_;
  std::string programFolder_;
};

}  // namespace ezg
