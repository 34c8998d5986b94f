#include <QApplication>

#include "app/form1.h"
#include "app/qt_platform.h"
#include "app/unix_signals.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The name is also every message box's title. No display name: Qt would
  // append it to the caption.
  QApplication::setApplicationName(QString::fromUtf8(ezg::kApplicationName));

  ezg::QtPlatform platform;
  ezg::Form1 form(platform);
  platform.setWindow(&form);
  if (!form.startUp()) return 0;
  // A termination or hang-up is a close request like any other: the run
  // log is saved and a running split finishes its files.
  ezg::UnixSignals closeOnSignal([&form] { form.close(); });
  form.show();
  return QApplication::exec();
}
