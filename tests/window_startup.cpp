// Start-up: the list, the layout, the reasons to stop; closing and the run log.
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

const Bytes kSong = notes(4);

class StartUp : public WindowTest {};

TEST_F(StartUp, ListsTheMidiFilesByNameLessTheirLastFourCharacters) {
  for (const char* n : {"c.mid", "a.mid", "b.mid", ".mid", "x.mid.mid", "A.MID"}) dir.write(n, kSong);
  fs::create_directory(dir / "folder.mid");
  dir.write("pars.bin", "");
  start();
  EXPECT_EQ(view.entries, (Messages{"", "a", "b", "c", "x.mid"}));
  // A fill sets entries by index and leaves those past the new count.
  fs::remove(dir / ".mid");
  EXPECT_EQ(form->midiListFill(), 4);
  EXPECT_EQ(view.entries, (Messages{"a", "b", "c", "x.mid", "x.mid"}));
  EXPECT_EQ(form->listEntries(), view.entries);
}

TEST_F(StartUp, LaysTheWindowOutToTheFrameAndShowsTheStripClosed) {
  dir.write("a.mid", kSong);
  dir.write("pars.bin", "");
  start();
  EXPECT_EQ(view.caption, "Ezgitar sürüm 5");
  EXPECT_EQ(view.places, (std::map<Control, Place>{{Control::Frame_MID, {40, 32, 240, 240}},
                                                   {Control::List_MID, {8, 16, 220, 220}},
                                                   {Control::Command3, {40, 360, 240, 57}},
                                                   {Control::Picture2, {288, 37, 50, 235}}}));
  EXPECT_EQ(view.colours, (std::map<Control, Colour>{{Control::Frame_MID, {255, 128, 0}}}));
  EXPECT_EQ(view.visible, (std::map<Control, bool>{{Control::Frame_MID, true}}));
  EXPECT_EQ(view.strip, std::vector<int>{kStripClosedRow});
  EXPECT_EQ(view.repaints, std::vector<Repaint>{Repaint::WhenDue});
}

// Neither MIDI files nor a log: only the MIDI message shows. A folder that
// cannot be read is said so. Either ends the run, the log untouched.
TEST_F(StartUp, WithNoMidiFilesOrAFolderThatCannotBeReadTheRunEnds) {
  start(false);
  EXPECT_EQ(view.messages, Messages{"midi dosyalarınızı uygulama klasörüne taşıyın."});
  EXPECT_EQ(view.closes, 1);
  EXPECT_FALSE(dir.exists("pars.bin"));
  dir.write("a.mid", kSong);
  dir.write("pars.bin", "");
  platform.scanFailure = FailureCode::NoPermission;
  start(false);
  EXPECT_EQ(view.messages, Messages{dir.path().string() + " klasörü okunamadı: erişim izni yok."});
  EXPECT_TRUE(view.places.empty());
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(dir.read("pars.bin"), "");
}

TEST_F(StartUp, ALogNotNamedExactlyParsBinCountsAsMissing) {
  dir.write("a.mid", kSong);
  for (const std::string name : {"", "PARS.BIN", "Pars.bin", "pars.bin/"}) {
    for (const char* old : {"PARS.BIN", "Pars.bin", "pars.bin"}) fs::remove_all(dir / old);
    if (name == "pars.bin/")
      fs::create_directory(dir / "pars.bin");  // a folder is not a plain file
    else if (!name.empty())
      dir.write(name, std::string(20, 'x'));
    start(false);
    EXPECT_EQ(view.messages, (Messages{" pars.bin dosyası bulunamadı."})) << name;
    EXPECT_TRUE(view.places.empty()) << name;  // never laid out
    EXPECT_EQ(view.closes, 1) << name;
    // By the names stored: where case is ignored, "pars.bin" opens PARS.BIN.
    const auto names = dir.names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "pars.bin"), name == "pars.bin/" ? 1 : 0) << name;
  }
}

class Closing : public WindowTest {
 protected:
  void SetUp() override {
    dir.write("a.mid", kSong);
    dir.write("pars.bin", std::string(40, '\x5A'));
    platform.clock = {2026, 12, 6, 9, 0, 0};
    start();
    platform.clock = {2026, 12, 6, 9, 45, 30};
  }
  void makeLogReadOnly() { fs::permissions(dir / "pars.bin", fs::perms::owner_read); }
  const std::string kCannotSave = "pars.bin dosyası yazılamadı: dosya salt okunur. Eski kayıtlar olduğu gibi duruyor.";
};

TEST_F(Closing, TheRunsRecordFollowsTheOldOnesStampedAtStartUpAndAtTheFirstClose) {
  form->closeRequest(CloseFrom::User);
  platform.clock = {2026, 12, 6, 10, 0, 0};
  form->closeRequest(CloseFrom::Signal);  // nothing more is written
  EXPECT_EQ(view.closes, 1);
  const std::string log = dir.read("pars.bin");
  ASSERT_EQ(log.size(), 60u);
  EXPECT_EQ(log.substr(0, 40), std::string(40, '\x5A'));    // the old records byte for byte
  EXPECT_EQ(log.substr(56), std::string(1, '\0') + "000");  // this run's status and code
  const RunRecord r = parseRunLog(std::vector<std::uint8_t>(log.begin(), log.end())).back();
  EXPECT_EQ(r.start, toOleDate({2026, 12, 6, 9, 0, 0}));
  EXPECT_EQ(r.end, toOleDate({2026, 12, 6, 9, 45, 30}));
}

// Said in a box, or on standard error after a signal, which may come with
// nobody at the screen: its close waits for no box, to come or already up.
TEST_F(Closing, ALogThatCannotBeSavedIsNamedWithWhyAndLeftAsItWas) {
  makeLogReadOnly();
  enum class How { User, Signal, SignalWhileTheBoxIsUp };
  for (How how : {How::User, How::Signal, How::SignalWhileTheBoxIsUp}) {
    SCOPED_TRACE(static_cast<int>(how));
    start();
    platform.errors.clear();
    if (how == How::SignalWhileTheBoxIsUp) view.onMessage = [&] { form->closeRequest(CloseFrom::Signal); };
    form->closeRequest(how == How::Signal ? CloseFrom::Signal : CloseFrom::User);
    EXPECT_EQ(view.messages, how == How::Signal ? Messages{} : Messages{kCannotSave});
    EXPECT_EQ(view.boxesEnded, how == How::SignalWhileTheBoxIsUp ? 1u : 0u);
    EXPECT_EQ(platform.errors, how == How::User ? Messages{} : Messages{kCannotSave});
    EXPECT_EQ(view.closes, 1);
  }
  EXPECT_EQ(dir.read("pars.bin"), std::string(40, '\x5A'));
}

}  // namespace
}  // namespace ezg::testing
