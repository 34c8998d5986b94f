// Window tests need one QApplication for the whole test program.
#pragma once

#include <QApplication>

namespace ezg::testing {

inline QApplication& qtApp() {
  static int argc = 1;
  static char name[] = "ezgitar-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
  return app ? *app : *static_cast<QApplication*>(QApplication::instance());
}

}  // namespace ezg::testing
