// File names, and files replaced only whole.
#include <gtest/gtest.h>

#include "midi/midi_names.h"
#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;

TEST(MidiNames, MatchesTheExactExtensionStripsItAndSortsInByteOrder) {
  EXPECT_TRUE(isMidiFileName("a.mid") && isMidiFileName(".mid"));
  EXPECT_FALSE(isMidiFileName("A.MID") || isMidiFileName("a.midi") || isMidiFileName("mid"));
  EXPECT_EQ(listEntryFor("Uşşak peşrevi.mid"), "Uşşak peşrevi");
  EXPECT_EQ(sortedMidiNames({"c.mid", "b.mid", "notes.txt", "a.mid", "B.mid", "ç.mid", "_x.mid"}),
            (std::vector<std::string>{"B.mid", "_x.mid", "a.mid", "b.mid", "c.mid", "ç.mid"}));
}

TEST(SafeFile, ReplacesOnlyWhenCommitted) {
  testing::TempDir dir;
  auto files = [&] { return std::distance(fs::directory_iterator(dir.path()), {}); };
  dir.write("out.bin", "old contents that are long");
  {
    SafeFile out(dir / "out.bin");
    out.write("new");
    // Not committed: the old file stays, no temporary is left.
  }
  EXPECT_EQ(dir.read("out.bin"), "old contents that are long");
  EXPECT_EQ(files(), 1);
  ASSERT_FALSE(writeFileSafely(dir / "out.bin", "new"));
  EXPECT_EQ(dir.read("out.bin"), "new");  // no tail of the longer old file
  EXPECT_EQ(files(), 1);

  // What the user locked stays locked, even for root.
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const Status failed = writeFileSafely(dir / "out.bin", "newer");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::ReadOnlyFolder);
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(dir.read("out.bin"), "new");
  EXPECT_EQ(files(), 1);
}

}  // namespace
}  // namespace ezg
