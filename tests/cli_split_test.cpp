#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::TempDir;

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Runs the CLI in `dir` with shell-quoted-free arguments.
CliRun runCli(const TempDir& dir, const std::string& args) {
  const std::string cmd = "cd '" + dir.path().string() + "' && '" EZGITAR_CLI "' " + args +
                          " >.stdout 2>.stderr";
  const int raw = std::system(cmd.c_str());
  CliRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = dir.read(".stdout");
  r.err = dir.read(".stderr");
  return r;
}

// Two default notes; note 0's velocities sit at offsets 36 and 41, note 1's
// at 49 and 54 (13 bytes a note from offset 30).
Bytes twoNotes() { return build::makeMidi(std::vector<build::Note>(2)); }

Bytes silenced(Bytes b, std::size_t note) {
  b[30 + 13 * note + 6] = 0;
  b[30 + 13 * note + 11] = 0;
  return b;
}

TEST(CliSplit, WritesBothCopiesNextToEachInputAndKeepsGoingPastBadFiles) {
  TempDir dir;
  dir.write("a.mid", twoNotes());
  dir.write("empty.mid", "");
  std::filesystem::create_directory(dir / "sub");
  dir.write("sub/b.mid", twoNotes());

  const CliRun r = runCli(dir, "split a.mid missing.mid empty.mid sub/b.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(dir.read("a_13.mid"), testing::asString(silenced(twoNotes(), 1)));
  EXPECT_EQ(dir.read("a_24.mid"), testing::asString(silenced(twoNotes(), 0)));
  EXPECT_TRUE(dir.exists("sub/b_13.mid"));
  EXPECT_TRUE(dir.exists("sub/b_24.mid"));
  EXPECT_EQ(r.out,
            "a.mid: 2 packets -> a_13.mid, a_24.mid\n"
            "sub/b.mid: 2 packets -> sub/b_13.mid, sub/b_24.mid\n");
  EXPECT_EQ(r.err,
            "ezgitar-cli: missing.mid: no such file\n"
            "ezgitar-cli: empty.mid: empty file\n");
  EXPECT_FALSE(dir.exists("missing_13.mid"));
  EXPECT_FALSE(dir.exists("empty_13.mid"));
}

TEST(CliSplit, WritesIntoTheGivenFolderAndSucceedsWhenAllFilesSplit) {
  TempDir dir;
  dir.write("a.mid", twoNotes());
  std::filesystem::create_directory(dir / "out");
  const CliRun r = runCli(dir, "split -o out a.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.exists("out/a_13.mid"));
  EXPECT_TRUE(dir.exists("out/a_24.mid"));
  EXPECT_FALSE(dir.exists("a_13.mid"));
}

TEST(CliSplit, AnUnwritableOutputIsOneFailedFile) {
  TempDir dir;
  dir.write("a.mid", twoNotes());
  const CliRun r = runCli(dir, "split -o nowhere a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("a.mid: cannot write nowhere/a_13.mid"), std::string::npos) << r.err;
}

TEST(CliSplit, RefusesAMissingFileListOrAnUnknownOption) {
  TempDir dir;
  EXPECT_EQ(runCli(dir, "split").status, 2);
  EXPECT_EQ(runCli(dir, "split -o").status, 2);
  EXPECT_EQ(runCli(dir, "split -x a.mid").status, 2);
}

}  // namespace
}  // namespace ezg
