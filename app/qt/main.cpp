#include <QApplication>

#include "app/qt/form1_window.h"
#include "app/qt/qt_platform.h"
#include "app/qt/unix_signals.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The name is also every message box's title. No display name: Qt would
  // append it to the caption.
  QApplication::setApplicationName(QString::fromUtf8(ezg::kApplicationName));

  ezg::QtPlatform platform;
  ezg::Form1Window window(platform);
  if (!window.form().startUp()) return 0;
  // An interrupt, termination or hang-up is a close request like any other:
  // the run log is saved, a running split finishes its files, and a message
  // box waits for nobody.
  ezg::UnixSignals closeOnSignal([&window] { window.form().closeRequest(ezg::CloseFrom::Signal); });
  window.show();
  return QApplication::exec();
}
