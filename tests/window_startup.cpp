// Start-up: the list, the layout, the two reasons to stop, and the run log.
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

const Bytes kSong = build::makeMidi(build::makamMelody(4, 7));

class StartUp : public WindowTest {};

TEST_F(StartUp, ListsTheMidiFilesByNameLessTheirLastFourCharacters) {
  for (const char* n : {"c.mid", "a.mid", "b.mid", ".mid", "x.mid.mid", "A.MID"}) dir.write(n, kSong);
  fs::create_directory(dir / "folder.mid");
  dir.write("pars.bin", "");
  EXPECT_EQ(entries(*start()), (Messages{"", "a", "b", "c", "x.mid"}));
}

TEST_F(StartUp, ShowsOnlyTheFrameListStartAndStripLaidOutToTheFrame) {
  dir.write("a.mid", kSong);
  dir.write("pars.bin", "");
  auto form = start();
  form->show();
  EXPECT_EQ(form->List_MID->geometry(), QRect(8, 16, 220, 220));
  EXPECT_EQ(form->Picture2->geometry(), QRect(288, 37, 50, 235));
  using Widgets = std::initializer_list<QWidget*>;
  for (auto* w : Widgets{form->Frame_MID, form->List_MID, form->Command3, form->Picture2}) EXPECT_TRUE(w->isVisible());
  for (auto* w : Widgets{form->Command1, form->Command2, form->File_MID, form->Picture1}) EXPECT_FALSE(w->isVisible());
}

TEST_F(StartUp, WithNeitherMidiFilesNorALogOnlyTheMidiMessageShows) {
  start(false)->close();
  EXPECT_EQ(platform.messages, Messages{"midi dosyalarınızı uygulama klasörüne taşıyın."});
  EXPECT_FALSE(dir.exists("pars.bin"));
}

TEST_F(StartUp, ALogNotNamedExactlyParsBinCountsAsMissing) {
  dir.write("a.mid", kSong);
  for (const std::string name : {"", "PARS.BIN", "Pars.bin", "pars.bin/"}) {
    for (const char* old : {"PARS.BIN", "Pars.bin", "pars.bin"}) fs::remove_all(dir / old);
    if (name == "pars.bin/")
      fs::create_directory(dir / "pars.bin");  // a folder is not a plain file
    else if (!name.empty())
      dir.write(name, std::string(20, 'x'));
    platform.messages.clear();
    start(false)->close();
    EXPECT_EQ(platform.messages, (Messages{" pars.bin dosyası bulunamadı."})) << name;
    EXPECT_FALSE(fs::is_regular_file(dir / "pars.bin")) << name;
  }
}

TEST_F(StartUp, TheRunsRecordFollowsTheOldOnesStampedAtStartUpAndAtTheFirstClose) {
  dir.write("a.mid", kSong);
  dir.write("pars.bin", std::string(40, '\x5A'));
  platform.clock = {2026, 12, 6, 9, 0, 0};
  auto form = start();
  platform.clock = {2026, 12, 6, 9, 45, 30};
  EXPECT_TRUE(form->close());
  platform.clock = {2026, 12, 6, 10, 0, 0};
  form->close();  // nothing more is written
  const std::string log = dir.read("pars.bin");
  ASSERT_EQ(log.size(), 60u);
  EXPECT_EQ(log.substr(0, 40), std::string(40, '\x5A'));  // the old records byte for byte
  EXPECT_EQ(log.substr(56), std::string("\0" "000", 4));  // this run's status and code
  const RunRecord r = parseRunLog(std::vector<std::uint8_t>(log.begin(), log.end())).back();
  EXPECT_EQ(r.start, toOleDate({2026, 12, 6, 9, 0, 0}));
  EXPECT_EQ(r.end, toOleDate({2026, 12, 6, 9, 45, 30}));
}

TEST_F(StartUp, ALogThatCannotBeSavedIsNamedWithWhyAndLeftAsItWas) {
  dir.write("a.mid", kSong);
  dir.write("pars.bin", std::string(20, '\x42'));
  auto form = start();
  fs::permissions(dir / "pars.bin", fs::perms::owner_read);
  form->close();
  EXPECT_EQ(platform.messages,
            Messages{"pars.bin dosyası yazılamadı: dosya salt okunur. Eski kayıtlar olduğu gibi duruyor."});
  EXPECT_EQ(dir.read("pars.bin"), std::string(20, '\x42'));
}

}  // namespace
}  // namespace ezg::testing
