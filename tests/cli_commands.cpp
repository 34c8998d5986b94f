// ezgitar-cli's commands one at a time: usage, split, report and test.
#include <gtest/gtest.h>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;
using Split = Cli;
using Report = Cli;
using TestCommand = Cli;

// Two notes whose delta times run to four bytes, at positions 24 and 31.
const Bytes kWarningSong = build::wrapTrack(
    {0x00, 0x90, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x3C, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xE0, 0x00, 0x41});

TEST_F(Cli, HelpAndVersionGoToStandardOutput) {
  const auto top = cli("--help");
  EXPECT_EQ(top.status, 0);
  EXPECT_TRUE(top.out.starts_with("Usage: ezgitar-cli") && top.err.empty()) << top.out << top.err;
  for (const std::string cmd : {"split", "report", "test"}) {
    EXPECT_NE(top.out.find(cmd), std::string::npos) << cmd;
    const auto help = cli(cmd + " --help");
    EXPECT_EQ(help.status, 0) << cmd;
    for (const std::string& part : {"Usage: ezgitar-cli " + cmd, "Examples:"s, "--jobs"s})
      EXPECT_NE(help.out.find(part), std::string::npos) << cmd << ": " << part;
  }
  const auto version = cli("--version");
  EXPECT_TRUE(version.status == 0 && version.out.starts_with("ezgitar-cli ") && version.out.ends_with("\n"))
      << version.out;
}

TEST_F(Cli, AUsageMistakeExitsTwoWithOneLineAndWritesNothing) {
  dir.write("a.mid", song);
  std::vector<std::string> mistakes = {"", "frobnicate", "--frobnicate", "report --decimal-separator ab a.mid",
                                       "report --decimal-separator '\n' a.mid", "test -j x a.mid",
                                       "test -j 10000 a.mid", "split -o '' a.mid", "split -o a.mid a.mid"};
  for (const std::string cmd : {"split", "report", "test"})
    for (const char* bad : {"", " --jobs 0 a.mid", " --jobs", " --bogus a.mid", " -o", " -x a.mid"})
      mistakes.push_back(cmd + bad);
  for (const std::string& args : mistakes) {
    const auto r = cli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    EXPECT_TRUE(oneLine(r) && r.err.ends_with(" --help')\n")) << args << ": " << r.err;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST_F(Cli, UnderstandsCombinedShortOptionsEqualsValuesAndDashDash) {
  dir.write("a.mid", song);
  dir.write("-dash.mid", song);
  for (const char* args : {"split -qj2 a.mid", "report --jobs=2 a.mid", "test -- -dash.mid"}) {
    const auto r = cli(args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
  }
  EXPECT_TRUE(dir.exists("a_13.mid") && dir.exists("a.txt"));
}

TEST_F(Split, SilencesTheCopiesAndSaysWhereTheyWent) {
  Bytes first = song;  // the first packet's velocities, silenced in copy 24
  first[36] = first[41] = 0;
  dir.write("a.mid", song);
  fs::create_directory(dir / "out");
  const auto r = cli("split -o out a.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "a.mid: 2 packets -> out/a_13.mid, out/a_24.mid\n");
  EXPECT_EQ(dir.read("out/a_24.mid"), asString(first));
  EXPECT_EQ(dir.read("out/a_13.mid").size(), song.size());
}

TEST_F(Split, WritesNextToEachInputAndKeepsGoingPastMissingAndEmptyOnes) {
  fs::create_directory(dir / "sub");
  dir.write("a.mid", song);
  dir.write("sub/b.mid", song);
  dir.write("empty.mid", "");
  const auto r = cli("split a.mid missing.mid empty.mid sub/b.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "a.mid: 2 packets -> a_13.mid, a_24.mid\nsub/b.mid: 2 packets -> sub/b_13.mid, sub/b_24.mid\n");
  EXPECT_EQ(r.err, "ezgitar-cli: missing.mid: no such file\nezgitar-cli: empty.mid: empty file\n");
  EXPECT_TRUE(dir.exists("sub/b_24.mid"));
}

TEST_F(Cli, AMissingOutputFolderIsToldPerInputAndLeavesOldFilesAlone) {
  dir.write("a.mid", song);
  dir.write("a.txt", std::string_view("old"));
  for (const std::string cmd : {"split", "report"}) {
    const auto r = cli(cmd + " -o nowhere a.mid nothere.mid");
    EXPECT_EQ(r.status, 2) << cmd;
    EXPECT_NE(r.err.find("ezgitar-cli: a.mid: cannot write nowhere/a"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ezgitar-cli: nothere.mid: no such file"), std::string::npos) << r.err;
  }
  EXPECT_EQ(dir.read("a.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

TEST_F(Split, LeavesAReadOnlyOldOutputAsItWasAndNoTemporaries) {
  dir.write("a.mid", song);
  dir.write("a_24.mid", std::string_view("locked"));
  fs::permissions(dir / "a_24.mid", fs::perms::owner_read);
  const auto r = cli("split a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("a_24.mid: the file is read-only"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("a_24.mid"), "locked");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

TEST_F(Report, ReplacesAnOldLongerReportUsingTheSeparatorGiven) {
  dir.write("şarkı 3.mid", build::makeMidi(build::makamMelody(23, 3)));
  dir.write("şarkı 3.txt", std::string(100000, 'x'));
  const auto r = cli("report --decimal-separator , " + q("şarkı 3.mid"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const std::string text = dir.read("şarkı 3.txt");
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD 3.txt\r\n\r\n----------HEADER CHUNK--------------\r\n"));
  EXPECT_NE(text.find(",00 Cent\r\n"), std::string::npos);
  EXPECT_EQ(text.find(".00 Cent\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\n\r\n\r\n"));
}

TEST_F(Report, TakesTheLocalesSeparatorEvenWithoutLocaleData) {
  dir.write("a.mid", kWarningSong);  // its bend is 3.125 cents
  const std::pair<std::string, std::string> cases[] = {{"LC_ALL= LC_NUMERIC= LANG=tr_TR.UTF-8 ", "   03,13 Cent\r\n"},
                                                       {"LC_ALL=C ", "   03.13 Cent\r\n"}};
  for (const auto& [env, cents] : cases) {
    ASSERT_EQ(cli("report -q a.mid", env).status, 1) << env;
    EXPECT_NE(dir.read("a.txt").find(cents), std::string::npos) << env;
  }
}

TEST_F(Report, WarnsOnStandardErrorWithStatusOneAndStillWrites) {
  dir.write("other.bin", kWarningSong);
  fs::create_directory(dir / "out");
  const auto r = cli("report -o out " + q("other.bin"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "other.bin").string();
  EXPECT_EQ(r.err, input + ":24" + kTick + input + ":31" + kTick);
  EXPECT_TRUE(dir.exists("out/other.bin.txt"));
  EXPECT_FALSE(dir.exists("other.bin.txt"));
}

TEST_F(TestCommand, PrintsOneLinePerWarningAndWritesNothing) {
  dir.write("warn.mid", kWarningSong);
  dir.write("clean.mid", build::makeMidi(build::makamMelody(20, 3)));
  dir.write("warn.txt", "old");
  auto r = cli("test " + q("clean.mid"));
  EXPECT_TRUE(r.status == 0 && r.out.empty()) << r.out;
  r = cli("test " + q("clean.mid") + " " + q("warn.mid"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "warn.mid").string();
  EXPECT_EQ(r.out, input + ":24" + kTick + input + ":31" + kTick);
  EXPECT_EQ(dir.read("warn.txt"), "old");
  EXPECT_FALSE(dir.exists("clean.txt"));
}

TEST_F(TestCommand, AFullStandardOutputEndsTheRunWithStatusTwo) {
  dir.write("warn.mid", kWarningSong);
  const auto r = cli("test warn.mid >/dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ezgitar-cli: cannot write standard output"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace ezg::testing
