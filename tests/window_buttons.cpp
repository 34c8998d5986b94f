// Start's split, a close in the middle of it, and the hidden "to TXT" and
// "TEST" buttons.
#include "splitter/note_splitter.h"
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

// A note whose delta time has four bytes, and a bend worth 3.125 cents.
const Bytes kWarningSong =
    build::wrapTrack({0x00, 0xE0, 0x00, 0x41, 0x00, 0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00});

class WindowSplit : public WindowTest {
 protected:
  void SetUp() override {
    for (auto [name, bytes] : {std::pair{"pars.bin", Bytes{}}, {"ney.mid", notes(12)}, {"tek.mid", notes(1)}})
      dir.write(name, bytes);
    dir.write("şarkı.mid", kWarningSong);
    dir.write("şarkı.txt", "old report");
    start();
  }
};

TEST_F(WindowSplit, TheStripMovesAtOnceAfterEachPairWithAPauseAfterEach) {
  view.strip.clear();
  view.repaints.clear();
  startWith("ney");
  EXPECT_EQ(view.strip, (std::vector<int>{236, 235, 235, 234, 234, 233}));  // packets 1, 3, ... 11
  EXPECT_EQ(view.repaints, std::vector<Repaint>(6, Repaint::Now));
  EXPECT_EQ(view.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(view.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
}

TEST_F(WindowSplit, TheListOffersBothCopiesAndACopySplitsInTurn) {
  startWith("ney");
  EXPECT_EQ(view.entries, (Messages{"ney", "ney_13", "ney_24", "tek", "şarkı"}));
  startWith("ney_13");
  EXPECT_EQ(view.entries, (Messages{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek", "şarkı"}));
}

TEST_F(WindowSplit, StartAndTheHiddenButtonsWaitWhileASplitRuns) {
  view.onPump = [&](int pass) {
    if (pass != 5'000) return;
    view.select("tek");
    form->Command3_Click();
    form->Command1_Click();
    form->Command2_Click();
  };
  startWith("ney");
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(dir.exists("tek_13.mid"));
  EXPECT_EQ(form->loaded().baseName, "ney");
}

TEST_F(WindowSplit, AListClickDuringASplitClosesTheStripUntilTheNextPair) {
  view.onPump = [&](int pass) {
    if (pass == 25'000) form->List_MID_Click();  // after the update for packet 5
  };
  startWith("ney");
  EXPECT_EQ(view.strip, (std::vector<int>{236, 236, 235, 235, 236, 234, 234, 233}));
}

// The window goes at once; the split ends unpaced and writes whole copies,
// then the run's record.
TEST_F(WindowSplit, ACloseMidSplitHidesTheWindowAndUnloadsOnceTheCopiesAreWritten) {
  for (CloseFrom from : {CloseFrom::User, CloseFrom::Signal}) {
    view = FakeView();
    start();
    view.onPump = [&](int pass) {
      if (pass != 15'000) return;
      form->closeRequest(from);
      EXPECT_EQ(view.visible[Control::Form1], false);
      EXPECT_EQ(view.closes, 0);
    };
    startWith("ney");
    EXPECT_EQ(view.pumpCount, 15'000);
    EXPECT_EQ(view.strip, (std::vector<int>{kStripClosedRow, 236, 235}));
    const SplitCopies copies = splitNotes(FileBuffer(notes(12)));
    EXPECT_EQ(dir.read("ney_13.mid"), asString(copies.copy13));
    EXPECT_EQ(dir.read("ney_24.mid"), asString(copies.copy24));
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(dir.read("pars.bin").size(), from == CloseFrom::User ? 20u : 40u);
  }
}

TEST_F(WindowSplit, AFailedWriteNamesTheFileAndKeepsBothOldCopies) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  startWith("ney");
  EXPECT_EQ(view.messages, Messages{"ney_24.mid dosyası yazılamadı: diskte yer kalmadı. Eski iki dosya da korundu."});
  EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
  EXPECT_EQ(dir.read("ney_24.mid"), "old 24 and longer");
  EXPECT_EQ(dir.names().size(), 7u);  // no temporaries
}

TEST_F(WindowSplit, ReportAndTestAskForAStartFirst) {
  form->Command2_Click();
  form->Command1_Click();
  EXPECT_EQ(view.messages, Messages(2, "Önce Start ile bir MIDI dosyası yükleyin."));
  EXPECT_EQ(dir.names().size(), 5u);
}

const std::string kWarning = "Çok büyük Tick ! !";

// Start has loaded the song with the four-byte delta.
class LoadedSong : public WindowSplit {
 protected:
  void SetUp() override {
    WindowSplit::SetUp();
    startWith("şarkı");
    ASSERT_TRUE(form->loaded().loaded());
    files = dir.names();
    view.messages.clear();
    view.pointers.clear();
  }
  std::vector<std::string> files;
};

TEST_F(LoadedSong, TestWarnsLikeTheReportAndTouchesNoFile) {
  form->Command1_Click();
  EXPECT_EQ(view.messages, Messages{kWarning});
  EXPECT_TRUE(view.pointers.empty());
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(dir.names(), files);
}

TEST_F(LoadedSong, TheReportTakesTheUsersSeparatorAndBecomesTheCurrentFile) {
  platform.separator = ',';
  form->Command2_Click();
  EXPECT_EQ(view.messages, Messages{kWarning});
  EXPECT_EQ(view.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.txt");
  EXPECT_NE(dir.read("şarkı.txt").find("   03,13 Cent\r\n"), std::string::npos);
}

TEST_F(LoadedSong, AFailedReportWriteNamesTheFileAndKeepsTheOldOne) {
  platform.failOutputName = "şarkı.txt";
  platform.failAfterBytes = 100;
  form->Command2_Click();
  EXPECT_EQ(view.messages, (Messages{kWarning, "şarkı.txt dosyası yazılamadı: diskte yer kalmadı."}));
  EXPECT_EQ(view.pointers.back(), Pointer::Default);
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.names(), files);  // no temporaries
}

}  // namespace
}  // namespace ezg::testing
