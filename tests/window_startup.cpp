// Start-up, loading a file, and the run log kept in pars.bin.
#include "tests/support/window.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using Messages = std::vector<std::string>;

const Bytes kSong = build::makeMidi(build::makamMelody(4, 7));

class StartUp : public testing::WindowTest {};

TEST_F(StartUp, ShowsTheFolderListInOrderWithTheLayout) {
  for (const char* n : {"c.mid", "a.mid", "b.mid"}) dir.write(n, kSong);
  dir.write("pars.bin", "");
  auto form = start();
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(form->windowTitle().toStdString(), "Ezgitar sürüm 5");
  EXPECT_EQ(entries(*form), (Messages{"a", "b", "c"}));
  EXPECT_EQ(form->size(), QSize(367, 466));
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(255, 128, 0));
  EXPECT_EQ(form->Frame_MID->geometry(), QRect(40, 32, 240, 240));
  EXPECT_EQ(form->Frame_MID->palette().color(QPalette::Window), QColor(255, 128, 0));
  EXPECT_EQ(form->List_MID->geometry(), QRect(8, 16, 220, 220));
  EXPECT_EQ(form->Command3->geometry(), QRect(40, 360, 240, 57));
  EXPECT_EQ(form->Picture2->geometry(), QRect(288, 37, 50, 235));
  EXPECT_EQ(form->Command3->text(), "Start");
  EXPECT_EQ(form->Command1->text(), "TEST");
  EXPECT_EQ(form->Command2->text(), "to TXT");
  EXPECT_TRUE(form->Command3->font().bold());
  EXPECT_EQ(form->Command3->font().pointSizeF(), 18.0);
  EXPECT_EQ(form->List_MID->font().pointSizeF(), 12.0);
  // Shown: frame, list, Start and the strip window; never TEST or to TXT.
  form->show();
  using Widgets = std::initializer_list<QWidget*>;
  for (auto* w : Widgets{form->Frame_MID, form->List_MID, form->Command3, form->Picture2}) EXPECT_TRUE(w->isVisible());
  for (auto* w : Widgets{form->Command1, form->Command2, form->File_MID, form->Picture1}) EXPECT_FALSE(w->isVisible());
}

TEST_F(StartUp, WithoutMidiFilesOrPlainParsBinItEndsBeforeTheWindowAndLeavesTheLogAlone) {
  start(false);  // neither MIDI files nor a log: only the first message
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_FALSE(dir.exists("pars.bin"));
  platform.messages.clear();
  dir.write("pars.bin", "0123456789abcdefghij");
  dir.write("a.MID", "x");  // wrong case: not a MIDI name here
  fs::create_directory(dir / "folder.mid");
  auto form = start(false);
  EXPECT_EQ(platform.messages, (Messages{"midi dosyalarınızı uygulama klasörüne taşıyın."}));
  EXPECT_FALSE(form->runLog().runFlag());
  form->close();
  EXPECT_EQ(dir.read("pars.bin"), "0123456789abcdefghij");
  // With a MIDI file, a log under any other name counts as missing.
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
    EXPECT_FALSE(dir.exists("pars.bin") && !fs::is_directory(dir / "pars.bin")) << name;
  }
}

TEST_F(StartUp, ScansTheProgramFolderFromAnywhereAndClosingSavesOneRecord) {
  dir.write("here.mid", kSong);
  const std::string old(40, '\x5A');
  dir.write("pars.bin", old);
  testing::TempDir elsewhere;
  elsewhere.write("other.mid", build::makeMidi({}));
  fs::current_path(elsewhere.path());
  platform.clock = {2026, 12, 6, 9, 0, 0};
  {
    auto form = start();
    EXPECT_EQ(entries(*form), (Messages{"here"}));
    platform.clock = {2026, 12, 6, 9, 45, 30};
    EXPECT_TRUE(form->close());
    form->close();  // a second close request writes nothing more
  }
  EXPECT_FALSE(elsewhere.exists("pars.bin"));
  const std::string now = dir.read("pars.bin");
  ASSERT_EQ(now.size(), 60u);
  EXPECT_EQ(now.substr(0, 40), old);
  const RunRecord r = parseRunLog(std::vector<std::uint8_t>(now.begin(), now.end())).back();
  EXPECT_EQ(r.start, toOleDate({2026, 12, 6, 9, 0, 0}));
  EXPECT_EQ(r.end, toOleDate({2026, 12, 6, 9, 45, 30}));
}

TEST_F(StartUp, StartLoadsEveryByteOfTheSelectedFileOrRefusesItAndKeepsWhatWasLoaded) {
  Bytes odd = build::makeMidi({});
  for (int v : {0, 128, 144, 159, 255, 10, 13}) odd.push_back(static_cast<std::uint8_t>(v));
  const Bytes big = build::makeMidi(build::makamMelody(4000, 3));  // far past 32,767 bytes
  ASSERT_GT(big.size(), 40000u);
  for (const char* name : {"song.mid", "gone.mid", "dir.mid"}) dir.write(name, kSong);
  dir.write(".mid", Bytes{'M'});
  dir.write("x.mid.mid", odd);
  dir.write("büyük şarkı.mid", big);
  dir.write("empty.mid", "");
  dir.write("pars.bin", "");
  auto form = start();
  ASSERT_EQ(form->List_MID->item(0)->text(), "");
  const auto load = [&](const std::string& entry) {
    platform.messages.clear();
    if (entry == ".mid") form->List_MID->setCurrentRow(0);  // the entry of ".mid" is empty
    else if (!entry.empty()) select(*form, entry);
    form->Command3->click();
  };
  load("");  // nothing selected
  EXPECT_EQ(platform.messages, Messages{"Bir dosya seçin."});
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_FALSE(form->loaded().loaded());
  load("büyük şarkı");
  EXPECT_EQ(form->loaded().fileLength, static_cast<std::int64_t>(big.size()));
  EXPECT_EQ(form->loaded().buffer.readByte(1), 77);
  EXPECT_EQ(form->loaded().buffer.readByte(form->loaded().fileLength), big.back());
  EXPECT_TRUE(platform.messages.empty());
  load("x.mid");
  const LoadedFile& f = form->loaded();
  EXPECT_EQ(f.baseName, "x.mid");
  EXPECT_EQ(f.currentFileName, "x.mid.mid");
  EXPECT_EQ(f.fileLength, static_cast<std::int64_t>(odd.size()));
  EXPECT_EQ(f.buffer.raw(), odd);  // nothing of the longer first file is left
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  load("song");
  ASSERT_EQ(form->loaded().baseName, "song");
  load(".mid");
  EXPECT_EQ(platform.messages, Messages{"Bir dosya seçin."});
  // A file that vanished, is empty or is a folder is refused by name.
  fs::remove(dir / "gone.mid");
  fs::remove(dir / "dir.mid");
  fs::create_directory(dir / "dir.mid");
  for (const std::string name : {"gone", "empty", "dir"}) {
    load(name);
    ASSERT_EQ(platform.messages.size(), 1u) << name;
    EXPECT_NE(platform.messages[0].find(name + ".mid"), std::string::npos) << platform.messages[0];
    EXPECT_EQ(form->loaded().baseName, "song") << name;
    EXPECT_EQ(form->loaded().buffer.raw(), kSong) << name;
    EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  }
}

TEST_F(StartUp, ARunLogDeletedLockedOrSwappedForAFolderWhileRunning) {
  dir.write("a.mid", kSong);
  dir.write("pars.bin", std::string(20, '\x42'));
  {  // deleted: it comes back with every record it held
    auto form = start();
    fs::remove(dir / "pars.bin");
    form->close();
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_EQ(dir.read("pars.bin").size(), 40u);
    EXPECT_EQ(dir.read("pars.bin").substr(0, 20), std::string(20, '\x42'));
  }
  const std::string before = dir.read("pars.bin");
  {  // locked or a folder: one message naming it, and it is left as it is
    auto form = start();
    fs::permissions(dir / "pars.bin", fs::perms::owner_read | fs::perms::group_read);
    form->close();
    EXPECT_EQ(platform.messages, std::vector<std::string>{
                                     "pars.bin dosyası yazılamadı: dosya salt okunur. Eski kayıtlar olduğu gibi duruyor."});
    EXPECT_EQ(dir.read("pars.bin"), before);
  }
  fs::permissions(dir / "pars.bin", fs::perms::owner_all);
  platform.messages.clear();
  auto form = start();
  fs::remove(dir / "pars.bin");
  fs::create_directory(dir / "pars.bin");
  form->close();
  EXPECT_EQ(platform.messages, std::vector<std::string>{
                                   "pars.bin dosyası yazılamadı: bu adda bir klasör var. Eski kayıtlar olduğu gibi duruyor."});
  EXPECT_TRUE(fs::is_directory(dir / "pars.bin"));
}

TEST_F(StartUp, TwoInstancesInOneFolderLeaveTheLaterOnesLog) {
  // Each keeps the log it read at start-up and rewrites it whole at the end:
  // the record of the instance that ends first is lost, nothing else is.
  dir.write("a.mid", kSong);
  dir.write("pars.bin", std::string(20, '\x42'));
  FakePlatform other;
  other.programFolderPath = dir.path().string();
  other.clock = {2026, 12, 6, 13, 0, 0};
  auto first = start();
  Form1 second(other);
  ASSERT_TRUE(second.startUp());
  first->close();
  EXPECT_EQ(dir.read("pars.bin").size(), 40u);
  second.close();
  const std::string log = dir.read("pars.bin");
  ASSERT_EQ(log.size(), 40u);
  EXPECT_EQ(log.substr(0, 20), std::string(20, '\x42'));
  EXPECT_EQ(parseRunLog(std::vector<std::uint8_t>(log.begin(), log.end())).back().start, toOleDate(other.clock));
}

}  // namespace
}  // namespace ezg
