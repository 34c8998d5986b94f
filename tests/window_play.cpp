// Listening in the window: a double click plays the entry's file; a click
// on the list, Start or closing stops it; a failure is a box in Turkish.
#include "tests/support/window.h"

namespace ezg::testing {
namespace {

class Play : public WindowTest {
 protected:
  void SetUp() override {
    for (auto [name, bytes] : {std::pair{"pars.bin", Bytes{}}, {"ney.mid", notes(3)}, {"tek.mid", notes(1)}})
      dir.write(name, bytes);
    start();
  }
  void doubleClick(const std::string& entry) {
    view.select(entry);
    form->List_MID_DblClick();
  }
  FakePlayer& player() { return platform.fakePlayer; }
};

TEST_F(Play, ADoubleClickPlaysTheEntrysFileAndAClickStartOrClosingStopsIt) {
  doubleClick("ney");
  ASSERT_EQ(player().played, std::vector<Bytes>{notes(3)});
  EXPECT_TRUE(player().playing);
  doubleClick("tek");  // the next piece replaces the one playing
  EXPECT_EQ(player().played.back(), notes(1));
  EXPECT_EQ(player().stops, 1);
  const std::size_t stripCopies = view.strip.size();
  form->List_MID_Click();
  EXPECT_FALSE(player().playing);
  EXPECT_EQ(view.strip.size(), stripCopies + 1);  // the click still does what it did
  EXPECT_EQ(view.strip.back(), kStripClosedRow);
  EXPECT_TRUE(view.pointers.empty());
  doubleClick("ney");
  startWith("tek");
  EXPECT_FALSE(player().playing);
  EXPECT_EQ(form->loaded().baseName, "tek");  // Start goes on as before
  doubleClick("ney");
  form->closeRequest(CloseFrom::User);
  EXPECT_FALSE(player().playing);
  EXPECT_EQ(view.closes, 1);
  EXPECT_TRUE(view.messages.empty());
}

// Nothing selected and the empty entry play nothing and say nothing.
TEST_F(Play, AMissingSoundFontOrAudioDeviceOrFileIsSaidInTurkish) {
  dir.write(".mid", notes(2));
  form->midiListFill();
  doubleClick("none");
  doubleClick("");
  EXPECT_TRUE(player().played.empty());
  player().failWith = sound::SoundFailure{sound::SoundTrouble::NoSoundFont, "/yok/TimGM6mb.sf2"};
  doubleClick("ney");
  player().failWith = sound::SoundFailure{sound::SoundTrouble::NoAudioOutput, {}};
  doubleClick("ney");
  player().failWith.reset();
  std::filesystem::remove(dir / "tek.mid");
  doubleClick("tek");
  EXPECT_EQ(view.messages,
            (Messages{"ney.mid çalınamadı: SoundFont ses bankası bulunamadı (/yok/TimGM6mb.sf2). timgm6mb-soundfont "
                      "paketini kurun ya da EZGITAR_SOUNDFONT ile kendi .sf2 dosyanızı gösterin.",
                      "ney.mid çalınamadı: ses çıkışı açılamadı; kullanılabilir bir ses aygıtı yok.",
                      "tek.mid dosyası okunamadı: dosya yok."}));
  EXPECT_FALSE(player().playing);
  EXPECT_EQ(form->loaded().baseName, "");  // listening loads nothing
}

}  // namespace
}  // namespace ezg::testing
