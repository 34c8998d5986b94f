// The Qt shell alone: the widgets it makes, the strip it paints, and the
// clicks and keys it hands to Form1. What Form1 decides is tested without Qt.
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include "app/qt/form1_window.h"
#include "tests/support/qt_app.h"
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

class Shell : public WindowTest {
 protected:
  void SetUp() override {
    qtApp();
    dir.write("pars.bin", "");
    dir.write("a.mid", notes(12));
    dir.write("b.mid", notes(4));
    window.emplace(platform);
    ASSERT_TRUE(window->form().startUp());
    window->show();
    // A real box would wait for a click: answer each one, keeping its text.
    QObject::connect(&boxes, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        messages.push_back(box->text().toStdString());
        box->done(QMessageBox::Ok);
      }
    });
    boxes.start(10);
  }
  bool stripAt(int row) {
    return window->Picture2->surface() == window->Picture1->surface().copy(0, row, 50, kStripWindowRows);
  }
  void mouse(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = window->List_MID->viewport();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
      QApplication::sendEvent(viewport, &event);
    }
  }
  void clickEntry(int row) { mouse(window->List_MID->visualItemRect(window->List_MID->item(row)).center()); }

  std::optional<Form1Window> window;
  QTimer boxes;
  Messages messages;
};

TEST_F(Shell, ShowsOnlyTheFrameListStartAndStripLaidOutToTheFrame) {
  EXPECT_EQ(window->windowTitle().toStdString(), "Ezgitar sürüm 5");
  EXPECT_EQ(window->List_MID->geometry(), QRect(8, 16, 220, 220));
  EXPECT_EQ(window->Command3->geometry(), QRect(40, 360, 240, 57));
  EXPECT_EQ(window->Frame_MID->palette().color(QPalette::Window), QColor(255, 128, 0));
  using Widgets = std::initializer_list<QWidget*>;
  for (auto* w : Widgets{window->Frame_MID, window->List_MID, window->Command3, window->Picture2})
    EXPECT_TRUE(w->isVisible());
  for (auto* w : Widgets{window->Command1, window->Command2, window->File_MID, window->Picture1})
    EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(window->List_MID->count(), 2);
}

TEST_F(Shell, ClickingAnEntryAndStartSplitsAndMovesThePaintedStrip) {
  EXPECT_TRUE(stripAt(kStripClosedRow));
  clickEntry(0);
  window->Command3->click();
  EXPECT_TRUE(stripAt(233));
  EXPECT_TRUE(dir.exists("a_24.mid"));
  EXPECT_EQ(window->List_MID->item(1)->text().toStdString(), "a_13");
  clickEntry(0);  // the entry already selected
  EXPECT_TRUE(stripAt(kStripClosedRow));
}

TEST_F(Shell, TheSelectionIsWhatTheListShowsSelected) {
  // Tab makes a row current without selecting it.
  window->List_MID->setFocus(Qt::TabFocusReason);
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(window->List_MID, &focus);
  ASSERT_EQ(window->List_MID->currentRow(), 0);
  window->Command3->click();
  // A click on the blank part deselects.
  clickEntry(1);
  mouse(QPoint(10, window->List_MID->viewport()->height() - 5));
  window->Command3->click();
  EXPECT_EQ(messages, Messages(2, "Bir dosya seçin."));
  EXPECT_FALSE(dir.exists("b_13.mid"));
}

TEST_F(Shell, ACloseIsForm1sToAcceptAndSavesTheRunLog) {
  EXPECT_TRUE(window->close());
  EXPECT_EQ(dir.read("pars.bin").size(), 20u);
}

}  // namespace
}  // namespace ezg::testing
