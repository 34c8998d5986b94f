#include <gtest/gtest.h>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

class StartLoad : public ::testing::Test {
 protected:
  StartLoad() {
    testing::qtApp();
    platform.programFolderPath = dir.path().string();
    dir.write("pars.bin", std::string());
  }
  ~StartLoad() override { std::filesystem::current_path(saved); }

  std::unique_ptr<Form1> startWith(std::initializer_list<std::pair<std::string, Bytes>> files) {
    for (const auto& [name, bytes] : files) dir.write(name, bytes);
    auto form = std::make_unique<Form1>(platform);
    EXPECT_TRUE(form->startUp());
    return form;
  }

  void select(Form1& form, const std::string& entry) {
    auto found = form.List_MID->findItems(QString::fromStdString(entry), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry;
    form.List_MID->setCurrentItem(found.front());
  }

  std::filesystem::path saved = std::filesystem::current_path();
  testing::TempDir dir;
  FakePlatform platform;
};

TEST_F(StartLoad, NoSelectionOrAnEmptyEntryAsksForOneAndKeepsWhatWasLoaded) {
  Bytes song = build::makeMidi(build::makamMelody(3, 1));
  auto form = startWith({{".mid", Bytes{'M'}}, {"song.mid", song}});
  ASSERT_EQ(form->List_MID->item(0)->text(), "");

  form->Command3->click();  // nothing selected
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Bir dosya seçin."}));
  EXPECT_EQ(platform.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
  EXPECT_FALSE(form->loaded().loaded());

  select(*form, "song");
  form->Command3->click();
  ASSERT_EQ(form->loaded().baseName, "song");

  form->List_MID->setCurrentRow(0);  // the entry of ".mid"
  platform.messages.clear();
  form->Command3->click();
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Bir dosya seçin."}));
  EXPECT_EQ(form->loaded().baseName, "song");
  EXPECT_EQ(form->loaded().buffer.raw(), song);
}

TEST_F(StartLoad, LoadsEveryByteOfTheSelectedFileAndReplacesTheWholeState) {
  Bytes odd = build::makeMidi({});
  for (int v : {0, 128, 144, 159, 255, 10, 13}) odd.push_back(static_cast<std::uint8_t>(v));
  Bytes big = build::makeMidi(build::makamMelody(4000, 3));  // far past 32,767 bytes
  ASSERT_GT(big.size(), 40000u);
  auto form = startWith({{"x.mid.mid", odd}, {"büyük şarkı.mid", big}});

  select(*form, "büyük şarkı");
  form->Command3->click();
  EXPECT_EQ(form->loaded().fileLength, static_cast<std::int64_t>(big.size()));
  EXPECT_EQ(form->loaded().buffer.readByte(1), 77);
  EXPECT_EQ(form->loaded().buffer.readByte(form->loaded().fileLength), big.back());

  select(*form, "x.mid");
  form->Command3->click();
  const LoadedFile& f = form->loaded();
  EXPECT_EQ(f.baseName, "x.mid");
  EXPECT_EQ(f.currentFileName, "x.mid.mid");
  EXPECT_EQ(f.fileLength, static_cast<std::int64_t>(odd.size()));
  EXPECT_EQ(f.buffer.raw(), odd);  // nothing of the longer first file is left
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.pointers.back(), Pointer::Default);
}

TEST_F(StartLoad, AFileThatVanishedIsEmptyOrIsAFolderIsRefusedByName) {
  Bytes song = build::makeMidi(build::makamMelody(2, 5));
  auto form = startWith({{"song.mid", song}, {"gone.mid", song}, {"empty.mid", Bytes{}}, {"dir.mid", song}});
  select(*form, "song");
  form->Command3->click();

  std::filesystem::remove(dir / "gone.mid");
  std::filesystem::remove(dir / "dir.mid");
  std::filesystem::create_directory(dir / "dir.mid");
  for (const char* name : {"gone", "empty", "dir"}) {
    platform.messages.clear();
    select(*form, name);
    form->Command3->click();
    ASSERT_EQ(platform.messages.size(), 1u) << name;
    EXPECT_NE(platform.messages[0].find(std::string(name) + ".mid"), std::string::npos) << platform.messages[0];
    EXPECT_EQ(form->loaded().baseName, "song") << name;
    EXPECT_EQ(form->loaded().buffer.raw(), song) << name;
    EXPECT_EQ(platform.pointers.back(), Pointer::Default);
  }
}

}  // namespace
}  // namespace ezg
