// ezgitar-cli run as a user would: usage, each command, and batches of
// folders, parallel jobs, clashing outputs and odd inputs.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

// `count` notes, each before a four-byte delta time, so every note but the
// last warns (at 27, 34, ...); then a bend of 3.125 cents.
Bytes warningSong(int count) {
  Bytes track;
  for (int i = 0; i < count; ++i) track.insert(track.end(), {0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x40});
  track.insert(track.end(), {0x00, 0xE0, 0x00, 0x41});
  return build::wrapTrack(track);
}

using Report = Cli;
using Batch = Cli;

TEST_F(Cli, HelpGoesToStandardOutputAndAUsageMistakeExitsTwoWithOneLineAndWritesNothing) {
  dir.write("a.mid", song);
  for (const std::string args : {"--help", "split --help", "report --help", "test --help", "--version"}) {
    const auto r = cli(args);
    EXPECT_TRUE(r.status == 0 && r.err.empty()) << args;
    EXPECT_TRUE(r.out.starts_with("ezgitar-cli ") || r.out.starts_with("Usage: ezgitar-cli")) << args;
  }
  // Every command reads its options alike: one's mistakes stand for all.
  const std::string mistakes[] = {"",
                                  "frobnicate",
                                  "--frobnicate",
                                  "report --decimal-separator ab a.mid",
                                  "report --decimal-separator '\n' a.mid",
                                  "test -j x a.mid",
                                  "test -j 10000 a.mid",
                                  "split --jobs",
                                  "split --bogus a.mid",
                                  "split -o",
                                  "split -o '' a.mid",
                                  "split -o a.mid a.mid"};
  for (const std::string& args : mistakes) {
    const auto r = cli(args);
    EXPECT_TRUE(r.status == 2 && r.out.empty()) << args;
    EXPECT_TRUE(oneLine(r) && r.err.ends_with(" --help')\n")) << args << ": " << r.err;
  }
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.mid"});
}

TEST_F(Cli, AFileSizeLimitIsToldAndLeavesNothing) {
  dir.write("big.mid", build::makeMidi(std::vector<build::Note>(3000)));
  for (const char* command : {"split", "report"}) {
    const auto r = cli(std::string(command) + " -j 1 big.mid", "prlimit --fsize=8192 ");
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_NE(r.err.find("larger than the file size limit"), std::string::npos) << r.err;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"big.mid"});
  }
}

TEST_F(Report, ReplacesAnOldLongerReportWithTheSeparatorGivenOrTheLocales) {
  dir.write("şarkı.mid", warningSong(0));
  // Without locale data a Turkish user still gets a decimal comma.
  const std::tuple<std::string, std::string, std::string> runs[] = {
      // option, environment, cents
      {"--decimal-separator , ", "LC_ALL=C ", "   03,13 Cent\r\n"},
      {"", "LC_ALL= LC_NUMERIC= LANG=tr_TR.UTF-8 ", "   03,13 Cent\r\n"},
      {"", "LC_ALL=C ", "   03.13 Cent\r\n"}};
  for (const auto& [option, env, cents] : runs) {
    dir.write("şarkı.txt", std::string(100000, 'x'));
    EXPECT_EQ(cli("report " + option + "şarkı.mid", env).status, 0) << option << env;
    const std::string text = dir.read("şarkı.txt");
    EXPECT_TRUE(
        text.starts_with("\xFE"
                         "ark\xFD.txt\r\n\r\n----------HEADER CHUNK"))
        << env;
    EXPECT_TRUE(text.ends_with(cents + "\r\n\r\n")) << option << env;
  }
}

// A folder of songs, some warning, one with more than a megabyte of warning
// lines (they wait in a temporary file while the jobs run ahead), one empty
// file and one file that is not MIDI by name.
class Folder : public Cli {
 protected:
  Folder() {
    fs::create_directory(dir / "in");
    const int counts[] = {3, 40000, 0, 7, 1, 12};
    for (std::size_t i = 0; i < std::size(counts); ++i)
      dir.write("in/şarkı " + std::to_string(i) + ".mid", warningSong(counts[i]));
    dir.write("in/empty.mid", "");
    dir.write("in/notes.txt", "not a MIDI name");
    for (const char* sub : {"one", "many"}) fs::create_directory(dir / sub);
  }
};

TEST_F(Folder, AnyNumberOfJobsGivesTheSameLinesAndReports) {
  const std::pair<std::string, std::string> runs[] = {{"test --jobs=1 in", "test -j 4 in"},
                                                      {"report --jobs 1 -o one in", "report -j 4 -o many in"}};
  for (const auto& [oneJob, fourJobs] : runs) {
    auto one = cli(oneJob), many = cli(fourJobs);
    EXPECT_TRUE(one.status == 2 && many.status == 2) << oneJob;  // the empty file fails
    EXPECT_GT(one.out.size() + one.err.size(), std::size_t{1} << 20) << oneJob;
    // Only the output folder named in each line differs.
    for (std::size_t at; (at = many.out.find("many/")) != std::string::npos;) many.out.replace(at, 5, "one/");
    EXPECT_TRUE(one.out == many.out && one.err == many.err) << oneJob;
    EXPECT_NE(one.err.find("empty.mid: empty file"), std::string::npos) << oneJob;
    EXPECT_EQ((one.out + one.err).find("notes.txt"), std::string::npos) << oneJob;  // a folder means its .mid files
  }
  for (int i = 0; i < 6; ++i) {
    const std::string name = "şarkı " + std::to_string(i) + ".txt";
    EXPECT_TRUE(dir.exists("one/" + name) && dir.read("one/" + name) == dir.read("many/" + name)) << name;
  }
}

// Progress shows on a terminal only; quiet keeps a test's warnings and only
// the errors of the rest.
TEST_F(Folder, QuietAndProgressChangeWhatIsSaidButNotTheResults) {
  const auto tty =
      runCommand("cd " + q("") + " && script -qec " + shellQuote(EZGITAR_CLI " test in") + " /dev/null </dev/null");
  EXPECT_NE(tty.out.find("] 7/7"), std::string::npos) << tty.out.substr(tty.out.size() - 200);
  const auto plain = cli("test in");
  EXPECT_EQ(plain.err.find("] "), std::string::npos);
  EXPECT_TRUE(plain.out == cli("test -q in").out);
  const auto r = cli("report --quiet -o one " + q("in/şarkı 2.mid"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty() && r.err.empty()) << r.out << r.err;
  EXPECT_TRUE(dir.exists("one/şarkı 2.txt"));
}

// Each run's status and lines, exactly: warnings, inputs with nothing to do
// skipped (quietly when this run covers them already), inputs refused,
// outputs that clash or cannot be replaced, what ends a run before it starts.
TEST_F(Batch, EveryRunSaysWhatItDidAndWhatItSkipped) {
  for (const char* sub : {"empty", "again", "sub", "x", "y", "z", "out"}) fs::create_directory(dir / sub);
  dir.write("empty/notes.txt", std::string_view("text"));
  for (const char* name :
       {"a.mid", "again/b.mid", ".mid", "sub/b.mid", "x/a.mid", "y/a.mid", "z/a.mid", "b.mid", "c.mid", "ro.mid"})
    dir.write(name, song);
  dir.write("empty.mid", "");
  for (const char* name : {"warn.mid", "warn2.mid"}) dir.write(name, warningSong(3));
  dir.write("warn2.txt", std::string_view("old"));
  dir.write("ro_24.mid", std::string_view("locked"));
  fs::permissions(dir / "ro_24.mid", fs::perms::owner_read);
  ASSERT_EQ(::mkfifo((dir / "x.mid").c_str(), 0600), 0);
  // By what it is, not by its name: a link to the input.
  fs::create_symlink("c.mid", dir / "c_13.mid");
  fs::create_symlink("c.mid", dir / "c.txt");
  ASSERT_EQ(cli("split -q again").status, 0);
  const std::string split = "a.mid: 2 pitch bends, 2 notes; a_13.mid silences 1 note, a_24.mid 1\n";
  const std::string itself = " is this input file itself; nothing is written for it\n";
  const std::string warn = (dir / "warn").string();
  const std::string warned = warn + ".mid:27: Çok büyük Tick ! !\n" + warn + ".mid:34: Çok büyük Tick ! !\n";
  const std::tuple<std::string, int, std::string, std::string> runs[] = {
      // command, status, stdout, stderr
      {"split a.mid missing.mid empty.mid sub/b.mid", 2,
       split + "sub/b.mid: 2 pitch bends, 2 notes; sub/b_13.mid silences 1 note, sub/b_24.mid 1\n",
       "ezgitar-cli: missing.mid: no such file\nezgitar-cli: empty.mid: empty file\n"},
      {"split a.mid ./a.mid a.mid", 0,
       split + "./a.mid: skipped: the same file as a.mid\na.mid: skipped: named twice\n", ""},
      {"split -j 2 a_13.mid a.mid", 0, "a_13.mid: skipped: a.mid writes it in this run\n" + split, ""},
      {"split again", 0,
       "again/b.mid: 2 pitch bends, 2 notes; again/b_13.mid silences 1 note, again/b_24.mid 1\n"
       "again/b_13.mid: skipped: again/b.mid writes it in this run\n"
       "again/b_24.mid: skipped: again/b.mid writes it in this run\n",
       ""},
      {"test empty a.mid", 1, "", "ezgitar-cli: empty: no .mid file in this folder\n"},
      {"split .mid", 1, "", "ezgitar-cli: .mid: skipped: no name before .mid\n"},
      {"split c.mid", 2, "", "ezgitar-cli: c.mid: skipped: the output c_13.mid" + itself},
      {"report c.mid", 2, "", "ezgitar-cli: c.mid: skipped: the output c.txt" + itself},
      {"split -o out x/a.mid y/a.mid b.mid ./z/../z/a.mid", 2,
       "x/a.mid: 2 pitch bends, 2 notes; out/a_13.mid silences 1 note, out/a_24.mid 1\n"
       "b.mid: 2 pitch bends, 2 notes; out/b_13.mid silences 1 note, out/b_24.mid 1\n",
       "ezgitar-cli: y/a.mid: skipped: x/a.mid writes a_13.mid too\n"
       "ezgitar-cli: ./z/../z/a.mid: skipped: x/a.mid writes a_13.mid too\n"},
      {"test " + q("warn.mid"), 1, warned, ""},
      {"report -o " + q("") + " " + q("warn.mid"), 1, warn + ".mid -> " + warn + ".txt\n", warned},
      {"split ro.mid", 2, "", "ezgitar-cli: ro.mid: cannot write ro_24.mid: the file is read-only\n"},
      {"split x.mid", 2, "", "ezgitar-cli: x.mid: not a plain file\n"},
      {"split -o nowhere a.mid nothere.mid", 2, "", "ezgitar-cli: nowhere: no such folder\n"},
      {"test -j 2 warn.mid warn2.mid >/dev/full", 2, "",
       "ezgitar-cli: cannot write standard output: no space left on the disk\n"},
      {"test -j 2 warn.mid warn2.mid >&-", 2, "", "ezgitar-cli: cannot write standard output: the stream is closed\n"},
  };
  for (const auto& [args, status, out, err] : runs) {
    const auto r = cli(args);
    EXPECT_EQ(r.status, status) << args;
    EXPECT_EQ(r.out, out) << args;
    EXPECT_EQ(r.err, err) << args;
  }
  for (const char* name : {"sub/b_13.mid", "sub/b_24.mid"}) EXPECT_EQ(dir.read(name).size(), song.size()) << name;
  EXPECT_EQ(dir.read("c.mid"), testing::asString(song));
  EXPECT_TRUE(dir.read("warn.txt").starts_with("warn.txt\r\n"));  // a warning report is still written
  EXPECT_EQ(dir.read("warn2.txt"), "old");                        // a test writes nothing
  EXPECT_EQ(dir.read("ro_24.mid"), "locked");
  for (const std::string& name : dir.names()) EXPECT_TRUE(name == ".mid" || !name.starts_with(".")) << name;
  EXPECT_FALSE(dir.exists("ro_13.mid") || dir.exists("c_24.mid") || dir.exists(".mid_13.mid") ||
               dir.exists("a_13_13.mid") || dir.exists("again/b_13_13.mid"));
}

// A process limit lets no thread start: neither the jobs nor the second copy.
TEST_F(Batch, WithNoThreadToSpareEveryFileIsStillDone) {
  if (::geteuid() != 0 || runCommand("command -v setpriv prlimit").status != 0) GTEST_SKIP() << "needs root";
  fs::permissions(dir.path(), fs::perms::all);
  for (const char* name : {"a.mid", "b.mid"}) dir.write(name, song);
  const auto r = runCommand("cd " + q("") +
                            " && ASAN_OPTIONS=detect_leaks=0 timeout 60 setpriv --reuid=65534 "
                            "--regid=65534 --clear-groups prlimit --nproc=1 " EZGITAR_CLI " split -j 4 a.mid b.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"a_13.mid", "a_24.mid", "b_13.mid", "b_24.mid"})
    EXPECT_EQ(dir.read(name).size(), song.size()) << name;
}

TEST_F(Batch, AFileRewrittenDuringASplitNeverCrashesOrLeavesTemporaries) {
  const Bytes whole = build::makeMidi(build::makamMelody(400'000, 2));
  for (int round = 0; round < 5; ++round) {
    dir.write("a.mid", whole);
    std::atomic<bool> stop{false};
    std::jthread meddler([&] {
      const Bytes cut(whole.begin(), whole.begin() + 100);
      for (bool shorter = true; !stop; shorter = !shorter) dir.write("a.mid", shorter ? cut : whole);
    });
    const auto r = cli("split -q a.mid");
    stop = true;
    meddler.join();
    ASSERT_NE(r.status, -1) << "killed by a signal";
    EXPECT_TRUE(r.status == 0 ? fs::file_size(dir / "a_13.mid") == fs::file_size(dir / "a_24.mid")
                              : r.status == 2 && oneLine(r))
        << r.status << ": " << r.err;
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_FALSE(e.path().filename().string().starts_with(".")) << e.path();
  }
}

}  // namespace
}  // namespace ezg::testing
