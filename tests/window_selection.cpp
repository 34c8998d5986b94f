// What Start takes from the list and loads, and what it refuses.
#include <QKeyEvent>
#include <QMouseEvent>

#include "tests/support/window.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

class ListSelection : public WindowTest {
 protected:
  void SetUp() override {
    dir.write("pars.bin", "");
    dir.write("a.mid", notes(12));
    dir.write("b.mid", notes(4));
    form = start();
    form->show();
    startWith("a");  // leaves the strip open at row 233
    ASSERT_EQ(form->loaded().baseName, "a");
    ASSERT_FALSE(stripAt(*form, kStripClosedRow));
    platform.messages.clear();
    platform.pointers.clear();
  }
  void mouse(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = form->List_MID->viewport();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
      QApplication::sendEvent(viewport, &event);
    }
  }
  void clickEntry(const std::string& entry) {
    const auto found = form->List_MID->findItems(QString::fromStdString(entry), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry;
    mouse(form->List_MID->visualItemRect(found.front()).center());
  }
  void startWith(const std::string& entry) {
    clickEntry(entry);
    form->Command3_Click();
  }
  void expectAskedForAFile() {
    EXPECT_EQ(platform.messages, Messages{"Bir dosya seçin."});
    EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
    EXPECT_EQ(form->loaded().baseName, "a");
  }
  std::unique_ptr<Form1> form;
};

TEST_F(ListSelection, AClickOnTheSelectedEntryClosesTheStrip) {
  clickEntry("a");
  EXPECT_TRUE(stripAt(*form, kStripClosedRow));
}

TEST_F(ListSelection, StartOnTheEmptyEntryOfDotMidAsksForAFile) {
  dir.write(".mid", notes(2));
  form->midiListFill();
  startWith("");
  expectAskedForAFile();
}

TEST_F(ListSelection, TabIntoTheListSelectsNothing) {
  form->List_MID->clearSelection();
  form->List_MID->setCurrentItem(nullptr);
  form->List_MID->setFocus(Qt::TabFocusReason);
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(form->List_MID, &focus);
  ASSERT_EQ(form->List_MID->currentRow(), 0);  // current, but not selected
  form->Command3_Click();
  expectAskedForAFile();
}

TEST_F(ListSelection, AClickOnTheBlankPartDeselects) {
  mouse(QPoint(10, form->List_MID->viewport()->height() - 5));
  form->Command3_Click();
  expectAskedForAFile();
}

TEST_F(ListSelection, StartReplacesTheLoadedFileWithEveryByteOfTheSelectedOne) {
  Bytes big = build::makeMidi(build::makamMelody(4000, 3));  // far past 16-bit positions
  big.insert(big.end(), {0, 128, 144, 159, 255, 10, 13});
  dir.write("x.mid.mid", big);
  form->midiListFill();
  startWith("x.mid");
  const LoadedFile& f = form->loaded();
  EXPECT_EQ(f.currentFileName, "x.mid.mid");
  EXPECT_EQ(f.fileLength, static_cast<std::int64_t>(big.size()));
  EXPECT_EQ(f.buffer.raw(), big);
  startWith("b");
  EXPECT_EQ(form->loaded().buffer.raw(), notes(4));  // nothing of the longer file is left
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ListSelection, AFileThatCannotBeReadIsNamedAndTheLoadedOneKept) {
  for (const char* name : {"gone.mid", "dir.mid", "empty.mid"}) dir.write(name, notes(2));
  form->midiListFill();
  dir.write("empty.mid", "");
  fs::remove(dir / "gone.mid");
  fs::remove(dir / "dir.mid");
  fs::create_directory(dir / "dir.mid");
  for (const char* entry : {"gone", "dir", "empty"}) startWith(entry);
  EXPECT_EQ(platform.messages, (Messages{"gone.mid dosyası okunamadı: dosya yok.",
                                         "dir.mid dosyası okunamadı: bu düz bir dosya değil.",
                                         "empty.mid dosyası boş."}));
  EXPECT_EQ(form->loaded().buffer.raw(), notes(12));
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
}

TEST_F(ListSelection, CopiesThatDoNotFitAreRefusedByNameAndTheLoadedFileKept) {
  platform.onPump = [](int) { throw std::bad_alloc(); };
  startWith("b");
  EXPECT_EQ(platform.messages, Messages{"b.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük."});
  EXPECT_EQ(form->loaded().baseName, "a");
  EXPECT_FALSE(dir.exists("b_13.mid") || dir.exists("b_24.mid"));
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  platform.onPump = nullptr;
  form->Command3_Click();  // the window is not left splitting
  EXPECT_EQ(form->loaded().baseName, "b");
}

}  // namespace
}  // namespace ezg::testing
