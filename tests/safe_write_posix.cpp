// What the POSIX file layer must refuse: links, FIFOs, locked folders, a
// full disk, long names.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <gtest/gtest.h>

#include "files/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(SafeWrite, ALinkToAFileReplacesThatFileAndStaysALink) {
  testing::TempDir dir;
  fs::create_directory(dir / "real");
  dir.write("real/song.txt", "old");
  fs::create_symlink("real/song.txt", dir / "song.txt");
  ASSERT_FALSE(writeFileSafely(dir / "song.txt", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "song.txt"));
  EXPECT_EQ(dir.read("real/song.txt"), "new");
  EXPECT_EQ(dir.names("real"), Names{"song.txt"});
}

// Kept from links only while it is among the files kept: a window that
// runs many times lets go of the files of its earlier runs.
TEST(SafeWrite, ALinkToAKeptFileIsRefusedUntilTheFileIsLetGo) {
  testing::TempDir dir;
  dir.write("song.mid", "song");
  dir.write("other.mid", "other");
  fs::create_symlink("song.mid", dir / "copy.mid");
  keepOnlyFromLinks({dir / "song.mid"});
  const Status refused = writeFileSafely(dir / "copy.mid", "new");
  EXPECT_TRUE(refused && refused->code == FailureCode::KeptFile);
  keepOnlyFromLinks({dir / "other.mid"});
  EXPECT_FALSE(writeFileSafely(dir / "copy.mid", "new"));
  EXPECT_EQ(dir.read("song.mid"), "new");
  keepOnlyFromLinks({});
}

TEST(SafeWrite, ARefusedTargetIsNamedWithWhyAndNothingChanges) {
  using SetUp = std::function<void(const testing::TempDir&)>;
  const std::tuple<const char*, FailureCode, SetUp> cases[] = {
      {"a link to nothing", FailureCode::DanglingLink,
       [](const auto& dir) { fs::create_symlink("gone/song.txt", dir / "song.txt"); }},
      {"a link to a folder", FailureCode::FolderInTheWay,
       [](const auto& dir) {
         fs::create_directory(dir / "folder");
         fs::create_symlink("folder", dir / "song.txt");
       }},
      // Replaced, a FIFO or a device would stop being one.
      {"a link to a FIFO", FailureCode::NotPlainFile,
       [](const auto& dir) {
         ::mkfifo((dir / "fifo").c_str(), 0644);
         fs::create_symlink("fifo", dir / "song.txt");
       }},
      {"links in a loop", FailureCode::LinkLoop,
       [](const auto& dir) {
         fs::create_symlink("other.txt", dir / "song.txt");
         fs::create_symlink("song.txt", dir / "other.txt");
       }},
      // Root could write there; the folder's mode still says no.
      {"a read-only folder", FailureCode::ReadOnlyFolder,
       [](const auto& dir) {
         dir.write("song.txt", "old");
         fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
       }},
  };
  for (const auto& [what, code, setUp] : cases) {
    SCOPED_TRACE(what);
    testing::TempDir dir;
    setUp(dir);
    const auto contents = [&] {
      std::error_code ec;
      return fs::is_regular_file(dir / "song.txt", ec) ? dir.read("song.txt") : "";
    };
    const Names before = dir.tree();
    const std::string old = contents();
    const Status failed = writeFileSafely(dir / "song.txt", "new");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->code, code);
    EXPECT_EQ(failed->detail, (dir / "song.txt").string());
    EXPECT_EQ(dir.tree(), before);
    EXPECT_EQ(contents(), old);
  }
}

// The temporary's name does not grow with the target's.
TEST(SafeWrite, ANameAsLongAsTheFolderTakesIsWritten) {
  testing::TempDir dir;
  const std::string name = std::string(246, 'n') + ".txt";
  ASSERT_FALSE(writeFileSafely(dir / name, "new"));
  EXPECT_EQ(dir.read(name), "new");
  EXPECT_EQ(dir.names(), Names{name});
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
  EXPECT_EQ(dir.names(), Names{"song.txt"});
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
  EXPECT_EQ(left, Names{"song.txt"});
}

}  // namespace
}  // namespace ezg
