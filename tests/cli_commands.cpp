// ezgitar-cli's commands one at a time: usage, split, report and test.
#include <gtest/gtest.h>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;
using Split = Cli;
using Report = Cli;

TEST_F(Cli, HelpAndVersionGoToStandardOutput) {
  for (const std::string args : {"--help", "split --help", "report --help", "test --help", "--version"}) {
    const auto r = cli(args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_TRUE(r.out.starts_with("ezgitar-cli ") || r.out.starts_with("Usage: ezgitar-cli")) << args;
    EXPECT_TRUE(r.err.empty()) << args;
  }
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
    EXPECT_TRUE(r.status == 2 && r.out.empty()) << args;
    EXPECT_TRUE(oneLine(r) && r.err.ends_with(" --help')\n")) << args << ": " << r.err;
  }
  EXPECT_EQ(files(), 1);
}

TEST_F(Cli, UnderstandsCombinedShortOptionsEqualsValuesAndDashDash) {
  dir.write("a.mid", song);
  dir.write("-dash.mid", song);
  for (const char* args : {"split -qj2 a.mid", "report --jobs=2 a.mid", "test -- -dash.mid"})
    EXPECT_EQ(cli(args).status, 0) << args;
  EXPECT_TRUE(dir.exists("a_13.mid") && dir.exists("a.txt"));
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
  EXPECT_EQ(files(), 2);
}

TEST_F(Cli, WarningsNameTheFileAndPositionWithStatusOne) {
  dir.write("warn.mid", warningSong(3));
  dir.write("warn.txt", std::string_view("old"));
  const std::string tick = (dir / "warn.mid").string() + ":";
  const std::string lines = tick + "27: Çok büyük Tick ! !\n" + tick + "34: Çok büyük Tick ! !\n";
  const auto test = cli("test " + q("warn.mid"));
  EXPECT_TRUE(test.status == 1 && test.out == lines) << test.out;
  EXPECT_EQ(dir.read("warn.txt"), "old");  // a test writes nothing
  const auto report = cli("report -o " + q("") + " " + q("warn.mid"));
  EXPECT_TRUE(report.status == 1 && report.err == lines) << report.err;
  EXPECT_NE(dir.read("warn.txt"), "old");  // a report is still written
}

TEST_F(Cli, AFullStandardOutputEndsTheRunWithStatusTwo) {
  dir.write("warn.mid", warningSong(3));
  const auto r = cli("test warn.mid >/dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ezgitar-cli: cannot write standard output"), std::string::npos) << r.err;
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
  Bytes first = song;  // the first packet's velocities, silenced in copy 24
  first[36] = first[41] = 0;
  EXPECT_EQ(dir.read("sub/b_24.mid"), asString(first));
  EXPECT_EQ(dir.read("sub/b_13.mid").size(), song.size());
}

TEST_F(Split, LeavesAReadOnlyOldOutputAsItWasAndNoTemporaries) {
  dir.write("a.mid", song);
  dir.write("a_24.mid", std::string_view("locked"));
  fs::permissions(dir / "a_24.mid", fs::perms::owner_read);
  const auto r = cli("split a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("a_24.mid: the file is read-only"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("a_24.mid"), "locked");
  EXPECT_EQ(files(), 2);
}

TEST_F(Report, ReplacesAnOldLongerReportWithTheSeparatorGivenOrTheLocales) {
  dir.write("şarkı.mid", warningSong(0));
  // Without locale data a Turkish user still gets a decimal comma.
  const std::tuple<std::string, std::string, std::string> runs[] = {  // option, environment, cents
      {"--decimal-separator , ", "LC_ALL=C ", "   03,13 Cent\r\n"},
      {"", "LC_ALL= LC_NUMERIC= LANG=tr_TR.UTF-8 ", "   03,13 Cent\r\n"},
      {"", "LC_ALL=C ", "   03.13 Cent\r\n"}};
  for (const auto& [option, env, cents] : runs) {
    dir.write("şarkı.txt", std::string(100000, 'x'));
    EXPECT_EQ(cli("report " + option + "şarkı.mid", env).status, 0) << option << env;
    const std::string text = dir.read("şarkı.txt");
    EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD.txt\r\n\r\n----------HEADER CHUNK")) << env;
    EXPECT_TRUE(text.ends_with(cents + "\r\n\r\n")) << option << env;
  }
}

}  // namespace
}  // namespace ezg::testing
