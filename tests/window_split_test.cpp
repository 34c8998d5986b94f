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

Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

class WindowSplit : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::qtApp();
    dir.write("pars.bin", "");
    dir.write("ney.mid", notes(12));
    dir.write("tek.mid", notes(1));
    platform.programFolderPath = dir.path().string();
    form = std::make_unique<Form1>(platform);
    ASSERT_TRUE(form->startUp());
  }

  void select(const std::string& entry) {
    for (int i = 0; i < form->List_MID->count(); ++i)
      if (form->List_MID->item(i)->text().toStdString() == entry) form->List_MID->setCurrentRow(i);
  }
  void start(const std::string& entry) {
    select(entry);
    form->Command3_Click();
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int i = 0; i < form->List_MID->count(); ++i) out.push_back(form->List_MID->item(i)->text().toStdString());
    return out;
  }
  bool stripAt(int row) const {
    return form->Picture2->surface() == form->Picture1->surface().copy(0, row, 50, kStripWindowRows);
  }

  testing::TempDir dir;
  // Start-up moves into the test's folder; leave it before it is removed.
  struct KeepFolder {
    std::filesystem::path saved = std::filesystem::current_path();
    ~KeepFolder() { std::filesystem::current_path(saved); }
  } keepFolder;
  FakePlatform platform;
  std::unique_ptr<Form1> form;
};

TEST_F(WindowSplit, StartWritesBothFilesRefillsTheListAndMovesTheStrip) {
  // Picture1 holds the decoded bitmap; the strip starts closed.
  const std::vector<Rgb> drawn = drawStrip();
  const Rgb slider = drawn[260 * 50 + 20];
  EXPECT_EQ(form->Picture1->surface().pixel(20, 260), qRgb(slider.r, slider.g, slider.b));
  EXPECT_TRUE(stripAt(kStripClosedRow));

  start("ney");
  const SplitResult expected = splitNotes(FileBuffer(notes(12)));
  EXPECT_EQ(dir.read("ney_13.mid"), testing::asString(expected.copy13));
  EXPECT_EQ(dir.read("ney_24.mid"), testing::asString(expected.copy24));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ney", "ney_13", "ney_24", "tek"}));
  EXPECT_TRUE(stripAt(233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));

  // A copy splits in turn; a one-packet file leaves the strip where it was.
  start("ney_13");
  EXPECT_TRUE(dir.exists("ney_13_13.mid") && dir.exists("ney_13_24.mid"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ney", "ney_13", "ney_13_13", "ney_13_24", "ney_24", "tek"}));
  start("tek");
  EXPECT_EQ(dir.read("tek_13.mid"), testing::asString(notes(1)));
  EXPECT_EQ(platform.pumpCount, 12 * kPausePumpPasses);
  EXPECT_TRUE(stripAt(233));
}

TEST_F(WindowSplit, ClicksDuringASplitLeaveItAloneButTheListResetsTheStrip) {
  bool resetSeen = false;
  platform.onPump = [&](int pass) {
    if (pass == 5'000) {
      select("tek");
      form->Command3_Click();
      form->Command1_Click();
      form->Command2_Click();
    }
    if (pass == 25'000) {  // after the update for packet 5, row 235
      form->List_MID_Click();
      resetSeen = stripAt(kStripClosedRow);
    }
  };
  start("ney");
  EXPECT_TRUE(resetSeen);
  EXPECT_TRUE(stripAt(233));
  EXPECT_EQ(platform.pumpCount, 6 * kPausePumpPasses);
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_EQ(form->loaded().currentFileName, "ney.mid");
  EXPECT_FALSE(dir.exists("tek_13.mid"));
}

TEST_F(WindowSplit, ACloseDuringASplitTakesEffectOnceTheFilesAreWritten) {
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
  EXPECT_TRUE(dir.exists("ney_13.mid") && dir.exists("ney_24.mid"));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(dir.read("pars.bin").size(), 20u);  // the run log saved on the way out
}

TEST_F(WindowSplit, AFailedWriteNamesTheFileAndKeepsTheOldOutputs) {
  dir.write("ney_13.mid", "old 13");
  dir.write("ney_24.mid", "old 24 and longer");
  platform.failOutputName = "ney_24.mid";
  platform.failAfterBytes = 10;
  start("ney");
  EXPECT_EQ(platform.messages, std::vector<std::string>{"ney_24.mid dosyası yazılamadı: No space left on device"});
  EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
  EXPECT_EQ(dir.read("ney_24.mid"), "old 24 and longer");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5);  // no temporaries
}

}  // namespace
}  // namespace ezg
