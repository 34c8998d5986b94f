// pars.bin: twenty-byte records of start, end, status and code.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/fake_platform.h"
#include "app/run_log.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

std::string record(double start, double end, std::uint8_t status, const char code[3]) {
  return serializeRunLog({RunRecord{start, end, status, {code[0], code[1], code[2]}}});
}

TEST(RunLogFormat, ARecordIsTwoLittleEndianDoublesAStatusByteAndThreeCodeBytes) {
  const std::string bytes = record(1.5, -2.25, 0xAB, "x9Z");
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\0\0\0\0\0\0\xF8\x3F", 8));
  double end;
  std::memcpy(&end, bytes.data() + 8, 8);
  EXPECT_EQ(end, -2.25);
  EXPECT_EQ(bytes.substr(16),
            "\xAB"
            "x9Z");
}

TEST(RunLogFormat, TimesAreDaysFromTheLastDayOf1899) {
  EXPECT_EQ(toOleDate({1899, 12, 30, 0, 0, 0}), 0.0);
  EXPECT_EQ(toOleDate({1899, 12, 31, 12, 0, 0}), 1.5);
  EXPECT_EQ(toOleDate({1900, 3, 1, 0, 0, 0}), 61.0);
  EXPECT_DOUBLE_EQ(toOleDate({2026, 12, 6, 18, 30, 15}), 46362 + (18 * 3600 + 30 * 60 + 15) / 86400.0);
}

class RunLogRun : public ::testing::Test {
 protected:
  RunLogRun() { platform.setCurrentFolder(dir.path().string()); }
  ~RunLogRun() override { platform.setCurrentFolder(saved); }
  std::string saved = std::filesystem::current_path().string();
  testing::TempDir dir;
  FakePlatform platform;
};

TEST_F(RunLogRun, NothingIsWrittenUntilSave) {
  const std::string old = record(1, 2, 3, "abc") + record(4, 5, 6, "def");
  dir.write("pars.bin", old);
  RunLog log;
  EXPECT_FALSE(log.save(platform));  // never loaded: nothing to save
  ASSERT_FALSE(log.loadAndAppend(platform, "pars.bin"));
  EXPECT_TRUE(log.runFlag());
  EXPECT_EQ(dir.read("pars.bin"), old);  // a run killed here leaves the file as it was
}

}  // namespace
}  // namespace ezg
