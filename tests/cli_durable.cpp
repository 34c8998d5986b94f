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

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
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

TEST(CliInterrupted, AReportEndedBySignalLeavesTheFolderAsItWas) {
  testing::TempDir dir;
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
TEST(CliPair, ASecondCopyThatCannotBeReplacedKeepsBothOldFiles) {
  testing::TempDir dir(fs::current_path());
  dir.write("a.mid", build::makeMidi(std::vector<build::Note>(8)));
  dir.write("a_13.mid", "old 13");
  dir.write("a_24.mid", "old 24");
  const int fd = ::open((dir / "a_24.mid").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  int flags = 0;
  const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  testing::CommandResult run;
  if (locked) run = testing::runCommand(EZGITAR_CLI " split " + testing::shellQuote((dir / "a.mid").string()));
  flags &= ~FS_IMMUTABLE_FL;
  ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  ::close(fd);
  if (!locked) GTEST_SKIP() << "no immutable files here";
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot write " + (dir / "a_24.mid").string() + ": permission denied; both old files kept"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(dir.read("a_13.mid"), "old 13");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mid", "a_13.mid", "a_24.mid"}));
}

// Each output is on the disk before it takes its name, and the folder is
// synced after the name changed, so a crash shows the old file or the new.
TEST(CliOrder, SplitSyncsEachFileBeforeItsRenameAndTheFolderAfter) {
  if (testing::runCommand("strace -o /dev/null true 2>&1").status != 0) GTEST_SKIP() << "strace cannot trace here";
  testing::TempDir dir;
  dir.write("a.mid", build::makeMidi(std::vector<build::Note>(8)));
  // A leak checker cannot run under a tracer.
  const auto run = testing::runCommand("ASAN_OPTIONS=detect_leaks=0 strace -f -o " + testing::shellQuote((dir / "trace").string()) +
                                       " -e trace=openat,fsync,fdatasync,rename,renameat,renameat2,linkat " EZGITAR_CLI
                                       " split -q " + testing::shellQuote((dir / "a.mid").string()));
  ASSERT_EQ(run.status, 0) << run.err;

  // Events in trace order: which descriptor was synced, which temporary got
  // which descriptor's file, which temporary became which name.
  const std::regex sync(R"(f(?:data)?sync\((\d+)\)\s*= 0)");
  const std::regex link(R"re(linkat\(AT_FDCWD, "/proc/self/fd/(\d+)", (\d+), "([^"]+)")re");
  const std::regex rename(R"re(renameat2?\((\d+), "([^"]+)", (\d+), "([^"]+)")re");
  std::map<std::string, int> fileOf;          // temporary name -> descriptor
  std::map<int, std::size_t> lastSync;        // descriptor -> line
  std::map<std::string, std::size_t> renamed; // target -> line
  std::map<std::string, int> folderOf;
  std::istringstream lines(dir.read("trace"));
  std::size_t n = 0;
  for (std::string line; std::getline(lines, line); ++n) {
    std::smatch m;
    if (std::regex_search(line, m, sync)) lastSync[std::stoi(m[1])] = n;
    if (std::regex_search(line, m, link)) fileOf[m[3]] = std::stoi(m[1]);
    if (std::regex_search(line, m, rename) && m[2].str().starts_with(".ezg-")) {
      const std::string target = m[4];
      ASSERT_TRUE(fileOf.contains(m[2])) << line;
      const int fd = fileOf[m[2]];
      ASSERT_TRUE(lastSync.contains(fd)) << target << " renamed before it was synced";
      renamed[target] = n;
      folderOf[target] = std::stoi(m[3]);
    }
  }
  ASSERT_EQ(renamed.size(), 2u) << dir.read("trace");
  for (const auto& [target, at] : renamed) {
    const int folder = folderOf[target];
    EXPECT_TRUE(lastSync.contains(folder) && lastSync[folder] > at) << target << ": folder not synced after";
  }
}

}  // namespace
}  // namespace ezg
