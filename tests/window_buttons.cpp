// Start: what it takes from the list, the split with its strip and pause, a
// close in the middle of it; and the hidden "to TXT" and "TEST" buttons.
#include "tests/support/split_files.h"
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

// A note whose delta time has four bytes, and a bend worth 3.125 cents.
const Bytes kWarningSong =
    build::wrapTrack({0x00, 0xE0, 0x00, 0x41, 0x00, 0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00});
const std::string kWarning = "Çok büyük Tick ! !";

class Start : public WindowTest {
 protected:
  void SetUp() override {
    for (auto [name, bytes] : {std::pair{"pars.bin", Bytes{}}, {"ney.mid", notes(12)}, {"tek.mid", notes(1)}})
      dir.write(name, bytes);
    dir.write("şarkı.mid", kWarningSong);
    dir.write("şarkı.txt", "old report");
    start();
  }
  // Start has loaded `entry`; what came before is forgotten.
  void loaded(const std::string& entry) {
    startWith(entry);
    ASSERT_EQ(form->loaded().baseName, entry);
    view.messages.clear();
    view.pointers.clear();
  }
};

// Each refusal names why, and the file loaded before stays loaded.
TEST_F(Start, ARefusedStartSaysWhyAndKeepsTheLoadedFile) {
#ifdef _WIN32
  const std::string odd = "empty", oddShown = odd;  // Windows names take no control characters
#else
  const std::string odd = "a\x1b[2J\nb", oddShown = "a\\x1b[2J\\nb";
#endif
  for (const std::string& name : {odd, std::string("gone"), std::string("dir"), std::string()})
    dir.write(name + ".mid", notes(2));
  form->midiListFill();
  loaded("tek");
  dir.write(odd + ".mid", "");
  fs::remove(dir / "gone.mid");
  fs::remove(dir / "dir.mid");
  fs::create_directory(dir / "dir.mid");
  // Nothing selected, the empty entry of ".mid", files that cannot be read.
  for (const char* entry : {"none", "", "gone", "dir"}) startWith(entry);
  startWith(odd);
  view.onPump = [](int) { throw std::bad_alloc(); };  // copies that do not fit
  startWith("ney");
  EXPECT_EQ(view.messages,
            (Messages{"Bir dosya seçin.", "Bir dosya seçin.", "gone.mid dosyası okunamadı: dosya yok.",
                      "dir.mid dosyası okunamadı: bu düz bir dosya değil.", oddShown + ".mid dosyası boş.",
                      "ney.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük."}));
  EXPECT_EQ(form->loaded().baseName, "tek");
  EXPECT_FALSE(dir.exists("ney_13.mid") || dir.exists("ney_24.mid"));
  Pointers pointers;  // an hourglass while each is tried
  for (int i = 0; i < 6; ++i) pointers.insert(pointers.end(), {Pointer::Hourglass, Pointer::Default});
  EXPECT_EQ(view.pointers, pointers);
  view.onPump = nullptr;
  startWith("ney");  // the window is not left splitting
  EXPECT_EQ(form->loaded().baseName, "ney");
}

TEST_F(Start, TheStripMovesAfterEachPairWithAPauseAndTheListOffersTheCopies) {
  startWith("ney");
  EXPECT_EQ(view.strip, (std::vector<int>{236, 236, 235, 235, 234, 234, 233}));  // start-up, packets 1, 3, ... 11
  constexpr Repaint kNow = Repaint::Now;
  EXPECT_EQ(view.repaints, (std::vector<Repaint>{Repaint::WhenDue, kNow, kNow, kNow, kNow, kNow, kNow}));
  EXPECT_EQ(view.pumps, 6 * kPausePumpPasses);
  EXPECT_EQ(view.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  // The list then offers both copies, and a copy splits in turn.
  EXPECT_EQ(view.entries, (Messages{"ney", "ney_13", "ney_24", "tek", "şarkı"}));
  startWith("ney_13");
  EXPECT_EQ(view.entries, (Messages{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek", "şarkı"}));
}

// Start and the hidden buttons wait while a split runs; a click on the list
// closes the strip until the next pair.
TEST_F(Start, DuringASplitTheButtonsWaitAndAListClickClosesTheStrip) {
  view.onPump = [&](int pass) {
    if (pass == 5'000) {
      view.select("tek");
      form->Command3_Click();
      form->Command1_Click();
      form->Command2_Click();
    }
    if (pass == 25'000) form->List_MID_Click();  // after the update for packet 5
  };
  startWith("ney");
  EXPECT_EQ(view.strip, (std::vector<int>{236, 236, 235, 235, kStripClosedRow, 234, 234, 233}));
  EXPECT_EQ(view.repaints[4], Repaint::WhenDue);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(dir.exists("tek_13.mid"));
  EXPECT_EQ(form->loaded().baseName, "ney");
}

// The window goes at once; the split ends unpaced and writes whole copies,
// then the run's record.
TEST_F(Start, ACloseMidSplitHidesTheWindowAndUnloadsOnceTheCopiesAreWritten) {
  for (CloseFrom from : {CloseFrom::User, CloseFrom::Signal}) {
    start();
    view.onPump = [&](int pass) {
      if (pass != 15'000) return;
      form->closeRequest(from);
      EXPECT_FALSE(view.visible[Control::Form1]);
      EXPECT_EQ(view.closes, 0);
    };
    startWith("ney");
    EXPECT_EQ(view.pumps, 15'000);  // no pause after the close
    const BothCopies copies = splitBoth(notes(12));
    EXPECT_EQ(dir.read("ney_13.mid"), asString(copies.copy13));
    EXPECT_EQ(dir.read("ney_24.mid"), asString(copies.copy24));
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(dir.read("pars.bin").size(), from == CloseFrom::User ? 20u : 40u);
  }
}

TEST_F(Start, AFailedWriteNamesTheFileAndKeepsBothOldCopies) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  startWith("ney");
  EXPECT_EQ(view.messages, Messages{"ney_24.mid dosyası yazılamadı: diskte yer kalmadı. Eski iki dosya da korundu."});
  EXPECT_EQ(dir.read("ney_13.mid") + dir.read("ney_24.mid"), "old 13old 24 and longer");
}

TEST_F(Start, ACopyWhoseNameLinksToAFileOfTheFolderIsRefusedAndEveryFileKept) {
  const std::string kept =
      "ney_24.mid dosyası yazılamadı: bu ad bir bağlantıyla okunan bir dosyayı ya da programın "
      "kendi dosyasını gösteriyor.";
  const std::pair<const char*, std::string> cases[] = {
      {"ney.mid", kept},
      {"tek.mid", kept},
      {"pars.bin", kept},
      {"ney_13.mid",
       "ney_24.mid dosyası yazılamadı: iki kopyanın adı da aynı dosyayı gösteriyor. Eski iki dosya da "
       "korundu."},
  };
  dir.write("ney_13.mid", "old 13");
  for (const auto& [target, message] : cases) {
    SCOPED_TRACE(target);
    std::error_code noLinks;
    fs::remove(dir / "ney_24.mid");
    fs::create_symlink(target, dir / "ney_24.mid", noLinks);
    if (noLinks) GTEST_SKIP() << "no symbolic links on this file system";
    const auto before = dir.tree();
    std::map<std::string, std::string> bytes;
    for (const char* name : {"ney.mid", "tek.mid", "pars.bin", "ney_13.mid"}) bytes[name] = dir.read(name);
    view.messages.clear();
    startWith("ney");
    EXPECT_EQ(view.messages, Messages{message});
    EXPECT_EQ(dir.tree(), before);
    for (const auto& [name, was] : bytes) EXPECT_EQ(dir.read(name), was) << name;
  }
}

// Both ask for a Start first; the test then touches no file, and the report
// takes the user's separator and becomes the current file.
TEST_F(Start, TestAndReportWarnAlikeAndOnlyTheReportWrites) {
  form->Command2_Click();
  form->Command1_Click();
  EXPECT_EQ(view.messages, Messages(2, "Önce Start ile bir MIDI dosyası yükleyin."));
  EXPECT_EQ(dir.names().size(), 5u);
  loaded("şarkı");
  const auto files = dir.names();
  form->Command1_Click();
  EXPECT_EQ(view.messages, Messages{kWarning});
  EXPECT_TRUE(view.pointers.empty());
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.names(), files);
  platform.separator = ',';
  form->Command2_Click();
  EXPECT_EQ(view.messages, Messages(2, kWarning));
  EXPECT_EQ(view.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.txt");
  EXPECT_NE(dir.read("şarkı.txt").find("   03,13 Cent\r\n"), std::string::npos);
}

}  // namespace
}  // namespace ezg::testing
