// ezgitar-cli report and test, run as the user would.
#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::runCommand;
using testing::shellQuote;

const std::string kCli = EZGITAR_CLI;

// Two notes whose delta times run to four bytes, at positions 24 and 31.
Bytes warningSong() {
  return build::wrapTrack({0x00, 0x90, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x3C, 0x00, 0xFF, 0xFF, 0xFF,
                           0x00, 0xE0, 0x00, 0x41});
}

class CliReport : public ::testing::Test {
 protected:
  std::string path(std::string_view name) const { return shellQuote((dir / name).string()); }
  testing::TempDir dir;
};

TEST_F(CliReport, ReportWritesNextToTheInputOrIntoTheFolderGiven) {
  dir.write("şarkı.mid", build::makeMidi(build::makamMelody(5, 7)));
  dir.write("other.bin", warningSong());
  std::filesystem::create_directory(dir / "out");

  auto r = runCommand(kCli + " report --decimal-separator , " + path("şarkı.mid"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const std::string text = dir.read("şarkı.txt");
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD.txt\r\n\r\n----------HEADER CHUNK--------------\r\n"));
  EXPECT_NE(text.find(",00 Cent\r\n"), std::string::npos);
  EXPECT_EQ(text.find(".00 Cent\r\n"), std::string::npos);

  // Warnings go to stderr and give status 1; the report is still written.
  r = runCommand(kCli + " report -o " + path("out") + " " + path("other.bin"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "other.bin").string();
  EXPECT_EQ(r.err, input + ":24: Çok büyük Tick ! !\n" + input + ":31: Çok büyük Tick ! !\n");
  EXPECT_TRUE(dir.exists("out/other.bin.txt"));
  EXPECT_FALSE(dir.exists("other.bin.txt"));
  // The locale here is C: a full stop.
  EXPECT_NE(dir.read("out/other.bin.txt").find("   03.13 Cent\r\n"), std::string::npos);
}

TEST_F(CliReport, ReportReplacesAnOldReportAndFailsCleanly) {
  dir.write("song.mid", build::makeMidi(build::makamMelody(2, 1)));
  dir.write("song.txt", std::string(100000, 'x'));
  auto r = runCommand(kCli + " report " + path("song.mid"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string first = dir.read("song.txt");
  EXPECT_TRUE(first.starts_with("song.txt\r\n"));

  // An unreadable input and an unwritable folder: status 2, nothing partial.
  r = runCommand(kCli + " report -o " + path("missing-folder") + " " + path("song.mid") + " " + path("nothere.mid"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nothere.mid: no such file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("song.txt"), first);

  for (const char* bad : {" report", " report --decimal-separator ab x.mid", " report -o", " test", " test -x a.mid"}) {
    r = runCommand(kCli + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
  }
}

TEST_F(CliReport, TestPrintsOneLinePerWarningAndWritesNothing) {
  dir.write("warn.mid", warningSong());
  dir.write("clean.mid", build::makeMidi(build::makamMelody(20, 3)));
  dir.write("warn.txt", std::string("old"));

  auto r = runCommand(kCli + " test " + path("clean.mid"));
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.empty()) << r.out;

  r = runCommand(kCli + " test " + path("clean.mid") + " " + path("warn.mid"));
  EXPECT_EQ(r.status, 1);
  const std::string input = (dir / "warn.mid").string();
  EXPECT_EQ(r.out, input + ":24: Çok büyük Tick ! !\n" + input + ":31: Çok büyük Tick ! !\n");
  EXPECT_EQ(dir.read("warn.txt"), "old");
  EXPECT_FALSE(dir.exists("clean.txt"));

  r = runCommand(kCli + " test " + path("warn.mid") + " " + path("nothere.mid"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nothere.mid"), std::string::npos);
}

}  // namespace
}  // namespace ezg
