// ezgitar-cli's writes under interruption, and the order in which they
// reach the disk.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/cli.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

// True once `pid` holds a file open in `folder` whose name starts with
// `prefix`.
bool holdsOpen(pid_t pid, const fs::path& folder, const std::string& prefix) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = fs::read_symlink(fd.path(), ec).string();
    if (!ec && target.starts_with((folder / prefix).string())) return true;
  }
  return false;
}

template <class Ready>
void pollUntil(Ready ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ready() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// ezgitar-cli in `folder` on a disk of the shim's: each sync takes
// `syncMs`, and a `bare` one has no unnamed temporaries.
pid_t startCli(const fs::path& folder, std::vector<std::string> args, int syncMs, bool bare = false) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  ::setenv("LD_PRELOAD", EZGITAR_SLOW_DISK, 1);
  ::setenv("EZG_TEST_SYNC_MS", std::to_string(syncMs).c_str(), 1);
  if (bare) ::setenv("EZG_TEST_BARE_FS", "1", 1);
  // The sanitizers' runtime need not come first for a test's preload.
  ::setenv("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0", 1);
  if (::chdir(folder.c_str()) != 0) ::_exit(127);
  std::vector<char*> argv{const_cast<char*>("ezgitar-cli")};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(EZGITAR_CLI, argv.data());
  ::_exit(127);
}

using CliInterrupted = Cli;

// A pair is all old or all new after a signal, whenever it comes: while
// the copies are written, or while a pair is being replaced (the signal
// then waits for it); with unnamed temporaries, or named ones.
TEST_F(CliInterrupted, ASignalLeavesEachPairAllOldOrAllNewAndNothingBehind) {
  struct Case {
    int sig;
    const char* jobs;
    bool replacing, bare;
  };
  const Case cases[] = {
      {SIGINT, "1", false, false}, {SIGTERM, "2", false, true}, {SIGINT, "2", true, false},
      {SIGTERM, "1", true, true},  {SIGHUP, "2", true, false},  {SIGPIPE, "2", true, true},
  };
  dir.write("a.mid", song);
  dir.write("b.mid", build::makeMidi(std::vector<build::Note>(6)));
  const std::vector<std::string> all = {"a.mid", "a_13.mid", "a_24.mid", "b.mid", "b_13.mid", "b_24.mid"};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "signal " << c.sig << ", -j " << c.jobs
                                      << (c.replacing ? ", replacing" : ", writing")
                                      << (c.bare ? ", bare file system" : ""));
    for (const char* copy : {"a_13.mid", "a_24.mid", "b_13.mid", "b_24.mid"}) dir.write(copy, "old");
    const pid_t child = startCli(dir.path(), {"split", "-q", "-j", c.jobs, "a.mid", "b.mid"}, 300, c.bare);
    // A first copy in place is a pair being replaced: the folder's sync,
    // slow on this disk, is still to come.
    if (c.replacing)
      pollUntil([&] { return dir.read("a_13.mid") != "old" || dir.read("b_13.mid") != "old"; });
    else
      pollUntil([&] { return holdsOpen(child, dir.path(), c.bare ? ".ezgitar-" : "#"); });
    ::kill(child, c.sig);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << status;
    EXPECT_EQ(dir.names(), all);
    int newPairs = 0;
    for (const char* base : {"a", "b"}) {
      const bool new13 = dir.read(std::string(base) + "_13.mid") != "old";
      EXPECT_EQ(new13, dir.read(std::string(base) + "_24.mid") != "old") << base;
      newPairs += new13;
    }
    EXPECT_EQ(newPairs > 0, c.replacing);
  }
}

// A run killed outright leaves each copy whole, old or new. Killed in the
// moment a pair takes its names, it may leave the old first copy, or a new
// copy, whole under a name of ours.
TEST_F(CliInterrupted, AKillLeavesEachCopyWhole) {
  dir.write("a.mid", build::makeMidi(build::makamMelody(200'000, 2)));
  ASSERT_EQ(cli("split -q a.mid").status, 0);
  const std::string new13 = dir.read("a_13.mid"), new24 = dir.read("a_24.mid");
  for (int trial = 0; trial < 4; ++trial) {
    SCOPED_TRACE(trial);
    dir.write("a_13.mid", "old 13");
    dir.write("a_24.mid", "old 24");
    // Killed while the copies are written, or once a first copy is in
    // place and a folder's sync, slow on this disk, is under way.
    const pid_t child = startCli(dir.path(), {"split", "-q", "-j", trial < 2 ? "1" : "2", "a.mid"}, 300);
    if (trial % 2 == 1)
      pollUntil([&] { return dir.read("a_13.mid") != "old 13"; });
    else
      pollUntil([&] { return holdsOpen(child, dir.path(), "#"); });
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    for (const std::string& name : dir.names()) {
      if (name == "a.mid") continue;
      const std::string b = dir.read(name);
      if (name == "a_13.mid" || name == "a_24.mid") {
        EXPECT_TRUE(b == "old " + name.substr(2, 2) || b == (name == "a_13.mid" ? new13 : new24)) << name;
        continue;
      }
      EXPECT_TRUE(std::regex_match(name, std::regex(R"(\.ezgitar-[A-Za-z0-9]{6}\.tmp)"))) << name;
      // The old first copy put aside, or a copy that was taking its name.
      EXPECT_TRUE(b == "old 13" || b == new13 || b == new24) << name;
      fs::remove(dir / name);
    }
  }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

using CliHeldLines = Cli;

// Lines of a file waiting for its turn go to a temporary file in /tmp; a
// full or read-only /tmp neither loses them nor makes them pile up in
// memory.
TEST_F(CliHeldLines, AreAllPrintedInOrderWhatever_tmpIs) {
  if (runCommand("unshare -m true").status != 0) GTEST_SKIP() << "no private mount namespace here";
  // 600,000 warnings each, some 24 MB of lines a file.
  for (const char* name : {"w1.mid", "w2.mid"}) dir.write(name, build::wrapTrack(Bytes(600'000, 0x90)));
  dir.write("small.mid", song);
  ASSERT_EQ(cli("test -j 1 w1.mid w2.mid small.mid >one").status, 1);
  // Run from the folder, which a new /tmp may cover, as the test's folder
  // and the build may lie under it.
  fs::copy_file(EZGITAR_CLI, dir / "ezgitar-cli");
  fs::copy_file(PEAK_MEMORY, dir / "peak_memory");
  for (const std::string options : {"size=1m", "ro"}) {
    const std::string run = "mount -t tmpfs -o " + options +
                            " tmpfs /tmp && exec ./peak_memory peak ./ezgitar-cli test -j 2 w1.mid w2.mid small.mid";
    const auto r =
        runCommand("cd " + q("") + " && " + kEnglish + "unshare -m sh -c " + shellQuote(run) + " >" + options);
    EXPECT_EQ(r.status, 1) << options << ": " << r.err;
    if (!kSanitized) {
      EXPECT_LT(std::stol(dir.read("peak")), 16 << 10) << options << ": peak KiB";
    }
    EXPECT_EQ(runCommand("cmp " + q("one") + " " + q(options)).status, 0) << options;
  }
}

// A job that runs out of open files beside the others is run again alone.
TEST_F(CliHeldLines, AnyNumberOfJobsDoesWhatOneJobDoesUnderAnOpenFileLimit) {
  if (runCommand("command -v prlimit").status != 0) GTEST_SKIP() << "no prlimit";
  // The sanitizers' own checks open a pipe, and fail where no descriptor is left.
  if (kSanitized) GTEST_SKIP() << "sanitizers need descriptors of their own";
  for (const char* name : {"a.mid", "b.mid", "c.mid", "d.mid"}) dir.write(name, song);
  for (const std::string cmd : {"split", "report", "test"}) {
    // The fewest open files one job needs here.
    int limit = 4;
    CommandResult one;
    for (; limit < 32; ++limit) {
      one = cli(cmd + " -j 1 a.mid b.mid c.mid d.mid", "prlimit --nofile=" + std::to_string(limit) + " ");
      if (one.status == 0) break;
    }
    ASSERT_EQ(one.status, 0) << cmd << ": " << one.err;
    const auto four = cli(cmd + " -j 4 a.mid b.mid c.mid d.mid", "prlimit --nofile=" + std::to_string(limit) + " ");
    EXPECT_EQ(four.status, 0) << cmd << " at " << limit << " open files: " << four.err;
    EXPECT_EQ(four.out, one.out) << cmd;
  }
}

// Immutable files need a file system that keeps the flag: the build tree's.
class CliPair : public Cli {
 protected:
  CliPair() : Cli(fs::current_path()) {}
};

// Alone or in a batch, where its outputs wait to be put in place with
// others'.
TEST_F(CliPair, ASecondCopyThatCannotBeReplacedKeepsBothOldFiles) {
  for (const char* name : {"a.mid", "b.mid"}) dir.write(name, build::makeMidi(std::vector<build::Note>(8)));
  dir.write("a_24.mid", "old 24");
  const int fd = ::open((dir / "a_24.mid").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  int flags = 0;
  const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  CommandResult runs[2];
  if (locked) {
    for (int i = 0; i < 2; ++i) {
      dir.write("a_13.mid", "old 13");
      runs[i] = cli(i == 0 ? "split a.mid" : "split -j 1 a.mid b.mid");
      EXPECT_EQ(dir.read("a_13.mid"), "old 13");
    }
  }
  flags &= ~FS_IMMUTABLE_FL;
  ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  ::close(fd);
  if (!locked) GTEST_SKIP() << "no immutable files here";
  for (const CommandResult& run : runs) {
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ezgitar-cli: a.mid: cannot write a_24.mid: permission denied; both old files kept\n");
  }
  EXPECT_NE(runs[1].out.find("b_13.mid"), std::string::npos) << runs[1].out;
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mid", "a_13.mid", "a_24.mid", "b.mid", "b_13.mid", "b_24.mid"}));
}

// A disk that fails its syncs keeps every old file, alone or in a batch,
// and each file says so.
TEST_F(CliPair, AFailedSyncKeepsEveryOldFile) {
  const std::vector<std::string> all = {"a.mid", "a_13.mid", "a_24.mid", "b.mid", "b_13.mid", "b_24.mid"};
  for (const std::string& name : all) dir.write(name, name.size() == 5 ? song : Bytes{'o', 'l', 'd'});
  const std::string failing = "LD_PRELOAD=" EZGITAR_SLOW_DISK
                              " EZG_TEST_SYNC_ERRNO=28 "
                              "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 ";
  const auto said = [](const char* base) {
    return fmt::format(
        "ezgitar-cli: {0}.mid: cannot write {0}_13.mid: no space left on the disk; both old files kept\n", base);
  };
  for (const std::string inputs : {"a.mid", "a.mid b.mid"}) {
    const auto run = cli("split -j 1 " + inputs, failing);
    EXPECT_EQ(run.status, 2) << inputs;
    EXPECT_EQ(run.err, inputs == "a.mid" ? said("a") : said("a") + said("b"));
    EXPECT_EQ(dir.names(), all);
    for (const char* copy : {"a_13.mid", "a_24.mid", "b_13.mid", "b_24.mid"}) EXPECT_EQ(dir.read(copy), "old") << copy;
  }
}

// One system call as strace shows it once it has returned: a call that
// another thread cut in two is joined again.
struct Call {
  std::string name, args;
  long result;
};

std::vector<Call> tracedCalls(const std::string& trace) {
  const std::regex whole(R"(^(\d+) +(\w+)\((.*)\) += (-?\d+))");
  const std::regex start(R"(^(\d+) +(.*) <unfinished \.\.\.>$)");
  const std::regex resumed(R"(^(\d+) +<\.\.\. \w+ resumed>(.*)$)");
  std::map<std::string, std::string> cut;  // thread -> the call's start
  std::vector<Call> calls;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, start)) {
      cut[m[1]] = m[2];
      continue;
    }
    if (std::regex_match(line, m, resumed)) line = m[1].str() + " " + cut[m[1]] + m[2].str();
    if (std::regex_match(line, m, whole)) calls.push_back({m[2], m[3], std::stol(m[4])});
  }
  return calls;
}

// Each output is on the disk before it takes its name, and the folder is
// synced after the names changed, so a crash shows the old file or the
// new: one pair syncs each file and the folder; a batch on a file system
// whose own sync covers every file syncs it once for the group.
using CliOrder = Cli;

TEST_F(CliOrder, EachFileLastsBeforeItsRenameAndTheFolderAfter) {
  if (runCommand("strace -o /dev/null true 2>&1").status != 0) GTEST_SKIP() << "strace cannot trace here";
  struct statfs fs {};
  ASSERT_EQ(::statfs(dir.path().c_str(), &fs), 0);
  const long type = static_cast<long>(fs.f_type);
  const bool syncsAsOne = type == 0xEF53 || type == 0x58465342 || type == 0x9123683E;
  for (const char* name : {"a.mid", "b.mid", "c.mid"}) dir.write(name, build::makeMidi(std::vector<build::Note>(8)));
  for (const auto& [inputs, pairs] : {std::pair{"a.mid", 1}, {"a.mid b.mid c.mid", 3}}) {
    SCOPED_TRACE(inputs);
    // A leak checker cannot run under a tracer.
    const auto run = cli("split -q -j 2 " + std::string(inputs),
                         "ASAN_OPTIONS=detect_leaks=0 strace -f -o trace -e trace=openat,fcntl,fsync,fdatasync,"
                         "syncfs,rename,renameat,renameat2,linkat ");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::regex folderOpened(R"re(AT_FDCWD, "([^"]+)", O_RDONLY\|O_DIRECTORY\|O_CLOEXEC)re");
    const std::regex link(R"re(AT_FDCWD, "/proc/self/fd/(\d+)", \d+, "([^"]+)")re");
    const std::regex rename(R"re((\d+), "(\.ezgitar-[^"]+)", (\d+), "([^"]+)")re");
    std::map<int, std::string> folderOf;  // descriptor -> folder
    std::map<std::string, int> fileOf;    // temporary -> descriptor
    std::set<int> written, lasting;       // file descriptors: opened since the last sync of all, synced
    std::map<std::string, std::pair<std::size_t, std::string>> renamed;  // target -> call, folder
    std::map<std::string, std::size_t> folderSynced;                     // folder -> call
    int fileSyncs = 0, systemSyncs = 0, folderSyncs = 0;
    const std::vector<Call> calls = tracedCalls(dir.read("trace"));
    for (std::size_t n = 0; n < calls.size(); ++n) {
      const auto& [name, args, result] = calls[n];
      const int fd = std::atoi(args.c_str());
      std::smatch m;
      if (result < 0) continue;
      if (name == "openat") {
        written.insert(static_cast<int>(result));
        lasting.erase(static_cast<int>(result));
        if (std::regex_search(args, m, folderOpened)) folderOf[static_cast<int>(result)] = m[1];
      } else if (name == "fcntl" && args.find("F_DUPFD_CLOEXEC") != std::string::npos) {
        folderOf[static_cast<int>(result)] = folderOf[fd];
      } else if (name == "fsync" || name == "fdatasync") {
        if (folderOf.contains(fd)) {
          folderSynced[folderOf[fd]] = n;
          ++folderSyncs;
        } else {
          lasting.insert(fd);
          ++fileSyncs;
        }
      } else if (name == "syncfs") {
        lasting.insert(written.begin(), written.end());
        written.clear();
        ++systemSyncs;
      } else if (name == "linkat" && std::regex_search(args, m, link)) {
        fileOf[m[2]] = std::stoi(m[1]);
      } else if (name.starts_with("rename") && std::regex_search(args, m, rename)) {
        EXPECT_TRUE(fileOf.contains(m[2]) && lasting.contains(fileOf[m[2]])) << m[4] << " renamed before it lasts";
        renamed[m[4]] = {n, folderOf[std::stoi(m[3])]};
      }
    }
    ASSERT_EQ(renamed.size(), 2u * pairs) << dir.read("trace");
    for (const auto& [target, at] : renamed)
      EXPECT_TRUE(folderSynced.contains(at.second) && folderSynced[at.second] > at.first)
          << target << ": folder not synced after";
    EXPECT_EQ(folderSyncs, 1);
    const bool asOne = pairs > 1 && syncsAsOne;
    EXPECT_EQ(fileSyncs, asOne ? 0 : 2 * pairs);
    EXPECT_EQ(systemSyncs, asOne ? 1 : 0);
  }
}

}  // namespace
}  // namespace ezg::testing
