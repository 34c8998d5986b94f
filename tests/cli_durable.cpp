// ezgitar-cli's writes under interruption, and the order in which they
// reach the disk.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

// True once `pid` holds a file open in `folder`: it is writing there.
bool writesIn(pid_t pid, const fs::path& folder) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = fs::read_symlink(fd.path(), ec).string();
    if (!ec && target.starts_with(folder.string() + "/")) return true;
  }
  return false;
}

using CliInterrupted = Cli;

TEST_F(CliInterrupted, AReportEndedBySignalLeavesTheFolderAsItWas) {
  dir.write("big.mid", build::makeMidi(build::makamMelody(4'000'000 / 12, 4)));
  fs::create_directory(dir / "out");
  dir.write("out/big.txt", "old report");
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(EZGITAR_CLI, "ezgitar-cli", "report", "-q", "-o", (dir / "out").c_str(), (dir / "big.mid").c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!writesIn(child, dir / "out") && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(child, sig);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(dir.names("out"), std::vector<std::string>{"big.txt"});
    EXPECT_EQ(dir.read("out/big.txt"), "old report");
  }
}

// Immutable files need a file system that keeps the flag: the build tree's.
class CliPair : public Cli {
 protected:
  CliPair() : Cli(fs::current_path()) {}
};

TEST_F(CliPair, ASecondCopyThatCannotBeReplacedKeepsBothOldFiles) {
  dir.write("a.mid", build::makeMidi(std::vector<build::Note>(8)));
  dir.write("a_13.mid", "old 13");
  dir.write("a_24.mid", "old 24");
  const int fd = ::open((dir / "a_24.mid").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  int flags = 0;
  const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  CommandResult run;
  if (locked) run = cli("split a.mid");
  flags &= ~FS_IMMUTABLE_FL;
  ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  ::close(fd);
  if (!locked) GTEST_SKIP() << "no immutable files here";
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot write a_24.mid: permission denied; both old files kept"), std::string::npos)
      << run.err;
  EXPECT_EQ(dir.read("a_13.mid"), "old 13");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mid", "a_13.mid", "a_24.mid"}));
}

// Each output is on the disk before it takes its name, and the folder is
// synced after the name changed, so a crash shows the old file or the new.
using CliOrder = Cli;

TEST_F(CliOrder, SplitSyncsEachFileBeforeItsRenameAndTheFolderAfter) {
  if (runCommand("strace -o /dev/null true 2>&1").status != 0) GTEST_SKIP() << "strace cannot trace here";
  dir.write("a.mid", build::makeMidi(std::vector<build::Note>(8)));
  // A leak checker cannot run under a tracer.
  const auto run = cli("split -q a.mid", "ASAN_OPTIONS=detect_leaks=0 strace -f -o trace "
                                         "-e trace=openat,fsync,fdatasync,rename,renameat,renameat2,linkat ");
  ASSERT_EQ(run.status, 0) << run.err;

  // Events in trace order: which descriptor was synced, which temporary got
  // which descriptor's file, which temporary became which name.
  // The copies are synced on two threads: a sync may be cut in two lines.
  const std::regex sync(R"(^(\d+) +f(?:data)?sync\((\d+)(\)\s*= 0| <unfinished))");
  const std::regex resumed(R"(^(\d+) +<\.\.\. f(?:data)?sync resumed>\)\s*= 0)");
  std::map<int, int> syncing;  // thread -> descriptor
  const std::regex link(R"re(linkat\(AT_FDCWD, "/proc/self/fd/(\d+)", (\d+), "([^"]+)")re");
  const std::regex rename(R"re(renameat2?\((\d+), "([^"]+)", (\d+), "([^"]+)")re");
  std::map<std::string, int> fileOf;    // temporary name -> descriptor
  std::map<int, std::size_t> lastSync;  // descriptor -> line
  std::map<std::string, std::pair<std::size_t, int>> renamed;  // target -> line, folder descriptor
  std::istringstream lines(dir.read("trace"));
  std::size_t n = 0;
  for (std::string line; std::getline(lines, line); ++n) {
    std::smatch m;
    if (std::regex_search(line, m, sync)) {
      if (m[3].str().starts_with(")")) lastSync[std::stoi(m[2])] = n;
      else syncing[std::stoi(m[1])] = std::stoi(m[2]);
    }
    if (std::regex_search(line, m, resumed)) lastSync[syncing.at(std::stoi(m[1]))] = n;
    if (std::regex_search(line, m, link)) fileOf[m[3]] = std::stoi(m[1]);
    if (std::regex_search(line, m, rename) && m[2].str().starts_with(".ezg-")) {
      ASSERT_TRUE(fileOf.contains(m[2])) << line;
      ASSERT_TRUE(lastSync.contains(fileOf[m[2]])) << m[4] << " renamed before it was synced";
      renamed[m[4]] = {n, std::stoi(m[3])};
    }
  }
  ASSERT_EQ(renamed.size(), 2u) << dir.read("trace");
  for (const auto& [target, at] : renamed) {
    const auto [line, folder] = at;
    EXPECT_TRUE(lastSync.contains(folder) && lastSync[folder] > line) << target << ": folder not synced after";
  }
}

}  // namespace
}  // namespace ezg::testing
