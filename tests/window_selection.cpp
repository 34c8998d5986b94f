// What Start takes from the list, how the list resets the strip, files that
// do not fit in memory, and the flat frame.
#include <QKeyEvent>
#include <QMouseEvent>

#include "splitter/strip.h"
#include "tests/support/window.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using Messages = std::vector<std::string>;

Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

class ListSelection : public testing::WindowTest {
 protected:
  void SetUp() override {
    dir.write("pars.bin", "");
    dir.write("a.mid", notes(12));
    dir.write("b.mid", notes(4));
    form = start();
    form->show();
  }
  void mouse(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = form->List_MID->viewport();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
      QApplication::sendEvent(viewport, &event);
    }
  }
  void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(form->List_MID->visualItemRect(form->List_MID->item(row)).center(), modifiers);
  }
  void clickEntry(const std::string& entry) {
    clickRow(form->List_MID->row(form->List_MID->findItems(QString::fromStdString(entry), Qt::MatchExactly).front()));
  }
  void key(int code) {
    QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(form->List_MID, &event);
  }
  // Splits "a", which leaves the strip open at row 233, not closed.
  void splitA() {
    clickRow(0);
    form->Command3_Click();
    ASSERT_EQ(form->loaded().baseName, "a");
    ASSERT_FALSE(stripClosed());
  }
  bool stripClosed() const {
    return form->Picture2->surface() == form->Picture1->surface().copy(0, kStripClosedRow, 50, kStripWindowRows);
  }
  void expectAskedForASelection() {
    platform.messages.clear();
    form->Command3_Click();
    EXPECT_EQ(platform.messages, Messages{"Bir dosya seçin."});
    EXPECT_EQ(form->loaded().baseName, "a");
  }
  std::unique_ptr<Form1> form;
};

TEST_F(ListSelection, ArrowKeysResetTheStripLikeAClick) {
  splitA();
  key(Qt::Key_Down);
  EXPECT_TRUE(stripClosed());
  EXPECT_EQ(form->List_MID->selectedItems().size(), 1);
}

TEST_F(ListSelection, AClickOnTheSelectedEntryResetsTheStrip) {
  splitA();  // "a" stays selected
  clickRow(0);
  EXPECT_TRUE(stripClosed());
}

TEST_F(ListSelection, TabIntoTheListSelectsNothing) {
  splitA();
  form->List_MID->clearSelection();
  form->List_MID->setCurrentItem(nullptr);
  form->List_MID->setFocus(Qt::TabFocusReason);
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(form->List_MID, &focus);
  ASSERT_EQ(form->List_MID->currentRow(), 0);  // current, but not selected
  expectAskedForASelection();
}

TEST_F(ListSelection, CtrlClickOnTheSelectedEntryDeselectsIt) {
  splitA();
  clickRow(0, Qt::ControlModifier);
  ASSERT_EQ(form->List_MID->currentRow(), 0);
  expectAskedForASelection();
}

TEST_F(ListSelection, AClickOnTheBlankPartDeselects) {
  splitA();
  mouse(QPoint(10, form->List_MID->viewport()->height() - 5));
  expectAskedForASelection();
}

TEST_F(ListSelection, AFileTooLargeToReadIsNamedAndTheLoadedOneKept) {
  splitA();
  platform.messages.clear();
  platform.failReadName = "b.mid";
  platform.failReadCode = FailureCode::TooLarge;
  clickEntry("b");
  form->Command3_Click();
  EXPECT_EQ(platform.messages, Messages{"b.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük."});
  EXPECT_EQ(form->loaded().baseName, "a");
  EXPECT_FALSE(dir.exists("b_13.mid"));
}

TEST_F(ListSelection, CopiesThatDoNotFitAreRefusedByNameAndTheLoadedFileKept) {
  splitA();
  platform.messages.clear();
  platform.onPump = [](int) { throw std::bad_alloc(); };
  clickEntry("b");
  form->Command3_Click();
  EXPECT_EQ(platform.messages, Messages{"b.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük."});
  EXPECT_EQ(form->loaded().baseName, "a");
  EXPECT_FALSE(dir.exists("b_13.mid") || dir.exists("b_24.mid"));
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  platform.onPump = nullptr;
  form->Command3_Click();  // the window is not left splitting
  EXPECT_EQ(form->loaded().baseName, "b");
}

TEST_F(ListSelection, TheFrameIsFlatInTheWindowsColour) {
  const QImage frame = form->Frame_MID->grab().toImage();
  const QRect list = form->List_MID->geometry();
  int other = 0;
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x)
      if (!list.contains(x, y) && frame.pixelColor(x, y) != QColor(255, 128, 0)) ++other;
  EXPECT_EQ(other, 0);
}

}  // namespace
}  // namespace ezg
