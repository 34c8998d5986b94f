// "to TXT" and "TEST" through the window, on the fake platform.
#include <gtest/gtest.h>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using namespace std::literals;

const std::string kWarning = "Çok büyük Tick ! !";

class ReportButtons : public ::testing::Test {
 protected:
  ReportButtons() {
    testing::qtApp();
    platform.programFolderPath = dir.path().string();
    dir.write("pars.bin", std::string());
    // A note whose delta time has four bytes, and a bend worth 3.125 cents.
    Bytes events = {0x00, 0xE0, 0x00, 0x41, 0x00, 0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00};
    song = build::wrapTrack(events);
    dir.write("şarkı.mid", song);
    form = std::make_unique<Form1>(platform);
    EXPECT_TRUE(form->startUp());
  }
  ~ReportButtons() override { std::filesystem::current_path(saved); }

  void load() {
    form->List_MID->setCurrentRow(0);
    form->Command3->click();
    ASSERT_TRUE(form->loaded().loaded());
    platform.messages.clear();
    platform.pointers.clear();
  }

  std::filesystem::path saved = std::filesystem::current_path();
  testing::TempDir dir;
  FakePlatform platform;
  Bytes song;
  std::unique_ptr<Form1> form;
};

TEST_F(ReportButtons, NothingLoadedGivesAMessageAndWritesNothing) {
  form->Command2->click();
  form->Command1->click();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0], "Önce Start ile bir MIDI dosyası yükleyin.");
  EXPECT_EQ(platform.messages[1], platform.messages[0]);
  EXPECT_FALSE(dir.exists(".txt"));
  EXPECT_TRUE(platform.pointers.empty());
}

TEST_F(ReportButtons, ReportWritesTheFileWarnsAndMovesThePosition) {
  load();
  platform.separator = ',';
  form->Command2->click();
  EXPECT_EQ(platform.messages, (std::vector<std::string>{kWarning}));
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.txt");
  EXPECT_EQ(form->position(), static_cast<std::int64_t>(song.size()) + 1);

  const std::string text = dir.read("şarkı.txt");
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD.txt\r\n\r\n----------HEADER CHUNK"));
  EXPECT_NE(text.find("0028   90   144       NOTE-ON   Kanal= 0\r\n0029   3C   060   <   Pitch=C \r\n"),
            std::string::npos);
  EXPECT_NE(text.find("   03,13 Cent\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("0037   00   000   \0   \r\n\r\n\r\n"sv));

  // A second run replaces the file; the old text is not kept behind it.
  dir.write("şarkı.txt", std::string(text.size() * 2, 'x'));
  form->Command2->click();
  EXPECT_EQ(dir.read("şarkı.txt"), text);
}

TEST_F(ReportButtons, TestWarnsLikeTheReportAndTouchesNoFile) {
  load();
  dir.write("şarkı.txt", std::string("old report"));
  const auto before = std::filesystem::last_write_time(dir / "şarkı.txt");
  const auto filesBefore = std::distance(std::filesystem::directory_iterator(dir.path()), {});

  form->Command1->click();
  EXPECT_EQ(platform.messages, (std::vector<std::string>{kWarning}));
  EXPECT_TRUE(platform.pointers.empty());
  EXPECT_EQ(form->position(), static_cast<std::int64_t>(song.size()) + 1);
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(std::filesystem::last_write_time(dir / "şarkı.txt"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), filesBefore);
}

TEST_F(ReportButtons, FailedWriteNamesTheFileAndKeepsTheOldReport) {
  load();
  dir.write("şarkı.txt", std::string("old report"));
  platform.failOutputName = "şarkı.txt";
  platform.failAfterBytes = 100;
  form->Command2->click();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0], kWarning);
  EXPECT_EQ(platform.messages[1], "şarkı.txt dosyası yazılamadı (No space left on device).");
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(dir.read("şarkı.txt"), "old report");
  EXPECT_EQ(form->loaded().currentFileName, "şarkı.mid");
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace ezg
