// What Start takes from the list and loads, and what it refuses.
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
    start();
    startWith("a");
    ASSERT_EQ(form->loaded().baseName, "a");
    view.messages.clear();
    view.pointers.clear();
  }
  void expectAskedForAFile() {
    EXPECT_EQ(view.messages, Messages{"Bir dosya seçin."});
    EXPECT_EQ(view.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
    EXPECT_EQ(form->loaded().baseName, "a");
  }
};

TEST_F(ListSelection, StartWithNothingSelectedAsksForAFile) {
  view.selected = -1;
  form->Command3_Click();
  expectAskedForAFile();
}

TEST_F(ListSelection, StartOnTheEmptyEntryOfDotMidAsksForAFile) {
  dir.write(".mid", notes(2));
  form->midiListFill();
  startWith("");
  expectAskedForAFile();
}

TEST_F(ListSelection, AListClickClosesTheStripAndLoadsNothing) {
  ASSERT_NE(view.stripRow(), kStripClosedRow);
  view.select("b");
  form->List_MID_Click();
  EXPECT_EQ(view.stripRow(), kStripClosedRow);
  EXPECT_EQ(view.repaints.back(), Repaint::WhenDue);
  EXPECT_EQ(form->loaded().baseName, "a");
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
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(ListSelection, AFileThatCannotBeReadIsNamedAndTheLoadedOneKept) {
  for (const char* name : {"gone.mid", "dir.mid", "empty.mid"}) dir.write(name, notes(2));
  form->midiListFill();
  dir.write("empty.mid", "");
  fs::remove(dir / "gone.mid");
  fs::remove(dir / "dir.mid");
  fs::create_directory(dir / "dir.mid");
  for (const char* entry : {"gone", "dir", "empty"}) startWith(entry);
  EXPECT_EQ(view.messages, (Messages{"gone.mid dosyası okunamadı: dosya yok.",
                                     "dir.mid dosyası okunamadı: bu düz bir dosya değil.",
                                     "empty.mid dosyası boş."}));
  EXPECT_EQ(form->loaded().buffer.raw(), notes(12));
  EXPECT_EQ(view.pointers.back(), Pointer::Default);
}

TEST_F(ListSelection, CopiesThatDoNotFitAreRefusedByNameAndTheLoadedFileKept) {
  view.onPump = [](int) { throw std::bad_alloc(); };
  startWith("b");
  EXPECT_EQ(view.messages, Messages{"b.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük."});
  EXPECT_EQ(form->loaded().baseName, "a");
  EXPECT_FALSE(dir.exists("b_13.mid") || dir.exists("b_24.mid"));
  EXPECT_EQ(view.pointers.back(), Pointer::Default);
  view.onPump = nullptr;
  form->Command3_Click();  // the window is not left splitting
  EXPECT_EQ(form->loaded().baseName, "b");
}

}  // namespace
}  // namespace ezg::testing
