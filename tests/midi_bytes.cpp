// File names, and files replaced only whole.
#include <gtest/gtest.h>

#include "midi/midi_names.h"
#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;

TEST(MidiNames, OnlyTheExactLowerCaseExtensionIsMidi) {
  for (const char* name : {"a.mid", ".mid", "şarkı 3.mid"}) EXPECT_TRUE(isMidiFileName(name)) << name;
  for (const char* name : {"A.MID", "a.Mid", "a.midi", "mid", "a.mid.txt"}) EXPECT_FALSE(isMidiFileName(name)) << name;
  EXPECT_EQ(listEntryFor("Uşşak peşrevi.mid"), "Uşşak peşrevi");
}

TEST(MidiNames, SortInByteOrder) {
  EXPECT_EQ(sortedMidiNames({"c.mid", "b.mid", "notes.txt", "a.mid", "B.mid", "ç.mid", "_x.mid"}),
            (std::vector<std::string>{"B.mid", "_x.mid", "a.mid", "b.mid", "c.mid", "ç.mid"}));
}

long files(const testing::TempDir& dir) { return std::distance(fs::directory_iterator(dir.path()), {}); }

TEST(SafeFile, ReplacesTheWholeFileOnlyWhenCommitted) {
  testing::TempDir dir;
  dir.write("out.bin", "old contents that are long");
  SafeFile(dir / "out.bin").write("new");  // never committed
  EXPECT_EQ(dir.read("out.bin"), "old contents that are long");
  EXPECT_EQ(files(dir), 1);
  ASSERT_FALSE(writeFileSafely(dir / "out.bin", "new"));
  EXPECT_EQ(dir.read("out.bin"), "new");  // no tail of the longer old file
  EXPECT_EQ(files(dir), 1);
}

TEST(SafeFile, AReadOnlyFolderStaysUntouchedEvenForRoot) {
  testing::TempDir dir;
  dir.write("out.bin", "old");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const Status failed = writeFileSafely(dir / "out.bin", "new");
  fs::permissions(dir.path(), fs::perms::owner_all);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::ReadOnlyFolder);
  EXPECT_EQ(dir.read("out.bin"), "old");
  EXPECT_EQ(files(dir), 1);
}

}  // namespace
}  // namespace ezg
