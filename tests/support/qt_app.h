// One QApplication per test program, made by the first test that needs it.
#pragma once

#include <QApplication>

namespace ezg::testing {

inline void qtApp() {
  static int argc = 1;
  static char name[] = "ezgitar-tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

}  // namespace ezg::testing
