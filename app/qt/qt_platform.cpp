#include "app/qt/qt_platform.h"

#include <QCoreApplication>
#include <QFile>

namespace ezg {

char decimalSeparatorOf(const QLocale& locale) {
  QString point = locale.decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 0x80) return static_cast<char>(point.at(0).unicode());
  return '.';
}

char QtPlatform::decimalSeparator() { return decimalSeparatorOf(QLocale()); }

std::string QtPlatform::programFolder() {
  if (!programFolder_.empty()) return programFolder_;
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

}  // namespace ezg
