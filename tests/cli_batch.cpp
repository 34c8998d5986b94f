// Many files at once: folders, parallel jobs, quiet runs, help, locale.
#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::runCommand;
using testing::shellQuote;

const std::string kCli = EZGITAR_CLI;

class CliBatch : public ::testing::Test {
 protected:
  CliBatch() {
    std::filesystem::create_directory(dir / "in");
    for (int i = 0; i < 12; ++i) {
      Bytes song = build::makeMidi(build::makamMelody(20 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i)));
      if (i % 4 == 1) song.insert(song.end() - 4, {0x00, 0x90, 0x40, 0x40, 0x81, 0x80, 0x80, 0x00});  // warns
      dir.write("in/şarkı " + std::to_string(i) + ".mid", song);
    }
    dir.write("in/empty.mid", std::string());
    dir.write("in/notes.txt", std::string("not a MIDI name"));
  }
  std::string q(std::string_view name) const { return shellQuote((dir / name).string()); }
  testing::TempDir dir;
};

TEST_F(CliBatch, ParallelJobsGiveTheSameOutputAsOne) {
  for (const char* cmd : {"report", "test"}) {
    std::filesystem::create_directories(dir / "one");
    std::filesystem::create_directories(dir / "many");
    auto one = runCommand(kCli + " " + cmd + " --jobs 1 -o " + q("one") + " " + q("in"));
    auto many = runCommand(kCli + " " + cmd + " -j 4 -o " + q("many") + " " + q("in"));
    if (std::string(cmd) == "test") {  // test takes no -o
      one = runCommand(kCli + " test --jobs=1 " + q("in"));
      many = runCommand(kCli + " test -j 4 " + q("in"));
    }
    EXPECT_EQ(one.status, 2) << cmd;  // the empty file fails
    EXPECT_EQ(many.status, 2) << cmd;
    // Only the output folder named in each line differs.
    for (std::size_t at; (at = many.out.find("/many/")) != std::string::npos;) many.out.replace(at, 6, "/one/");
    EXPECT_EQ(one.out, many.out) << cmd;
    EXPECT_EQ(one.err, many.err) << cmd;
    EXPECT_NE(one.err.find("empty.mid: empty file"), std::string::npos) << one.err;
    EXPECT_EQ(one.out.find("notes.txt"), std::string::npos);  // a folder means its .mid files
  }
  for (int i = 0; i < 12; ++i) {
    const std::string name = "şarkı " + std::to_string(i) + ".txt";
    ASSERT_TRUE(dir.exists("one/" + name)) << name;
    EXPECT_EQ(dir.read("one/" + name), dir.read("many/" + name)) << name;
  }
}

TEST_F(CliBatch, QuietKeepsOnlyErrorsAndTheTestsWarnings) {
  auto loud = runCommand(kCli + " test " + q("in"));
  auto quiet = runCommand(kCli + " test -q " + q("in"));
  EXPECT_EQ(loud.out, quiet.out);  // the warnings are the result
  EXPECT_EQ(loud.status, 2);

  std::filesystem::create_directory(dir / "out");
  auto report = runCommand(kCli + " report --quiet -o " + q("out") + " " + q("in/şarkı 0.mid"));
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_TRUE(report.out.empty());
  EXPECT_TRUE(report.err.empty());
  EXPECT_TRUE(dir.exists("out/şarkı 0.txt"));
}

TEST_F(CliBatch, EveryCommandHasHelpWithExamplesAndMistakesAreOneLine) {
  for (const char* cmd : {"split", "report", "test"}) {
    auto help = runCommand(kCli + " " + cmd + " --help");
    EXPECT_EQ(help.status, 0) << cmd;
    EXPECT_NE(help.out.find(std::string("Usage: ezgitar-cli ") + cmd), std::string::npos) << cmd;
    EXPECT_NE(help.out.find("Examples:"), std::string::npos) << cmd;
    EXPECT_NE(help.out.find("--jobs"), std::string::npos) << cmd;
    for (const char* bad : {" --jobs 0 x.mid", " --jobs", " --bogus x.mid", ""}) {
      auto r = runCommand(kCli + " " + cmd + bad);
      EXPECT_EQ(r.status, 2) << cmd << bad;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << cmd << bad << ": " << r.err;
    }
  }
}

TEST_F(CliBatch, ATurkishUserGetsADecimalCommaWithoutLocaleData) {
  std::filesystem::create_directory(dir / "tr");
  std::filesystem::create_directory(dir / "en");
  const std::string input = q("in/şarkı 3.mid");
  ASSERT_EQ(runCommand("LC_ALL= LC_NUMERIC= LANG=tr_TR.UTF-8 " + kCli + " report -o " + q("tr") + " " + input).status, 0);
  ASSERT_EQ(runCommand("LC_ALL=C " + kCli + " report -o " + q("en") + " " + input).status, 0);
  EXPECT_NE(dir.read("tr/şarkı 3.txt").find(",00 Cent\r\n"), std::string::npos);
  EXPECT_EQ(dir.read("tr/şarkı 3.txt").find(".00 Cent\r\n"), std::string::npos);
  EXPECT_NE(dir.read("en/şarkı 3.txt").find(".00 Cent\r\n"), std::string::npos);
  // The labels are Windows-1254 whatever the locale.
  EXPECT_NE(dir.read("tr/şarkı 3.txt").find("Track say\xFDs\xFD"), std::string::npos);
  EXPECT_TRUE(dir.read("tr/şarkı 3.txt").starts_with("\xFE" "ark\xFD 3.txt\r\n\r\n"));
}

}  // namespace
}  // namespace ezg
