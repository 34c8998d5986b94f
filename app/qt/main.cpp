#include <QApplication>

#include "app/qt/form1_window.h"
#include "app/qt/qt_platform.h"
#include "app/qt/unix_signals.h"

int main(int argc, char** argv) {
  // An interrupt, termination or hang-up is a close request like any other,
  // from the very start: the run log is saved, a running split finishes its
  // files, and a message box, start-up's too, waits for nobody.
  ezg::holdCloseSignals();
  QApplication app(argc, argv);
  // The name is also every message box's title. No display name: Qt would
  // append it to the caption.
  QApplication::setApplicationName(QString::fromUtf8(ezg::kApplicationName));

  ezg::QtPlatform platform;
  ezg::Form1Window window(platform);
  ezg::UnixSignals closeOnSignal([&window] { window.form().closeRequest(ezg::CloseFrom::Signal); });
  if (!window.form().startUp()) return 0;
  window.show();
  return QApplication::exec();
}
