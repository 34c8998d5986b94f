// ezgitar-cli's batches at their edges: odd inputs, clashing outputs, option
// spellings, full output streams and parallel jobs.
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;

class CliBatch : public ::testing::Test {
 protected:
  // A hang fails the test instead of blocking it.
  testing::CommandResult cli(const std::string& args, const std::string& redirect = "") const {
    return testing::runCommand("cd " + testing::shellQuote(dir.path().string()) + " && timeout 10 " EZGITAR_CLI " " +
                               args + redirect);
  }
  static bool oneLine(const testing::CommandResult& r) {
    return r.err.starts_with("ezgitar-cli: ") && r.err.find('\n') == r.err.size() - 1;
  }
  testing::TempDir dir;
};

// `count` notes, each after a four-byte delta time: one warning each.
Bytes warningSong(int count) {
  Bytes track;
  for (int i = 0; i < count; ++i) track.insert(track.end(), {0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x40});
  track.insert(track.end(), {0x00, 0xE0, 0x00, 0x41});
  return build::wrapTrack(track);
}

TEST_F(CliBatch, AFifoInputFailsAtOnceWithOneLineForEveryCommand) {
  ASSERT_EQ(::mkfifo((dir / "x.mid").c_str(), 0600), 0);
  for (const char* cmd : {"split", "report", "test"}) {
    const auto r = cli(std::string(cmd) + " x.mid");
    EXPECT_EQ(r.status, 2) << cmd;
    EXPECT_TRUE(oneLine(r)) << cmd << ": " << r.err;
    EXPECT_NE(r.err.find("x.mid: not a plain file"), std::string::npos) << r.err;
  }
}

TEST_F(CliBatch, CombinedShortOptionsEqualsValuesAndDashDashAreUnderstood) {
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  dir.write("a.mid", song);
  dir.write("-dash.mid", song);
  auto r = cli("split -qj2 a.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  r = cli("report --jobs=2 a.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.exists("a.txt"));
  r = cli("test -- -dash.mid");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliBatch, BadOptionValuesExitTwoWithOneLine) {
  dir.write("a.mid", build::makeMidi(std::vector<build::Note>(2)));
  for (const char* args : {"split -j 0 a.mid", "test -j x a.mid", "test -j 10000 a.mid", "report --frobnicate a.mid",
                           "split -o '' a.mid", "split -o a.mid a.mid", "report --decimal-separator '\n' a.mid"}) {
    const auto r = cli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    EXPECT_TRUE(oneLine(r)) << args << ": " << r.err;
    EXPECT_NE(r.err.find("--help')"), std::string::npos) << args << ": " << r.err;
  }
  EXPECT_FALSE(dir.exists("a_13.mid"));
}

TEST_F(CliBatch, AFullStandardOutputEndsTheRunWithStatusTwo) {
  dir.write("warn.mid", warningSong(2));
  const auto r = cli("test warn.mid", " >/dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ezgitar-cli: cannot write standard output"), std::string::npos) << r.err;
}

TEST_F(CliBatch, InputsWritingTheSameOutputAreRefusedOneLineEachAndTheRestRuns) {
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  for (const char* sub : {"x", "y", "z", "out"}) fs::create_directory(dir / sub);
  for (const char* name : {"x/a.mid", "y/a.mid", "z/a.mid", "b.mid"}) dir.write(name, song);
  const auto r = cli("split -o out x/a.mid y/a.mid b.mid ./z/../z/a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "ezgitar-cli: y/a.mid: skipped: x/a.mid writes a_13.mid too\n"
            "ezgitar-cli: ./z/../z/a.mid: skipped: x/a.mid writes a_13.mid too\n");
  EXPECT_EQ(r.out, "x/a.mid: 2 packets -> out/a_13.mid, out/a_24.mid\nb.mid: 2 packets -> out/b_13.mid, out/b_24.mid\n");
}

TEST_F(CliBatch, AnInputThatAnotherInputWritesIsRefused) {
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  dir.write("a.mid", song);
  dir.write("a_13.mid", std::string_view("old copy"));
  const auto r = cli("split a_13.mid a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ezgitar-cli: a_13.mid: skipped: a.mid writes it in this run\n");
  EXPECT_TRUE(dir.exists("a_24.mid"));
  EXPECT_FALSE(dir.exists("a_13_13.mid"));
}

TEST_F(CliBatch, AFolderWithoutMidFilesIsSaidSo) {
  fs::create_directory(dir / "empty");
  dir.write("empty/notes.txt", std::string_view("text"));
  const auto r = cli("test empty");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ezgitar-cli: empty: no .mid file in this folder\n");
}

TEST_F(CliBatch, ManyJobsPrintTheSameWarningsAsOne) {
  fs::create_directory(dir / "in");
  // One file warns for more than a megabyte of lines, so its lines wait in a
  // temporary file while the jobs run ahead.
  const int counts[] = {3, 40000, 0, 7, 1, 12};
  for (std::size_t i = 0; i < std::size(counts); ++i)
    dir.write("in/" + std::to_string(i) + ".mid", warningSong(counts[i]));
  const auto one = cli("test -j 1 in"), many = cli("test -j 4 in");
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(many.status, 1);
  EXPECT_GT(one.out.size(), std::size_t{1} << 20);
  EXPECT_TRUE(one.out == many.out);
  EXPECT_EQ(one.err, many.err);
}

TEST_F(CliBatch, AFileRewrittenDuringASplitNeverCrashesOrLeavesTemporaries) {
  const Bytes song = build::makeMidi(build::makamMelody(400'000, 2));
  for (int round = 0; round < 5; ++round) {
    dir.write("a.mid", song);
    std::atomic<bool> stop{false};
    std::jthread meddler([&] {
      for (bool cut = true; !stop; cut = !cut) dir.write("a.mid", cut ? Bytes(song.begin(), song.begin() + 100) : song);
    });
    const auto r = cli("split -q a.mid");
    stop = true;
    meddler.join();
    ASSERT_NE(r.status, -1) << "killed by a signal";
    if (r.status == 0) {
      EXPECT_EQ(fs::file_size(dir / "a_13.mid"), fs::file_size(dir / "a_24.mid"));
    } else {
      EXPECT_EQ(r.status, 2);
      EXPECT_TRUE(oneLine(r)) << r.err;
    }
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "a.mid" || name == "a_13.mid" || name == "a_24.mid") << name;
    }
  }
}

}  // namespace
}  // namespace ezg
