#include <gtest/gtest.h>

#include <QFontInfo>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

std::vector<std::string> entries(const QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
  return out;
}

class StartUp : public ::testing::Test {
 protected:
  StartUp() {
    testing::qtApp();
    platform.programFolderPath = dir.path().string();
  }
  ~StartUp() override { std::filesystem::current_path(saved); }

  void addMidi(const std::string& name) { dir.write(name, build::makeMidi(build::makamMelody(4, 7))); }

  std::filesystem::path saved = std::filesystem::current_path();
  testing::TempDir dir;
  FakePlatform platform;
};

TEST_F(StartUp, ShowsTheFolderListInOrderWithTheDesignLayout) {
  for (const char* n : {"c.mid", "a.mid", "b.mid"}) addMidi(n);
  dir.write("pars.bin", std::string());
  Form1 form(platform);
  ASSERT_TRUE(form.startUp());
  EXPECT_TRUE(platform.messages.empty());

  EXPECT_EQ(form.windowTitle().toStdString(), "Ezgitar sürüm 5");
  EXPECT_EQ(entries(form.List_MID), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(form.size(), QSize(367, 466));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(255, 128, 0));
  EXPECT_EQ(form.Frame_MID->geometry(), QRect(40, 32, 240, 240));
  EXPECT_EQ(form.Frame_MID->palette().color(QPalette::Window), QColor(255, 128, 0));
  EXPECT_EQ(form.List_MID->geometry(), QRect(8, 16, 220, 220));
  EXPECT_EQ(form.Command3->geometry(), QRect(40, 360, 240, 57));
  EXPECT_EQ(form.Picture2->geometry(), QRect(288, 37, 50, 235));
  EXPECT_EQ(form.Command3->text(), "Start");

  // Shown: frame, list, Start and the strip window; never TEST or to TXT.
  form.show();
  EXPECT_TRUE(form.Frame_MID->isVisible());
  EXPECT_TRUE(form.List_MID->isVisible());
  EXPECT_TRUE(form.Command3->isVisible());
  EXPECT_TRUE(form.Picture2->isVisible());
  EXPECT_FALSE(form.Command1->isVisible());
  EXPECT_FALSE(form.Command2->isVisible());
  EXPECT_FALSE(form.File_MID->isVisible());
  EXPECT_FALSE(form.Picture1->isVisible());
  EXPECT_EQ(form.Command1->text(), "TEST");
  EXPECT_EQ(form.Command2->text(), "to TXT");

  EXPECT_EQ(form.noteNames()[0], "C ");
  EXPECT_EQ(form.noteNames()[1], "C#");
  EXPECT_EQ(form.noteNames()[11], "B ");
  EXPECT_EQ(form.windowIcon().pixmap(64, 64).toImage().size(), QSize(64, 64));
  EXPECT_TRUE(form.Command3->font().bold());
  EXPECT_EQ(form.Command3->font().pointSizeF(), 18.0);
  EXPECT_EQ(form.List_MID->font().pointSizeF(), 12.0);
  form.close();
}

TEST_F(StartUp, TabOrderFollowsTheControls) {
  addMidi("a.mid");
  dir.write("pars.bin", std::string());
  Form1 form(platform);
  ASSERT_TRUE(form.startUp());
  QWidget* expected[] = {form.Command1, form.Command2, form.Command3, form.Frame_MID,
                         form.List_MID, form.File_MID, form.Picture1, form.Picture2};
  // Walk the focus chain once; the list's own viewport and scroll bars sit
  // in it too, so only the order of the named controls is compared.
  std::vector<QWidget*> seen;
  QWidget* w = form.Command1;
  do {
    if (std::find(std::begin(expected), std::end(expected), w) != std::end(expected)) seen.push_back(w);
    w = w->nextInFocusChain();
  } while (w != form.Command1);
  EXPECT_EQ(seen, std::vector<QWidget*>(std::begin(expected), std::end(expected)));
}

TEST_F(StartUp, WithoutMidiFilesItEndsBeforeTheWindowAndLeavesTheLogAlone) {
  dir.write("pars.bin", std::string("0123456789abcdefghij"));
  dir.write("a.MID", std::string("x"));  // wrong case: not a MIDI name here
  std::filesystem::create_directory(dir / "folder.mid");
  Form1 form(platform);
  EXPECT_FALSE(form.startUp());
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"midi dosyalarınızı uygulama klasörüne taşıyın."}));
  EXPECT_FALSE(form.runLog().runFlag());
  form.close();
  EXPECT_EQ(dir.read("pars.bin"), "0123456789abcdefghij");
}

TEST_F(StartUp, NeitherMidiNorLogShowsOnlyTheFirstMessage) {
  Form1 form(platform);
  EXPECT_FALSE(form.startUp());
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_FALSE(dir.exists("pars.bin"));
}

TEST_F(StartUp, ALogUnderAnyOtherNameCountsAsMissing) {
  addMidi("a.mid");
  for (const char* other : {"", "PARS.BIN", "Pars.bin", "pars.bin/"}) {
    std::filesystem::remove_all(dir / "PARS.BIN");
    std::filesystem::remove_all(dir / "Pars.bin");
    std::filesystem::remove_all(dir / "pars.bin");
    std::string name = other;
    if (name == "pars.bin/")
      std::filesystem::create_directory(dir / "pars.bin");  // a folder is not a plain file
    else if (!name.empty())
      dir.write(name, std::string(20, 'x'));
    platform.messages.clear();
    Form1 form(platform);
    EXPECT_FALSE(form.startUp()) << other;
    EXPECT_EQ(platform.messages, (std::vector<std::string>{" pars.bin dosyası bulunamadı."})) << other;
    form.close();
    EXPECT_FALSE(dir.exists("pars.bin") && !std::filesystem::is_directory(dir / "pars.bin")) << other;
  }
}

TEST_F(StartUp, ScansTheProgramFolderFromAnywhere) {
  addMidi("here.mid");
  dir.write("pars.bin", std::string());
  testing::TempDir elsewhere;
  elsewhere.write("other.mid", build::makeMidi({}));
  std::filesystem::current_path(elsewhere.path());

  Form1 form(platform);
  ASSERT_TRUE(form.startUp());
  EXPECT_EQ(entries(form.List_MID), (std::vector<std::string>{"here"}));
  form.close();
  EXPECT_EQ(dir.read("pars.bin").size(), 20u);
  EXPECT_FALSE(elsewhere.exists("pars.bin"));
}

TEST_F(StartUp, ClosingSavesExactlyOneRecord) {
  addMidi("a.mid");
  const std::string old(40, '\x5A');
  dir.write("pars.bin", old);
  platform.clock = {2026, 12, 6, 9, 0, 0};
  {
    Form1 form(platform);
    ASSERT_TRUE(form.startUp());
    platform.clock = {2026, 12, 6, 9, 45, 30};
    EXPECT_TRUE(form.close());
    form.close();  // a second close request writes nothing more
  }
  std::string now = dir.read("pars.bin");
  ASSERT_EQ(now.size(), 60u);
  EXPECT_EQ(now.substr(0, 40), old);
  std::vector<std::uint8_t> raw(now.begin(), now.end());
  RunRecord r = parseRunLog(raw).back();
  EXPECT_EQ(r.start, toOleDate({2026, 12, 6, 9, 0, 0}));
  EXPECT_EQ(r.end, toOleDate({2026, 12, 6, 9, 45, 30}));
}

TEST_F(StartUp, AFailedLogSaveSaysSoAndKeepsTheOldLog) {
  addMidi("a.mid");
  dir.write("pars.bin", std::string(20, '\x01'));
  Form1 form(platform);
  ASSERT_TRUE(form.startUp());
  platform.failOutputName = "pars.bin";
  form.close();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find("pars.bin"), std::string::npos);
  EXPECT_EQ(dir.read("pars.bin"), std::string(20, '\x01'));
}

}  // namespace
}  // namespace ezg
