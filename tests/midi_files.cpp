// File names, and a file replaced only whole: the part both systems share.
// What each system's file layer must refuse is in safe_write_posix.cpp and
// safe_write_win32.cpp.
#include <gtest/gtest.h>

#include "midi/folder.h"
#include "midi/midi_names.h"
#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The extension's case counts only where the file system's does.
TEST(MidiNames, TheExtensionIsMidiInTheCaseTheFileSystemTells) {
  for (const char* name : {"a.mid", ".mid", "şarkı 3.mid"}) EXPECT_TRUE(isMidiFileName(name)) << name;
  for (const char* name : {"a.midi", "mid", "a.mid.txt"}) EXPECT_FALSE(isMidiFileName(name)) << name;
  for (const char* name : {"A.MID", "a.Mid"}) EXPECT_EQ(isMidiFileName(name), kNamesIgnoreCase) << name;
  EXPECT_EQ(baseNameOf("Uşşak peşrevi.mid"), "Uşşak peşrevi");
  EXPECT_EQ(baseNameOf("SONG.MID"), kNamesIgnoreCase ? "SONG" : "SONG.MID");
  // The list's empty entry, and no output base at all.
  EXPECT_EQ(baseNameOf(".mid"), "");
}

TEST(MidiNames, SortInByteOrder) {
  EXPECT_EQ(sortedMidiNames({"c.mid", "b.mid", "notes.txt", "a.mid", "B.mid", "ç.mid", "_x.mid"}),
            (Names{"B.mid", "_x.mid", "a.mid", "b.mid", "c.mid", "ç.mid"}));
}

TEST(SafeWrite, ReplacesTheWholeFileOnlyWhenCommitted) {
  testing::TempDir dir;
  dir.write("out.bin", "old contents that are long");
  SafeFile(dir / "out.bin").write("new");  // never committed
  EXPECT_EQ(dir.read("out.bin"), "old contents that are long");
  EXPECT_EQ(dir.names(), Names{"out.bin"});
  ASSERT_FALSE(writeFileSafely(dir / "out.bin", "new"));
  EXPECT_EQ(dir.read("out.bin"), "new");  // no tail of the longer old file
  EXPECT_EQ(dir.names(), Names{"out.bin"});
}

}  // namespace
}  // namespace ezg
