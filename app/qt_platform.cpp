#include "app/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QShortcut>

namespace ezg {

void QtPlatform::messageBox(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationName),
                  QString::fromUtf8(text), QMessageBox::Ok, window_);
  // Ctrl+C copies the message, so a user can paste it into a report.
  const QShortcut copy(QKeySequence::Copy, &box, [&box] { QGuiApplication::clipboard()->setText(box.text()); });
  box.exec();
}

void QtPlatform::setPointer(Pointer pointer) {
  if (!window_) return;
  if (pointer == Pointer::Hourglass)
    window_->setCursor(Qt::WaitCursor);
  else
    window_->unsetCursor();
}

void QtPlatform::pumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

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
