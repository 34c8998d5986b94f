// Start's split, and the hidden "to TXT" and "TEST" buttons.
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

using Pointers = std::vector<Pointer>;

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
    form = start();
  }
  void split(const std::string& entry) {
    select(*form, entry);
    form->Command3_Click();
  }
  std::unique_ptr<Form1> form;
};

TEST_F(WindowSplit, StartUpShowsTheStripClosed) { EXPECT_TRUE(stripAt(*form, kStripClosedRow)); }

TEST_F(WindowSplit, TheStripMovesAPairAtATimeWithAPauseAfterEach) {
  split("ney");
  EXPECT_TRUE(stripAt(*form, 233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
}

TEST_F(WindowSplit, TheListOffersBothCopiesAndACopySplitsInTurn) {
  split("ney");
  EXPECT_EQ(entries(*form), (Messages{"ney", "ney_13", "ney_24", "tek", "şarkı"}));
  split("ney_13");
  EXPECT_EQ(entries(*form), (Messages{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek", "şarkı"}));
}

TEST_F(WindowSplit, StartAndTheHiddenButtonsWaitWhileASplitRuns) {
  platform.onPump = [&](int pass) {
    if (pass != 5'000) return;
    select(*form, "tek");
    form->Command3_Click();
    form->Command1_Click();
    form->Command2_Click();
  };
  split("ney");
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_FALSE(dir.exists("tek_13.mid"));
}

TEST_F(WindowSplit, AListClickDuringASplitClosesTheStripUntilTheNextPair) {
  bool closed = false;
  platform.onPump = [&](int pass) {
    if (pass != 25'000) return;  // after the update for packet 5, row 235
    form->List_MID_Click();
    closed = stripAt(*form, kStripClosedRow);
  };
  split("ney");
  EXPECT_TRUE(closed);
  EXPECT_TRUE(stripAt(*form, 233));
}

TEST_F(WindowSplit, AFailedWriteNamesTheFileAndKeepsBothOldCopies) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  split("ney");
  EXPECT_EQ(platform.messages,
            Messages{"ney_24.mid dosyası yazılamadı: diskte yer kalmadı. Eski iki dosya da korundu."});
  EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
  EXPECT_EQ(dir.read("ney_24.mid"), "old 24 and longer");
  EXPECT_EQ(dir.names().size(), 7u);  // no temporaries
}

TEST_F(WindowSplit, ReportAndTestAskForAStartFirst) {
  form->Command2_Click();
  form->Command1_Click();
  EXPECT_EQ(platform.messages, Messages(2, "Önce Start ile bir MIDI dosyası yükleyin."));
  EXPECT_EQ(dir.names().size(), 5u);
}

const std::string kWarning = "Çok büyük Tick ! !";

// Start has loaded the song with the four-byte delta.
class LoadedSong : public WindowSplit {
 protected:
  void SetUp() override {
    WindowSplit::SetUp();
    split("şarkı");
    ASSERT_TRUE(form->loaded().loaded());
    files = dir.names();
    platform.messages.clear();
    platform.pointers.clear();
  }
  std::vector<std::string> files;
};

TEST_F(LoadedSong, TestWarnsLikeTheReportAndTouchesNoFile) {
  form->Command1->click();
  EXPECT_EQ(platform.messages, Messages{kWarning});
  EXPECT_TRUE(platform.pointers.empty());
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(dir.names(), files);
}

TEST_F(LoadedSong, TheReportTakesTheUsersSeparatorAndBecomesTheCurrentFile) {
  platform.separator = ',';
  form->Command2->click();
  EXPECT_EQ(platform.messages, Messages{kWarning});
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.txt");
  EXPECT_NE(dir.read("şarkı.txt").find("   03,13 Cent\r\n"), std::string::npos);
}

TEST_F(LoadedSong, AFailedReportWriteNamesTheFileAndKeepsTheOldOne) {
  platform.failOutputName = "şarkı.txt";
  platform.failAfterBytes = 100;
  form->Command2->click();
  EXPECT_EQ(platform.messages, (Messages{kWarning, "şarkı.txt dosyası yazılamadı: diskte yer kalmadı."}));
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.names(), files);  // no temporaries
}

}  // namespace
}  // namespace ezg::testing
