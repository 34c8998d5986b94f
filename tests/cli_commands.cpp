// ezgitar-cli run as a user would: usage, split, report, test, batches.
#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
const std::string kTick = ": Çok büyük Tick ! !\n";

class Cli : public ::testing::Test {
 protected:
  // Runs in the test's folder, so relative names work; q() gives full ones.
  testing::CommandResult cli(const std::string& args, const std::string& env = "") const {
    return testing::runCommand("cd " + q("") + " && " + env + EZGITAR_CLI " " + args);
  }
  std::string q(std::string_view name) const { return testing::shellQuote((dir / name).string()); }
  testing::TempDir dir;
};

// Two notes whose delta times run to four bytes, at positions 24 and 31.
const Bytes kWarningSong = build::wrapTrack(
    {0x00, 0x90, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x3C, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xE0, 0x00, 0x41});

TEST_F(Cli, HelpVersionAndOneLineForEveryMistake) {
  const auto top = cli("--help");
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("Usage: ezgitar-cli"), std::string::npos);
  EXPECT_TRUE(top.err.empty());
  const auto version = cli("--version");
  EXPECT_TRUE(version.status == 0 && version.out.starts_with("ezgitar-cli ") && version.out.ends_with("\n"))
      << version.out;
  std::vector<std::string> mistakes = {"frobnicate", "--frobnicate", "", "report --decimal-separator ab x.mid"};
  for (const std::string cmd : {"split", "report", "test"}) {
    EXPECT_NE(top.out.find(cmd), std::string::npos) << cmd;
    const auto help = cli(cmd + " --help");
    EXPECT_EQ(help.status, 0) << cmd;
    EXPECT_NE(help.out.find("Usage: ezgitar-cli " + cmd), std::string::npos) << cmd;
    EXPECT_NE(help.out.find("Examples:"), std::string::npos) << cmd;
    EXPECT_NE(help.out.find("--jobs"), std::string::npos) << cmd;
    for (const char* bad : {" --jobs 0 x.mid", " --jobs", " --bogus x.mid", "", " -o", " -x a.mid"})
      mistakes.push_back(cmd + bad);
  }
  for (const std::string& args : mistakes) {
    auto r = cli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    EXPECT_TRUE(r.err.starts_with("ezgitar-cli: ")) << args << ": " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
  }
}

TEST_F(Cli, SplitWritesEachFileAndKeepsGoingPastBadOnes) {
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  Bytes first = song;  // the first packet's velocities, silenced in copy 24
  first[36] = first[41] = 0;
  dir.write("a.mid", song);
  dir.write("empty.mid", "");
  fs::create_directory(dir / "sub");
  dir.write("sub/b.mid", song);
  const auto r = cli("split a.mid missing.mid empty.mid sub/b.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(dir.read("a_24.mid"), testing::asString(first));
  EXPECT_TRUE(dir.exists("a_13.mid") && dir.exists("sub/b_13.mid") && dir.exists("sub/b_24.mid"));
  EXPECT_EQ(r.out, "a.mid: 2 packets -> a_13.mid, a_24.mid\nsub/b.mid: 2 packets -> sub/b_13.mid, sub/b_24.mid\n");
  EXPECT_EQ(r.err, "ezgitar-cli: missing.mid: no such file\nezgitar-cli: empty.mid: empty file\n");
  fs::create_directory(dir / "out");
  EXPECT_EQ(cli("split -o out a.mid").status, 0);
  EXPECT_TRUE(dir.exists("out/a_13.mid") && dir.exists("out/a_24.mid"));
  const auto unwritable = cli("split -o nowhere a.mid");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("a.mid: cannot write nowhere/a_13.mid"), std::string::npos) << unwritable.err;
}

TEST_F(Cli, ReportWritesNextToTheInputOrIntoTheFolderGivenWithTheLocalesSeparator) {
  dir.write("şarkı 3.mid", build::makeMidi(build::makamMelody(23, 3)));
  dir.write("şarkı 3.txt", std::string(100000, 'x'));  // an old, longer report is replaced
  dir.write("other.bin", kWarningSong);
  for (const char* sub : {"out", "tr", "en"}) fs::create_directory(dir / sub);
  auto r = cli("report --decimal-separator , " + q("şarkı 3.mid"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const std::string text = dir.read("şarkı 3.txt");
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD 3.txt\r\n\r\n----------HEADER CHUNK--------------\r\n"));
  EXPECT_NE(text.find(",00 Cent\r\n"), std::string::npos);
  EXPECT_EQ(text.find(".00 Cent\r\n"), std::string::npos);
  // A Turkish user gets a decimal comma without locale data; the labels are
  // Windows-1254 whatever the locale.
  ASSERT_EQ(cli("report -o tr " + q("şarkı 3.mid"), "LC_ALL= LC_NUMERIC= LANG=tr_TR.UTF-8 ").status, 0);
  ASSERT_EQ(cli("report -o en " + q("şarkı 3.mid"), "LC_ALL=C ").status, 0);
  EXPECT_EQ(dir.read("tr/şarkı 3.txt"), text);
  EXPECT_NE(text.find("Track say\xFDs\xFD"), std::string::npos);
  EXPECT_NE(dir.read("en/şarkı 3.txt").find(".00 Cent\r\n"), std::string::npos);
  // Warnings go to stderr and give status 1; the report is still written.
  r = cli("report -o " + q("out") + " " + q("other.bin"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "other.bin").string();
  EXPECT_EQ(r.err, input + ":24" + kTick + input + ":31" + kTick);
  EXPECT_TRUE(dir.exists("out/other.bin.txt"));
  EXPECT_FALSE(dir.exists("other.bin.txt"));
  EXPECT_NE(dir.read("out/other.bin.txt").find("   03.13 Cent\r\n"), std::string::npos);  // C locale: a full stop
  // An unreadable input and an unwritable folder: status 2, nothing partial.
  r = cli("report -o " + q("missing-folder") + " " + q("şarkı 3.mid") + " " + q("nothere.mid"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nothere.mid: no such file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("şarkı 3.txt"), text);
}

TEST_F(Cli, TestPrintsOneLinePerWarningAndWritesNothing) {
  dir.write("warn.mid", kWarningSong);
  dir.write("clean.mid", build::makeMidi(build::makamMelody(20, 3)));
  dir.write("warn.txt", "old");
  auto r = cli("test " + q("clean.mid"));
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.empty()) << r.out;
  r = cli("test " + q("clean.mid") + " " + q("warn.mid"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "warn.mid").string();
  EXPECT_EQ(r.out, input + ":24" + kTick + input + ":31" + kTick);
  EXPECT_EQ(dir.read("warn.txt"), "old");
  EXPECT_FALSE(dir.exists("clean.txt"));
}

TEST_F(Cli, AFolderBatchGivesTheSameOutputWithAnyJobsAndQuietKeepsOnlyErrors) {
  fs::create_directory(dir / "in");
  for (int i = 0; i < 12; ++i) {
    Bytes song = build::makeMidi(build::makamMelody(20 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i)));
    if (i % 4 == 1) song.insert(song.end() - 4, {0x00, 0x90, 0x40, 0x40, 0x81, 0x80, 0x80, 0x00});  // warns
    dir.write("in/şarkı " + std::to_string(i) + ".mid", song);
  }
  dir.write("in/empty.mid", "");
  dir.write("in/notes.txt", "not a MIDI name");
  for (const char* sub : {"one", "many", "out"}) fs::create_directory(dir / sub);
  const std::pair<std::string, std::string> runs[] = {
      {"report --jobs 1 -o " + q("one") + " in", "report -j 4 -o " + q("many") + " in"},
      {"test --jobs=1 in", "test -j 4 in"}};
  for (const auto& [oneJob, fourJobs] : runs) {
    auto one = cli(oneJob), many = cli(fourJobs);
    EXPECT_EQ(one.status, 2) << oneJob;  // the empty file fails
    EXPECT_EQ(many.status, 2) << fourJobs;
    // Only the output folder named in each line differs.
    for (std::size_t at; (at = many.out.find("/many/")) != std::string::npos;) many.out.replace(at, 6, "/one/");
    EXPECT_EQ(one.out, many.out) << oneJob;
    EXPECT_EQ(one.err, many.err) << oneJob;
    EXPECT_NE(one.err.find("empty.mid: empty file"), std::string::npos) << one.err;
    EXPECT_EQ(one.out.find("notes.txt"), std::string::npos);  // a folder means its .mid files
  }
  for (int i = 0; i < 12; ++i) {
    const std::string name = "şarkı " + std::to_string(i) + ".txt";
    ASSERT_TRUE(dir.exists("one/" + name)) << name;
    EXPECT_EQ(dir.read("one/" + name), dir.read("many/" + name)) << name;
  }
  const auto loud = cli("test in"), quiet = cli("test -q in");
  EXPECT_EQ(loud.out, quiet.out);  // the warnings are the result
  EXPECT_EQ(loud.status, 2);
  const auto report = cli("report --quiet -o out " + q("in/şarkı 0.mid"));
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_TRUE(report.out.empty() && report.err.empty()) << report.out << report.err;
  EXPECT_TRUE(dir.exists("out/şarkı 0.txt"));

  // On a terminal, and only there, many files get a progress bar.
  const auto tty = testing::runCommand("cd " + q("") + " && script -qec " +
                                       testing::shellQuote(EZGITAR_CLI " test in") + " /dev/null </dev/null");
  EXPECT_NE(tty.out.find("] 13/13"), std::string::npos) << tty.out;
  EXPECT_EQ(loud.err.find("] "), std::string::npos) << loud.err;
}

}  // namespace
}  // namespace ezg

namespace ezg {
namespace {

TEST_F(Cli, OddSizesAndNamesNeverCrashLeavePartsOrTouchLockedFiles) {
  const Bytes song = build::makeMidi(build::makamMelody(6, 9));
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"one byte.mid", Bytes{0x4D}},          {"22.mid", Bytes(song.begin(), song.begin() + 22)},
      {"23.mid", Bytes(song.begin(), song.begin() + 23)}, {"in a bend.mid", Bytes(song.begin(), song.begin() + 32)},
      {"in a note.mid", Bytes(song.begin(), song.end() - 6)}, {"-dash.mid", song}, {".mid", song}};
  std::string names;
  for (const auto& [name, bytes] : files) {
    dir.write(name, bytes);
    names += " " + testing::shellQuote(name);
  }
  for (const char* cmd : {"split --", "report --", "test --"}) {
    const auto r = cli(std::string(cmd) + names);
    EXPECT_LE(r.status, 1) << cmd << ": " << r.err;
  }
  for (const auto& [name, bytes] : files) {
    // ".mid" alone has nothing before its extension: the CLI keeps it whole.
    const std::string base = name == ".mid" ? name : name.substr(0, name.size() - 4);
    EXPECT_EQ(dir.read(base + "_13.mid").size(), bytes.size()) << name;
    EXPECT_TRUE(dir.read(base + ".txt").ends_with("\r\n\r\n")) << name;
  }

  // A read-only old output stays as it was, and the run says which file.
  dir.write("-dash_24.mid", std::string_view("locked"));
  fs::permissions(dir / "-dash_24.mid", fs::perms::owner_read);
  const auto locked = cli("split ./-dash.mid");
  EXPECT_EQ(locked.status, 2);
  EXPECT_NE(locked.err.find("-dash_24.mid: the file is read-only"), std::string::npos) << locked.err;
  EXPECT_EQ(dir.read("-dash_24.mid"), "locked");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4 * 7);  // inputs and outputs, no temporaries
}

TEST_F(Cli, AFortyMegabyteFileSplitsAndWalksToItsEnd) {
  Bytes big = build::makeMidi(build::makamMelody(40'000'000 / 12, 4));
  ASSERT_GT(big.size(), 40'000'000u);
  dir.write("big.mid", big);
  EXPECT_EQ(cli("split -q big.mid").status, 0);
  EXPECT_EQ(fs::file_size(dir / "big_13.mid"), big.size());
  EXPECT_EQ(cli("test big.mid").status, 0);
}

}  // namespace
}  // namespace ezg
