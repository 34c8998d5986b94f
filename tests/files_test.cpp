// File names, a file replaced only whole, what a folder holds left alone,
// names printed safely. What each system's layer refuses: safe_write_*.cpp.
#include <gtest/gtest.h>

#include <algorithm>

#include "files/folder.h"
#include "files/midi_names.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The extension's case counts only where the file system's does.
TEST(MidiNames, HaveTheExtensionInTheFileSystemsCaseAndSortByByte) {
  for (const char* name : {"a.mid", ".mid", "şarkı 3.mid"}) EXPECT_TRUE(isMidiFileName(name)) << name;
  for (const char* name : {"a.midi", "mid", "a.mid.txt"}) EXPECT_FALSE(isMidiFileName(name)) << name;
  for (const char* name : {"A.MID", "a.Mid"}) EXPECT_EQ(isMidiFileName(name), kNamesIgnoreCase) << name;
  EXPECT_EQ(baseNameOf("Uşşak peşrevi.mid"), "Uşşak peşrevi");
  EXPECT_EQ(baseNameOf("SONG.MID"), kNamesIgnoreCase ? "SONG" : "SONG.MID");
  // The list's empty entry, and no output base at all.
  EXPECT_EQ(baseNameOf(".mid"), "");
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

// Names like a temporary's, the user's own files and a link out of the
// folder: a pair and a file written among them touch nothing else.
TEST(SafeWrite, WhateverAFolderHoldsOnlyTheOutputsChange) {
  const std::pair<const char*, const char*> planted[] = {
      {".ezgitar-AAAAAA.tmp", "someone else's"}, {".ezgitar-ağıt_13.mid", "look-alike"},
      {"#ağıt_24.mid#", "look-alike"},           {"notes.txt", "precious"},
      {"pars.bin", "twenty bytes of log."},
  };
  testing::TempDir dir;
  for (const auto& [name, bytes] : planted) dir.write(name, bytes);
  std::error_code noLinks;
  fs::create_directory(dir / "outside");
  dir.write("outside/v", "outside");
  fs::create_symlink("../outside/v", dir / ".ezgitar-BBBBBB.tmp", noLinks);
  dir.write("ağıt_13.mid", "old 13");
  dir.write("ağıt_24.mid", "old 24");
  const Names before = dir.tree();

  SafeFile out13(dir / "ağıt_13.mid"), out24(dir / "ağıt_24.mid");
  out13.write("new 13");
  out24.write("new 24");
  ASSERT_FALSE(commitBoth(out13, out24));
  ASSERT_FALSE(writeFileSafely(dir / "ağıt.txt", "report"));

  Names after = before;
  after.insert(std::upper_bound(after.begin(), after.end(), "ağıt.txt"), "ağıt.txt");
  EXPECT_EQ(dir.tree(), after);
  for (const auto& [name, bytes] : planted) EXPECT_EQ(dir.read(name), bytes) << name;
  EXPECT_EQ(dir.read("outside/v"), "outside");
  EXPECT_EQ(dir.read("ağıt_13.mid"), "new 13");
  EXPECT_EQ(dir.read("ağıt_24.mid"), "new 24");
}

TEST(PrintableNames, EscapeWhatWouldMoveTheCursorOrForgeALine) {
  EXPECT_EQ(printable("şarkı 3.mid"), "şarkı 3.mid");
  EXPECT_EQ(printable("a\x1b[2J\nb\r\tc\x7f"), "a\\x1b[2J\\nb\\r\\tc\\x7f");
  // U+009B is a terminal's one-byte CSI; U+00A0 is a letter like any other.
  EXPECT_EQ(printable("x\xc2\x9b"
                      "1m\xc2\xa0"),
            "x\\xc2\\x9b1m\xc2\xa0");
  EXPECT_EQ(printable("\xc2"), "\xc2");
}

}  // namespace
}  // namespace ezg
