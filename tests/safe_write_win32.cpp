// What the Windows file layer must refuse: a file another program holds
// open, a read-only file, and a pair whose second copy cannot take its name
// once the first has. The old files stay as they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "files/safe_write.h"
#include "files/utf8_path.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

using Names = std::vector<std::string>;

// Held as an editor or a player holds a file: read, and shared for reading
// only; null where it cannot be opened.
std::unique_ptr<void, decltype(&::CloseHandle)> holdOpen(const std::filesystem::path& path) {
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  return {handle == INVALID_HANDLE_VALUE ? nullptr : handle, &::CloseHandle};
}

TEST(SafeWriteWindows, AFileHeldOpenOrReadOnlyIsRefusedAndKept) {
  testing::TempDir dir;
  dir.write("çalınan.mid", "old");
  {
    const auto player = holdOpen(dir / "çalınan.mid");
    ASSERT_TRUE(player);
    const Status failed = writeFileSafely(dir / "çalınan.mid", "new");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->code, FailureCode::HeldOpen);
    EXPECT_EQ(failed->detail, utf8Of(dir / "çalınan.mid"));
  }
  ASSERT_TRUE(::SetFileAttributesW((dir / "çalınan.mid").c_str(), FILE_ATTRIBUTE_READONLY));
  const Status failed = writeFileSafely(dir / "çalınan.mid", "new");
  ::SetFileAttributesW((dir / "çalınan.mid").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::ReadOnlyFile);
  EXPECT_EQ(dir.read("çalınan.mid"), "old");
  EXPECT_EQ(dir.names(), Names{"çalınan.mid"});
}

// The second copy is taken hold of after both were opened, so the first has
// its new name already when the second cannot get its own.
TEST(SafeWriteWindows, APairWhoseSecondCopyIsHeldOpenKeepsBothOldFiles) {
  for (const bool firstExisted : {true, false}) {
    SCOPED_TRACE(firstExisted ? "first copy replaced" : "first copy new");
    testing::TempDir dir;
    if (firstExisted) dir.write("ney_13.mid", "old 13");
    dir.write("ney_24.mid", "old 24");
    SafeFile first(dir / "ney_13.mid"), second(dir / "ney_24.mid");
    first.write("new 13");
    second.write("new 24");
    const auto player = holdOpen(dir / "ney_24.mid");
    ASSERT_TRUE(player);
    const Status failed = commitBoth(first, second);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->detail, utf8Of(dir / "ney_24.mid"));
    EXPECT_EQ(dir.read("ney_24.mid"), "old 24");
    if (firstExisted) {
      EXPECT_EQ(dir.read("ney_13.mid"), "old 13");
    }
    EXPECT_EQ(dir.names(), firstExisted ? (Names{"ney_13.mid", "ney_24.mid"}) : Names{"ney_24.mid"});
  }
}

}  // namespace
}  // namespace ezg
