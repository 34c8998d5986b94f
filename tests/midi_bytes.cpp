#include <gtest/gtest.h>

#include <filesystem>

#include "midi/bytes.h"
#include "midi/midi_names.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

struct NibbleCase {
  std::int32_t value;
  std::int16_t msb, lsb;
};

TEST(Nibblize, SplitsBytesAndTruncatesNegativesTowardZero) {
  const NibbleCase cases[] = {{0x90, 9, 0},   {0xE0, 14, 0}, {0x2F, 2, 15}, {0xFF, 15, 15},
                              {0x0F, 0, 15},  {-1, 0, -1},   {-17, -1, -1}, {32767, 2047, 15},
                              {-32768, -2048, 0}};
  for (const auto& c : cases) {
    std::int16_t msb = 99, lsb = 99;
    Nibblize(c.value, msb, lsb);
    EXPECT_EQ(msb, c.msb) << c.value;
    EXPECT_EQ(lsb, c.lsb) << c.value;
  }
}

TEST(FileBuffer, ReadsOneBasedAndKnowsItsEnds) {
  FileBuffer buf(Bytes{'M', 0x00, 0x80, 0x9F, 0xFF});
  EXPECT_EQ(buf.readByte(1), 77);
  EXPECT_EQ(buf.readByte(5), 0xFF);
  EXPECT_EQ(buf.readByte(3), 0x80);
  EXPECT_EQ(buf.raw()[2], 0x80);  // offset p - 1
  EXPECT_TRUE(buf.has(1));
  EXPECT_TRUE(buf.has(5));
  EXPECT_FALSE(buf.has(0));
  EXPECT_FALSE(buf.has(6));
  EXPECT_FALSE(FileBuffer().has(1));
}

TEST(MidiNames, MatchesExactExtensionAndStripsFourCharacters) {
  EXPECT_TRUE(isMidiFileName("a.mid"));
  EXPECT_TRUE(isMidiFileName(".mid"));
  EXPECT_FALSE(isMidiFileName("A.MID"));
  EXPECT_FALSE(isMidiFileName("a.midi"));
  EXPECT_FALSE(isMidiFileName("mid"));
  EXPECT_EQ(listEntryFor("x.mid.mid"), "x.mid");
  EXPECT_EQ(listEntryFor(".mid"), "");
  EXPECT_EQ(listEntryFor("Uşşak peşrevi.mid"), "Uşşak peşrevi");
}

TEST(MidiNames, SortsInByteOrder) {
  auto sorted = sortedMidiNames({"c.mid", "b.mid", "notes.txt", "a.mid", "B.mid", "ç.mid", "_x.mid"});
  EXPECT_EQ(sorted, (std::vector<std::string>{"B.mid", "_x.mid", "a.mid", "b.mid", "c.mid", "ç.mid"}));
}

TEST(SafeFile, ReplacesOnlyWhenCommitted) {
  testing::TempDir dir;
  dir.write("out.bin", std::string_view("old contents that are long"));
  {
    SafeFile out(dir / "out.bin");
    out.write("new");
    // Not committed: the old file stays, no temporary is left.
  }
  EXPECT_EQ(dir.read("out.bin"), "old contents that are long");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  std::string error;
  ASSERT_TRUE(writeFileSafely(dir / "out.bin", "new", &error)) << error;
  EXPECT_EQ(dir.read("out.bin"), "new");  // no tail of the longer old file
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SafeFile, FailsCleanlyWhenTheFolderIsMissingOrTheTargetIsAFolder) {
  testing::TempDir dir;
  std::string error;
  EXPECT_FALSE(writeFileSafely(dir / "no-such-folder" / "x.mid", "x", &error));
  EXPECT_FALSE(error.empty());

  std::filesystem::create_directory(dir / "taken.mid");
  error.clear();
  EXPECT_FALSE(writeFileSafely(dir / "taken.mid", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.mid"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SafeFile, LeavesAReadOnlyFileAlone) {
  testing::TempDir dir;
  dir.write("locked.mid", std::string_view("keep me"));
  std::filesystem::permissions(dir / "locked.mid", std::filesystem::perms::owner_read);
  std::string error;
  EXPECT_FALSE(writeFileSafely(dir / "locked.mid", "new", &error));
  EXPECT_EQ(error, "the file is read-only");
  EXPECT_EQ(dir.read("locked.mid"), "keep me");
}

TEST(ReadWholeFile, ReadsEveryByteAndRefusesWhatIsNotAFile) {
  testing::TempDir dir;
  std::string all;
  for (int i = 0; i < 70000; ++i) all.push_back(static_cast<char>(i * 7));
  dir.write("big.mid", all);
  auto r = readWholeFile(dir / "big.mid");
  ASSERT_TRUE(r.bytes);
  EXPECT_EQ(testing::asString(*r.bytes), all);

  EXPECT_FALSE(readWholeFile(dir / "missing.mid").bytes);
  std::filesystem::create_directory(dir / "folder.mid");
  auto f = readWholeFile(dir / "folder.mid");
  EXPECT_FALSE(f.bytes);
  EXPECT_FALSE(f.error.empty());
}

}  // namespace
}  // namespace ezg
