// The window on Qt Widgets: the controls, fonts, painting and icon. It shows
// what Form1 sets and hands clicks, keys and close requests to it.
#pragma once

#include <QFrame>
#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "app/form1.h"
#include "app/view.h"

class QMessageBox;

namespace ezg {

// A picture box: a drawing surface that paints itself.
class PictureBox : public QWidget {
 public:
  explicit PictureBox(QWidget* parent) : QWidget(parent) {}
  QImage& surface() { return surface_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage surface_;
};

class Form1Window : public QWidget, public View {
 public:
  explicit Form1Window(Platform& platform);

  Form1& form() { return form_; }

  // Controls, named as the design names them.
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QFrame* Frame_MID;
  QListWidget* List_MID;
  QListWidget* File_MID;
  PictureBox* Picture1;
  PictureBox* Picture2;

  // View.
  using QWidget::setVisible;
  void setCaption(const std::string& text) override;
  void place(Control control, const Place& where) override;
  void setVisible(Control control, bool visible) override;
  void setBackColour(Control control, Colour colour) override;
  void setListEntry(int index, const std::string& name) override;
  int selectedIndex() override;
  void copyStrip(int sourceRow, Repaint repaint) override;
  void setPointer(Pointer pointer) override;
  void messageBox(const std::string& text) override;
  void endMessageBox() override;
  void pumpEvents() override;
  void closeWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* widget(Control control);

  std::array<QWidget*, kControlCount> widgets_{};  // by Control
  QPointer<QMessageBox> box_;
  bool closed_ = false;
  Form1 form_;  // calls on its view from start-up on
};

// The window's 64 x 64, 32-bit icon, as every shell draws it.
QImage makeAppIcon();

}  // namespace ezg
