#include <gtest/gtest.h>

#include <filesystem>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::TempDir;

Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

class WindowSplit : public ::testing::Test {
 protected:
  WindowSplit() {
    testing::qtApp();
    dir.write("pars.bin", "");
    dir.write("ney.mid", notes(12));
    dir.write("tek.mid", notes(1));
    platform.programFolderPath = dir.path().string();
  }

  // Start-up, then Start on `entry`.
  void start(const std::string& entry) {
    select(entry);
    form->Command3_Click();
  }
  void select(const std::string& entry) {
    for (int i = 0; i < form->List_MID->count(); ++i)
      if (form->List_MID->item(i)->text().toStdString() == entry) form->List_MID->setCurrentRow(i);
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int i = 0; i < form->List_MID->count(); ++i) out.push_back(form->List_MID->item(i)->text().toStdString());
    return out;
  }
  // The strip shows Picture1's rows from `row` on.
  bool stripAt(int row) const {
    return form->Picture2->surface() == form->Picture1->surface().copy(0, row, 50, kStripWindowRows);
  }
  std::vector<std::string> temporaries() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename().string().find(".tmp-") != std::string::npos) out.push_back(e.path().filename().string());
    return out;
  }
  void boot() {
    form = std::make_unique<Form1>(platform);
    ASSERT_TRUE(form->startUp());
  }

  TempDir dir;
  // Start-up moves into the test's folder; leave it before it is removed.
  struct KeepFolder {
    std::filesystem::path saved = std::filesystem::current_path();
    ~KeepFolder() { std::filesystem::current_path(saved); }
  } keepFolder;
  FakePlatform platform;
  std::unique_ptr<Form1> form;
};

TEST_F(WindowSplit, StartUpShowsTheDecodedZipperClosed) {
  boot();
  const QImage& strip = form->Picture1->surface();
  ASSERT_EQ(strip.size(), QSize(kStripWidth, kStripHeight));
  const std::vector<Rgb> drawn = drawStrip();
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; x < kStripWidth; ++x) {
      const Rgb p = drawn[static_cast<std::size_t>(y * kStripWidth + x)];
      ASSERT_EQ(strip.pixel(x, y), qRgb(p.r, p.g, p.b)) << x << "," << y;
    }
  EXPECT_TRUE(stripAt(kStripClosedRow));
}

TEST_F(WindowSplit, StartWritesBothFilesRefillsTheListAndMovesTheStrip) {
  boot();
  start("ney");
  const SplitResult expected = splitNotes(FileBuffer(notes(12)));
  EXPECT_EQ(dir.read("ney_13.mid"), testing::asString(expected.copy13));
  EXPECT_EQ(dir.read("ney_24.mid"), testing::asString(expected.copy24));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ney", "ney_13", "ney_24", "tek"}));
  EXPECT_TRUE(stripAt(233));  // last update for packet 11
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_TRUE(platform.messages.empty());

  // A copy splits in turn; a one-packet file leaves the strip where it was.
  start("ney_13");
  EXPECT_TRUE(dir.exists("ney_13_13.mid"));
  EXPECT_TRUE(dir.exists("ney_13_24.mid"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek"}));
  const int pumps = platform.pumpCount;
  start("tek");
  EXPECT_EQ(dir.read("tek_13.mid"), testing::asString(notes(1)));
  EXPECT_EQ(platform.pumpCount, pumps);
  EXPECT_TRUE(stripAt(233));
  form->List_MID_Click();
  EXPECT_TRUE(stripAt(kStripClosedRow));
}

TEST_F(WindowSplit, ClicksDuringASplitLeaveItAloneButTheListResetsTheStrip) {
  boot();
  bool resetSeen = false;
  platform.onPump = [&](int pass) {
    if (pass == 5'000) {
      select("tek");
      form->Command3_Click();
      form->Command1_Click();
      form->Command2_Click();
    }
    if (pass == 25'000) {  // after the update for packet 5
      ASSERT_TRUE(stripAt(235));
      form->List_MID_Click();
      resetSeen = stripAt(kStripClosedRow);
    }
  };
  start("ney");
  EXPECT_TRUE(resetSeen);
  EXPECT_TRUE(stripAt(233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().baseName, "ney");
  EXPECT_EQ(form->loaded().currentFileName, "ney.mid");
  EXPECT_FALSE(dir.exists("tek_13.mid"));
}

TEST_F(WindowSplit, ACloseDuringASplitTakesEffectOnceTheFilesAreWritten) {
  boot();
  form->show();
  bool waited = false;
  platform.onPump = [&](int pass) {
    if (pass != 15'000) return;
    form->close();
    waited = form->isVisible() && !dir.exists("ney_13.mid") && dir.read("pars.bin").empty();
  };
  start("ney");
  EXPECT_TRUE(waited);
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_TRUE(dir.exists("ney_13.mid"));
  EXPECT_TRUE(dir.exists("ney_24.mid"));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(dir.read("pars.bin").size(), 20u);  // the run log was saved on the way out
}

TEST_F(WindowSplit, AFailedWriteNamesTheFileAndKeepsTheOldOutputs) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  boot();
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  start("ney");
  EXPECT_EQ(platform.messages, std::vector<std::string>{"ney_24.mid dosyası yazılamadı: No space left on device"});
  EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
  EXPECT_EQ(dir.read("ney_24.mid"), "old 24 and longer");
  EXPECT_TRUE(temporaries().empty());
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
}

}  // namespace
}  // namespace ezg
