// Safe writes against real faults: links, locked folders and files, a full
// disk, long names, and a pair that must change together.
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <gtest/gtest.h>

#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;

TEST(SafeWrite, ALinkToAFileReplacesThatFileAndStaysALink) {
  testing::TempDir dir;
  fs::create_directory(dir / "real");
  dir.write("real/song.txt", "old");
  fs::create_symlink("real/song.txt", dir / "song.txt");
  ASSERT_FALSE(writeFileSafely(dir / "song.txt", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "song.txt"));
  EXPECT_EQ(dir.read("real/song.txt"), "new");
  EXPECT_EQ(dir.names("real"), std::vector<std::string>{"song.txt"});
}

TEST(SafeWrite, ALinkToNothingIsRefused) {
  testing::TempDir dir;
  fs::create_symlink("gone/song.txt", dir / "song.txt");
  const Status failed = writeFileSafely(dir / "song.txt", "new");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::DanglingLink);
  EXPECT_EQ(failed->detail, (dir / "song.txt").string());
  EXPECT_EQ(dir.names(), std::vector<std::string>{"song.txt"});
}

TEST(SafeWrite, ALinkToAFolderIsAFolderInTheWay) {
  testing::TempDir dir;
  fs::create_directory(dir / "folder");
  fs::create_symlink("folder", dir / "song.txt");
  const Status failed = writeFileSafely(dir / "song.txt", "new");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::FolderInTheWay);
  EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

// The temporary's name does not grow with the target's.
TEST(SafeWrite, ANameAsLongAsTheFolderTakesIsWritten) {
  testing::TempDir dir;
  const std::string name = std::string(246, 'n') + ".txt";
  ASSERT_FALSE(writeFileSafely(dir / name, "new"));
  EXPECT_EQ(dir.read(name), "new");
  EXPECT_EQ(dir.names(), std::vector<std::string>{name});
}

// Root writes anywhere, so an ordinary user tries in a child.
TEST(SafeWrite, AFolderTheUserMayNotWriteToKeepsItsFile) {
  testing::TempDir dir;
  fs::permissions(dir.path(), fs::perms(0755));
  dir.write("song.txt", "old");
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
    const Status failed = writeFileSafely(dir / "song.txt", "new");
    ::_exit(failed && failed->code == FailureCode::NoPermission ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(dir.read("song.txt"), "old");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"song.txt"});
}

TEST(SafeWrite, AFullDiskKeepsTheOldFileAndLeavesNothing) {
  testing::TempDir dir;
  fs::create_directory(dir / "small");
  if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  dir.write("small/song.txt", "old");
  const Status failed = writeFileSafely(dir / "small" / "song.txt", std::string(256 * 1024, 'x'));
  const auto left = dir.names("small");
  const std::string kept = dir.read("small/song.txt");
  ::umount((dir / "small").c_str());
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::DiskFull);
  EXPECT_EQ(kept, "old");
  EXPECT_EQ(left, std::vector<std::string>{"song.txt"});
}

// The old first file is kept under a temporary name until the second is in
// place; a signal then must take that name away too.
TEST(SafeWrite, ASignalHandlerRemovesTheNamedTemporaries) {
  testing::TempDir dir;
  dir.write("a_13.mid", "old 13");
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGTERM, [](int) {
      removeTemporariesOnSignal();
      ::_exit(0);
    });
    SafeFile out13(dir / "a_13.mid");
    out13.write("new 13");
    if (out13.commitKeepingOld()) ::_exit(1);
    ::raise(SIGTERM);
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a_13.mid"});
  EXPECT_EQ(dir.read("a_13.mid"), "new 13");
}

}  // namespace
}  // namespace ezg
