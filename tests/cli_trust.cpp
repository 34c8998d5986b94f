// A folder set against the user: nothing but the run's own outputs may change.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using HostileFolder = Cli;

// A copy's name that links to an input, to the program or its run log (in
// a folder of its own, as installed), or to the other copy: that input is
// refused and every file kept; the other inputs are still split.
TEST_F(HostileFolder, ACopyLinkedToAFileOfTheRunIsRefusedAndEveryFileKept) {
  fs::copy_file(EZGITAR_CLI, dir / "ezgitar-cli");
  dir.write("pars.bin", "twenty bytes of log.");
  dir.write("c.mid", song);
  dir.write("a.mid", song);
  dir.write("a_13.mid", "old 13");
  const std::string program = dir.read("ezgitar-cli");
  const std::string linked = "that name links to an input or to a file of the program itself\n";
  const std::pair<const char*, std::string> cases[] = {
      {"c.mid", linked},
      {"pars.bin", linked},
      {"ezgitar-cli", linked},
      {"a_13.mid", "both copies' names lead to one file; both old files kept\n"}};
  for (const auto& [target, why] : cases) {
    SCOPED_TRACE(target);
    fs::remove(dir / "a_24.mid");
    fs::create_symlink(target, dir / "a_24.mid");
    const auto r = runCommand("cd " + q("") + " && " + kEnglish + "timeout 60 ./ezgitar-cli split a.mid c.mid");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ezgitar-cli: a.mid: cannot write a_24.mid: " + why);
    EXPECT_EQ(r.out, "c.mid: 2 pitch bends, 2 notes; c_13.mid silences 1 note, c_24.mid 1\n");
    EXPECT_EQ(dir.read("a_13.mid"), "old 13");
  }
  EXPECT_EQ(dir.read("c.mid"), asString(song));
  EXPECT_EQ(dir.read("pars.bin"), "twenty bytes of log.");
  EXPECT_EQ(dir.read("ezgitar-cli"), program);
  EXPECT_EQ(dir.names(),
            (Names{"a.mid", "a_13.mid", "a_24.mid", "c.mid", "c_13.mid", "c_24.mid", "ezgitar-cli", "pars.bin"}));
}

// As the kernel's protection of shared folders: in a sticky folder anyone
// may write to, another user's link is not followed; one's own is.
TEST_F(HostileFolder, AnotherUsersLinkInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give a link to another user";
  fs::create_directory(dir / "shared");
  fs::create_directory(dir / "private");
  fs::permissions(dir / "shared", fs::perms(01777));
  fs::permissions(dir / "private", fs::perms(0700));
  dir.write("private/secret", "secret");
  fs::permissions(dir / "private/secret", fs::perms(0600));
  dir.write("shared/a.mid", song);
  fs::create_symlink("../private/secret", dir / "shared/a_13.mid");
  ASSERT_EQ(::lchown((dir / "shared/a_13.mid").c_str(), 65534, 65534), 0);
  const auto r = cli("split shared/a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ezgitar-cli: shared/a.mid: cannot write shared/a_13.mid: permission denied\n");
  EXPECT_EQ(dir.read("private/secret"), "secret");
  EXPECT_EQ(dir.names("shared"), (Names{"a.mid", "a_13.mid"}));
  ASSERT_EQ(::lchown((dir / "shared/a_13.mid").c_str(), 0, 0), 0);
  EXPECT_EQ(cli("split -q shared/a.mid").status, 0);
  EXPECT_EQ(dir.read("private/secret").size(), song.size());
}

// Anyone who can read a folder can lock it: no run waits for that.
TEST_F(HostileFolder, ALockOnTheFolderHoldsNoRunBack) {
  dir.write("a.mid", song);
  const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const auto split = cli("split -q a.mid");
  const auto report = cli("report -q a.mid");
  ::close(fd);
  EXPECT_EQ(split.status, 0) << split.err;
  EXPECT_EQ(report.status, 0) << report.err;
}

TEST_F(HostileFolder, NamesAreShownWithTheirControlCharactersEscaped) {
  const std::string name = "a\x1b]0;x\a\nb";
  dir.write(name + ".mid", song);
  const auto split = cli("split " + q(name + ".mid") + " " + q("gone\x1b[2J.mid"));
  const std::string shown = dir.path().string() + "/a\\x1b]0;x\\x07\\nb";
  EXPECT_EQ(split.out,
            shown + ".mid: 2 pitch bends, 2 notes; " + shown + "_13.mid silences 1 note, " + shown + "_24.mid 1\n");
  EXPECT_EQ(split.err, "ezgitar-cli: " + dir.path().string() + "/gone\\x1b[2J.mid: no such file\n");
  const auto usage = cli("spl\x1b[2Jit");
  EXPECT_EQ(usage.err, "ezgitar-cli: unknown command 'spl\\x1b[2Jit' (try 'ezgitar-cli --help')\n");
}

}  // namespace
}  // namespace ezg::testing
