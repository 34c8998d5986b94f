#include <QApplication>

#include "app/form1.h"
#include "app/qt_platform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ezgitar"));
  QApplication::setApplicationDisplayName(QStringLiteral("Ezgitar"));

  ezg::QtPlatform platform;
  ezg::Form1 form(platform);
  platform.setWindow(&form);
  if (!form.startUp()) return 0;
  form.show();
  return QApplication::exec();
}
