// File names, a file replaced only whole, and what a killed run left
// settled: the part both systems share. What each system's file layer must
// refuse is in safe_write_posix.cpp and safe_write_win32.cpp.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "midi/folder.h"
#include "midi/midi_names.h"
#include "midi/safe_write.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The extension's case counts only where the file system's does.
TEST(MidiNames, TheExtensionIsMidiInTheCaseTheFileSystemTells) {
  for (const char* name : {"a.mid", ".mid", "şarkı 3.mid"}) EXPECT_TRUE(isMidiFileName(name)) << name;
  for (const char* name : {"a.midi", "mid", "a.mid.txt"}) EXPECT_FALSE(isMidiFileName(name)) << name;
  for (const char* name : {"A.MID", "a.Mid"}) EXPECT_EQ(isMidiFileName(name), kNamesIgnoreCase) << name;
  EXPECT_EQ(baseNameOf("Uşşak peşrevi.mid"), "Uşşak peşrevi");
  EXPECT_EQ(baseNameOf("SONG.MID"), kNamesIgnoreCase ? "SONG" : "SONG.MID");
  // The list's empty entry, and no output base at all.
  EXPECT_EQ(baseNameOf(".mid"), "");
}

TEST(MidiNames, SortInByteOrder) {
  EXPECT_EQ(sortedMidiNames({"c.mid", "b.mid", "notes.txt", "a.mid", "B.mid", "ç.mid", "_x.mid"}),
            (Names{"B.mid", "_x.mid", "a.mid", "b.mid", "c.mid", "ç.mid"}));
}

TEST(SafeWrite, ReplacesTheWholeFileOnlyWhenCommitted) {
  testing::TempDir dir;
  dir.write("out.bin", "old contents that are long");
  SafeFile(dir / "out.bin").write("new");  // never committed
  EXPECT_EQ(dir.read("out.bin"), "old contents that are long");
  EXPECT_EQ(dir.names(), Names{"out.bin"});
  ASSERT_FALSE(writeFileSafely(dir / "out.bin", "new"));
  EXPECT_EQ(dir.read("out.bin"), "new");  // no tail of the longer old file
  EXPECT_EQ(dir.names(), Names{"out.bin"});
}

// A temporary being written, held as the program's own writers hold theirs.
class LiveWriter {
 public:
  explicit LiveWriter(const fs::path& path) {
#ifdef _WIN32
    handle_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            0, nullptr);
    held_ = handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = ::open(path.c_str(), O_RDONLY);
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
#endif
  }
  ~LiveWriter() {
#ifdef _WIN32
    ::CloseHandle(handle_);
#else
    ::close(fd_);
#endif
  }
  LiveWriter(const LiveWriter&) = delete;
  LiveWriter& operator=(const LiveWriter&) = delete;
  bool held() const { return held_; }

 private:
#ifdef _WIN32
  HANDLE handle_;
#else
  int fd_;
#endif
  bool held_;
};

// What a killed run leaves: a pair with its first copy new, the old first
// copy aside, the record of the pair, the second copy new under a temporary
// name or already in place, and temporaries. The first write into the
// folder puts a half-replaced pair back, lets a replaced one stand, and
// clears the rest but for a temporary that a live writer holds.
TEST(SafeWrite, TheFirstWriteIntoAFolderSettlesWhatAKilledRunLeft) {
  for (const bool secondInPlace : {false, true}) {
    SCOPED_TRACE(secondInPlace ? "second copy in place" : "second copy not in place");
    testing::TempDir dir;
    dir.write("ağıt_13.mid", "new 13");
    dir.write(".ezg-Aside1", "old 13");
    dir.write(secondInPlace ? "ağıt_24.mid" : ".ezg-Second", "new 24");
    if (!secondInPlace) dir.write("ağıt_24.mid", "old 24");
    dir.write(".ezj-Record", "ezgitar pair 1\n.ezg-Aside1\nağıt_13.mid\n.ezg-First1\n.ezg-Second\nağıt_24.mid\n");
    dir.write(".ezg-Orphan", "half");
    dir.write(".ezg-Living", "being written");
    {
      LiveWriter writer(dir / ".ezg-Living");
      ASSERT_TRUE(writer.held());
      ASSERT_FALSE(writeFileSafely(dir / "b.txt", "b"));
    }
    const std::string expected = secondInPlace ? "new" : "old";
    EXPECT_EQ(dir.read("ağıt_13.mid"), expected + " 13");
    EXPECT_EQ(dir.read("ağıt_24.mid"), expected + " 24");
    EXPECT_EQ(dir.names(), (Names{".ezg-Living", "ağıt_13.mid", "ağıt_24.mid", "b.txt"}));
  }
}

}  // namespace
}  // namespace ezg
