#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun runCli(const testing::TempDir& dir, const std::string& args) {
  const std::string cmd =
      "cd '" + dir.path().string() + "' && '" EZGITAR_CLI "' " + args + " >.stdout 2>.stderr";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read(".stdout"), dir.read(".stderr")};
}

TEST(CliSplit, SplitsEachFileAndKeepsGoingPastBadOnes) {
  testing::TempDir dir;
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  Bytes first = song;  // the first packet's velocities, silenced in copy 24
  first[36] = first[41] = 0;
  dir.write("a.mid", song);
  dir.write("empty.mid", "");
  std::filesystem::create_directory(dir / "sub");
  dir.write("sub/b.mid", song);

  const CliRun r = runCli(dir, "split a.mid missing.mid empty.mid sub/b.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(dir.read("a_24.mid"), testing::asString(first));
  EXPECT_TRUE(dir.exists("a_13.mid") && dir.exists("sub/b_13.mid") && dir.exists("sub/b_24.mid"));
  EXPECT_EQ(r.out,
            "a.mid: 2 packets -> a_13.mid, a_24.mid\n"
            "sub/b.mid: 2 packets -> sub/b_13.mid, sub/b_24.mid\n");
  EXPECT_EQ(r.err, "ezgitar-cli: missing.mid: no such file\nezgitar-cli: empty.mid: empty file\n");

  std::filesystem::create_directory(dir / "out");
  EXPECT_EQ(runCli(dir, "split -o out a.mid").status, 0);
  EXPECT_TRUE(dir.exists("out/a_13.mid") && dir.exists("out/a_24.mid"));
  const CliRun unwritable = runCli(dir, "split -o nowhere a.mid");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("a.mid: cannot write nowhere/a_13.mid"), std::string::npos) << unwritable.err;
}

TEST(CliSplit, RefusesAMissingFileListOrAnUnknownOption) {
  testing::TempDir dir;
  for (const char* args : {"split", "split -o", "split -x a.mid"}) EXPECT_EQ(runCli(dir, args).status, 2) << args;
}

}  // namespace
}  // namespace ezg
