// Start (the split), "to TXT" and "TEST" through the window.
#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"
#include "tests/support/window.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using testing::WindowTest;
using namespace std::literals;
using Messages = std::vector<std::string>;
using Pointers = std::vector<Pointer>;

Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }
std::ptrdiff_t filesIn(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), {}); }

class WindowSplit : public testing::WindowTest {
 protected:
  void SetUp() override {
    for (auto [name, bytes] : {std::pair{"pars.bin", Bytes{}}, {"ney.mid", notes(12)}, {"tek.mid", notes(1)}})
      dir.write(name, bytes);
    form = start();
  }
  void split(const std::string& entry) {
    select(*form, entry);
    form->Command3_Click();
  }
  bool stripAt(int row) const {
    return form->Picture2->surface() == form->Picture1->surface().copy(0, row, 50, kStripWindowRows);
  }
  std::unique_ptr<Form1> form;
};

TEST_F(WindowSplit, StartWritesBothFilesRefillsTheListAndMovesTheStrip) {
  // Picture1 holds the decoded bitmap; the strip starts closed.
  const Rgb slider = drawStrip()[260 * 50 + 20];
  EXPECT_EQ(form->Picture1->surface().pixel(20, 260), qRgb(slider.r, slider.g, slider.b));
  EXPECT_TRUE(stripAt(kStripClosedRow));
  split("ney");
  const SplitCopies expected = splitNotes(FileBuffer(notes(12)));
  EXPECT_EQ(dir.read("ney_13.mid"), testing::asString(expected.copy13));
  EXPECT_EQ(dir.read("ney_24.mid"), testing::asString(expected.copy24));
  EXPECT_EQ(entries(*form), (Messages{"ney", "ney_13", "ney_24", "tek"}));
  EXPECT_TRUE(stripAt(233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  // A copy splits in turn; a one-packet file leaves the strip where its
  // selection put it.
  split("ney_13");
  EXPECT_TRUE(dir.exists("ney_13_13.mid") && dir.exists("ney_13_24.mid"));
  EXPECT_EQ(entries(*form), (Messages{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek"}));
  split("tek");
  EXPECT_EQ(dir.read("tek_13.mid"), testing::asString(notes(1)));
  EXPECT_EQ(platform.pumpCount, 12 * kPausePumpPasses);
  EXPECT_TRUE(stripAt(kStripClosedRow));
}

TEST_F(WindowSplit, ClicksDuringASplitLeaveItAloneButTheListResetsTheStrip) {
  bool resetSeen = false;
  platform.onPump = [&](int pass) {
    if (pass == 5'000) {
      select(*form, "tek");
      form->Command3_Click();
      form->Command1_Click();
      form->Command2_Click();
    }
    if (pass == 25'000) {  // after the update for packet 5, row 235
      form->List_MID_Click();
      resetSeen = stripAt(kStripClosedRow);
    }
  };
  split("ney");
  EXPECT_TRUE(resetSeen);
  EXPECT_TRUE(stripAt(233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "ney.mid");
  EXPECT_FALSE(dir.exists("tek_13.mid"));
}

TEST_F(WindowSplit, ACloseDuringASplitHidesAtOnceAndFinishesTheFilesUnpaced) {
  form->show();
  bool hidden = false;
  platform.onPump = [&](int pass) {
    if (pass != 15'000) return;
    form->close();
    hidden = !form->isVisible() && !dir.exists("ney_13.mid") && dir.read("pars.bin").empty();
  };
  split("ney");
  EXPECT_TRUE(hidden);
  EXPECT_EQ(platform.pumpCount, 15'000);  // no pause after the close
  const SplitCopies expected = splitNotes(FileBuffer(notes(12)));
  EXPECT_EQ(dir.read("ney_13.mid"), testing::asString(expected.copy13));
  EXPECT_EQ(dir.read("ney_24.mid"), testing::asString(expected.copy24));
  EXPECT_EQ(dir.read("pars.bin").size(), 20u);  // the run log saved on the way out
}

TEST_F(WindowSplit, AFailedWriteNamesTheFileAndKeepsTheOldOutputs) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  split("ney");
  EXPECT_EQ(platform.messages, Messages{"ney_24.mid dosyası yazılamadı: diskte yer kalmadı. Eski iki dosya da korundu."});
  EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
  EXPECT_EQ(dir.read("ney_24.mid"), "old 24 and longer");
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  EXPECT_EQ(filesIn(dir.path()), 5);  // no temporaries
}

const std::string kWarning = "Çok büyük Tick ! !";

TEST_F(WindowTest, ReportAndTestButtonsWarnWriteOrLeaveTheReportAndMoveThePosition) {
  // A note whose delta time has four bytes, and a bend worth 3.125 cents.
  const Bytes song =
      build::wrapTrack({0x00, 0xE0, 0x00, 0x41, 0x00, 0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00});
  const auto end = static_cast<std::int64_t>(song.size()) + 1;
  dir.write("pars.bin", "");
  dir.write("şarkı.mid", song);
  auto form = start();
  auto click = [&](QPushButton* button) {
    platform.messages.clear();
    platform.pointers.clear();
    button->click();
  };
  click(form->Command2);  // nothing loaded yet: a message each, no file
  form->Command1->click();
  EXPECT_EQ(platform.messages, Messages(2, "Önce Start ile bir MIDI dosyası yükleyin."));
  EXPECT_FALSE(dir.exists(".txt"));
  EXPECT_TRUE(platform.pointers.empty());
  form->List_MID->setCurrentRow(0);
  click(form->Command3);
  ASSERT_TRUE(form->loaded().loaded());
  // TEST warns like the report and touches no file.
  dir.write("şarkı.txt", "old report");
  const auto before = fs::last_write_time(dir / "şarkı.txt");
  const auto filesBefore = filesIn(dir.path());
  click(form->Command1);
  EXPECT_EQ(platform.messages, Messages{kWarning});
  EXPECT_TRUE(platform.pointers.empty());
  EXPECT_EQ(form->position(), end);
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(fs::last_write_time(dir / "şarkı.txt"), before);
  EXPECT_EQ(filesIn(dir.path()), filesBefore);
  // A failed write names the file and keeps the old report.
  platform.failOutputName = "şarkı.txt";
  platform.failAfterBytes = 100;
  click(form->Command2);
  EXPECT_EQ(platform.messages, (Messages{kWarning, "şarkı.txt dosyası yazılamadı: diskte yer kalmadı."}));
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(filesIn(dir.path()), filesBefore);  // no temporaries
  platform.failOutputName.clear();
  platform.separator = ',';
  click(form->Command2);
  EXPECT_EQ(platform.messages, Messages{kWarning});
  EXPECT_EQ(platform.pointers, (Pointers{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.txt");
  EXPECT_EQ(form->position(), end);
  const std::string text = dir.read("şarkı.txt");
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD.txt\r\n\r\n----------HEADER CHUNK"));
  EXPECT_NE(text.find("   03,13 Cent\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("0037   00   000   \0   \r\n\r\n\r\n"sv));
  // A second run replaces the file; the old text is not kept behind it.
  dir.write("şarkı.txt", std::string(text.size() * 2, 'x'));
  form->Command2->click();
  EXPECT_EQ(dir.read("şarkı.txt"), text);
}

TEST_F(WindowTest, ShortAndTruncatedFilesLoadSplitReportAndTestWithoutHarm) {
  const Bytes song = build::makeMidi(build::makamMelody(6, 4));
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"one", Bytes{0x4D}},
      {"header only", Bytes(song.begin(), song.begin() + 22)},
      {"first event", Bytes(song.begin(), song.begin() + 23)},
      {"ends in a bend", Bytes(song.begin(), song.begin() + 32)},  // E0 at 31, one data byte
      {"ends in a note", Bytes(song.begin(), song.end() - 6)},     // inside the last note-off
      {"-dash", song},
      {"Uşşak peşrevi", song},
  };
  for (const auto& [base, bytes] : files) dir.write(base + ".mid", bytes);
  dir.write("pars.bin", std::string(20, '\x42'));
  auto form = start();
  for (const auto& [base, bytes] : files) {
    SCOPED_TRACE(base);
    platform.messages.clear();
    select(*form, base);
    form->Command3->click();
    form->Command2_Click();
    form->Command1_Click();
    for (const auto& m : platform.messages) EXPECT_EQ(m, kWarning);
    EXPECT_EQ(dir.read(base + "_13.mid").size(), bytes.size());
    EXPECT_EQ(dir.read(base + "_24.mid").size(), bytes.size());
    const std::string report = dir.read(base + ".txt");
    ASSERT_GE(report.size(), 4u);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");  // written to its end
  }
  for (const auto& e : fs::directory_iterator(dir.path()))  // no temporary file is left
    EXPECT_EQ(e.path().filename().string().find(".ezg-"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace ezg
