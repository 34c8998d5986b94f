// Saves the window's icon as a PNG for the application menu.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "app/qt/form1_window.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon FILE.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return ezg::makeAppIcon().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
