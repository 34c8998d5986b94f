// What the window does when files are odd, missing, locked or swapped
// under it: a clear message, no crash, nothing partial, nothing damaged.
#include <gtest/gtest.h>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;

class WindowFaults : public ::testing::Test {
 protected:
  WindowFaults() {
    testing::qtApp();
    platform.programFolderPath = dir.path().string();
    dir.write("pars.bin", std::string(20, '\x42'));
  }
  ~WindowFaults() override { fs::current_path(saved); }

  std::unique_ptr<Form1> start() {
    auto form = std::make_unique<Form1>(platform);
    EXPECT_TRUE(form->startUp());
    return form;
  }
  void select(Form1& form, const std::string& entry) {
    auto found = form.List_MID->findItems(QString::fromStdString(entry), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry;
    form.List_MID->setCurrentItem(found.front());
  }

  fs::path saved = fs::current_path();
  testing::TempDir dir;
  FakePlatform platform;
};

TEST_F(WindowFaults, ShortAndTruncatedFilesLoadSplitReportAndTestWithoutHarm) {
  const Bytes song = build::makeMidi(build::makamMelody(6, 4));
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"one", Bytes{0x4D}},
      {"header only", Bytes(song.begin(), song.begin() + 22)},
      {"first event", Bytes(song.begin(), song.begin() + 23)},
      {"ends in a bend", Bytes(song.begin(), song.begin() + 32)},          // E0 at 31, one data byte
      {"ends in a note", Bytes(song.begin(), song.end() - 6)},             // inside the last note-off
      {"-dash", song},
      {"Uşşak peşrevi", song},
  };
  for (const auto& [base, bytes] : files) dir.write(base + ".mid", bytes);
  auto form = start();
  for (const auto& [base, bytes] : files) {
    SCOPED_TRACE(base);
    platform.messages.clear();
    select(*form, base);
    form->Command3->click();
    form->Command2_Click();
    form->Command1_Click();
    for (const auto& m : platform.messages) EXPECT_EQ(m, "Çok büyük Tick ! !");
    EXPECT_EQ(dir.read(base + "_13.mid").size(), bytes.size());
    EXPECT_EQ(dir.read(base + "_24.mid").size(), bytes.size());
    const std::string report = dir.read(base + ".txt");
    ASSERT_GE(report.size(), 4u);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");  // written to its end
  }
  // No temporary file is left anywhere.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST_F(WindowFaults, AFailedSplitWriteKeepsBothOldOutputs) {
  dir.write("song.mid", build::makeMidi(build::makamMelody(6, 4)));
  dir.write("song_13.mid", std::string_view("old 13"));
  dir.write("song_24.mid", std::string_view("old 24"));
  auto form = start();
  select(*form, "song");
  platform.failOutputName = "song_24.mid";
  platform.failAfterBytes = 10;
  form->Command3->click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find("song_24.mid"), std::string::npos);
  EXPECT_EQ(dir.read("song_13.mid"), "old 13");
  EXPECT_EQ(dir.read("song_24.mid"), "old 24");
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
}

TEST_F(WindowFaults, ARunLogThatWasLockedOrSwappedForAFolderIsLeftAsItIs) {
  dir.write("a.mid", build::makeMidi(build::makamMelody(2, 4)));
  {
    auto form = start();
    fs::permissions(dir / "pars.bin", fs::perms::owner_read | fs::perms::group_read);
    form->close();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("pars.bin"), std::string::npos);
    EXPECT_EQ(dir.read("pars.bin"), std::string(20, '\x42'));
  }
  fs::permissions(dir / "pars.bin", fs::perms::owner_all);
  {
    platform.messages.clear();
    auto form = start();
    fs::remove(dir / "pars.bin");
    fs::create_directory(dir / "pars.bin");
    form->close();
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(fs::is_directory(dir / "pars.bin"));
  }
}

TEST_F(WindowFaults, ADeletedRunLogComesBackWithEveryRecordItHeld) {
  dir.write("a.mid", build::makeMidi(build::makamMelody(2, 4)));
  auto form = start();
  fs::remove(dir / "pars.bin");
  form->close();
  EXPECT_TRUE(platform.messages.empty());
  const std::string log = dir.read("pars.bin");
  ASSERT_EQ(log.size(), 40u);
  EXPECT_EQ(log.substr(0, 20), std::string(20, '\x42'));
}

TEST_F(WindowFaults, TwoInstancesInOneFolderLeaveTheLaterOnesLog) {
  // Each keeps the log it read at start-up and rewrites it whole at the end:
  // the record of the instance that ends first is lost, nothing else is.
  dir.write("a.mid", build::makeMidi(build::makamMelody(2, 4)));
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
  std::vector<std::uint8_t> raw(log.begin(), log.end());
  EXPECT_EQ(parseRunLog(raw).back().start, toOleDate(other.clock));
}

}  // namespace
}  // namespace ezg
