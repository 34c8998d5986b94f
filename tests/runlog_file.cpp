// pars.bin: twenty-byte records of start, end, status and code.
#include <gtest/gtest.h>

#include <cstring>

#include "app/fake_platform.h"
#include "app/run_log.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

std::string record(double start, double end, std::uint8_t status, const char code[3]) {
  return serializeRunLog({RunRecord{start, end, status, {code[0], code[1], code[2]}}});
}

std::vector<RunRecord> parse(const std::string& bytes) {
  return parseRunLog(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

TEST(RunLogFormat, TwentyLittleEndianBytesARecordCountedHalfToEvenWithDaysFrom1899) {
  const std::pair<std::int64_t, std::int64_t> counts[] = {{0, 0},  {9, 0},  {10, 0}, {11, 1}, {20, 1},
                                                          {25, 1}, {29, 1}, {30, 2}, {50, 2}, {70, 4},
                                                          {655330, 32766},  {655350, 32768}};
  for (auto [length, n] : counts) EXPECT_EQ(runLogRecordCount(length), n) << length;
  std::string bytes = record(1.5, -2.25, 0xAB, "x9Z");
  ASSERT_EQ(bytes.size(), 20u);
  double start;
  std::memcpy(&start, bytes.data(), 8);
  EXPECT_EQ(start, 1.5);
  EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 0x3F);  // high byte of 1.5 last
  EXPECT_EQ(static_cast<unsigned char>(bytes[16]), 0xAB);
  EXPECT_EQ(bytes.substr(17), "x9Z");
  bytes = record(45000.5, 45000.75, 7, "ABC");
  bytes += bytes.substr(0, 15);  // 35 bytes: two records, the second cut after its end time
  const auto records = parse(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].status, 7);
  EXPECT_EQ(records[1].start, 45000.5);
  EXPECT_NE(records[1].end, 45000.75);  // its last byte was missing and reads as zero
  EXPECT_EQ(records[1].status, 0);
  EXPECT_EQ(records[1].code, (std::array<char, 3>{0, 0, 0}));
  // Times are days from the last day of 1899.
  EXPECT_EQ(toOleDate({1899, 12, 30, 0, 0, 0}), 0.0);
  EXPECT_EQ(toOleDate({1899, 12, 31, 12, 0, 0}), 1.5);
  EXPECT_EQ(toOleDate({1900, 3, 1, 0, 0, 0}), 61.0);
  EXPECT_DOUBLE_EQ(toOleDate({2026, 12, 6, 18, 30, 15}), 46362 + (18 * 3600 + 30 * 60 + 15) / 86400.0);
  const LocalDateTime back = fromOleDate(toOleDate({2026, 12, 6, 23, 59, 59}));
  EXPECT_TRUE(back.year == 2026 && back.day == 6 && back.hour == 23 && back.second == 59);
}

class RunLogRun : public ::testing::Test {
 protected:
  RunLogRun() { platform.setCurrentFolder(dir.path().string()); }
  ~RunLogRun() override { platform.setCurrentFolder(saved); }
  // One whole run: load at start-up, save at shutdown.
  void run(LocalDateTime start, LocalDateTime end) {
    RunLog log;
    platform.clock = start;
    ASSERT_FALSE(log.loadAndAppend(platform, "pars.bin"));
    platform.clock = end;
    ASSERT_FALSE(log.save(platform));
  }
  std::string saved = std::filesystem::current_path().string();
  testing::TempDir dir;
  FakePlatform platform;
};

TEST_F(RunLogRun, OldRecordsAreKeptRoundedToWholeRecordsAndRunsAppendInOrder) {
  const std::pair<std::size_t, std::size_t> cases[] = {{0, 20}, {10, 20}, {20, 40}, {25, 40}, {50, 60}, {70, 100}};
  for (auto [before, after] : cases) {
    const std::string old(before, '\x11');
    dir.write("pars.bin", old);
    run({2026, 1, 2, 3, 4, 5}, {2026, 1, 2, 3, 4, 6});
    const std::string now = dir.read("pars.bin");
    ASSERT_EQ(now.size(), after) << before;
    const auto kept = std::min<std::size_t>(20 * runLogRecordCount(static_cast<std::int64_t>(before)), before);
    EXPECT_EQ(now.substr(0, kept), old.substr(0, kept)) << before;
    EXPECT_EQ(now.substr(now.size() - 4), std::string("\0" "000", 4)) << before;
  }
  // Old records come back byte for byte, and runs append in order.
  const std::string old = record(40000.25, 40000.5, 9, "XYZ") + record(0, 0, 255, "\xFD\xFE\xC7");
  dir.write("pars.bin", old);
  for (int k = 0; k < 3; ++k) run({2026, 12, 6, 10 + k, 0, 0}, {2026, 12, 6, 10 + k, 30, 0});
  const std::string now = dir.read("pars.bin");
  ASSERT_EQ(now.size(), 100u);
  EXPECT_EQ(now.substr(0, 40), old);
  const auto records = parse(now);
  for (int k = 0; k < 3; ++k) {
    const RunRecord& r = records[static_cast<std::size_t>(2 + k)];
    EXPECT_EQ(r.start, toOleDate({2026, 12, 6, 10 + k, 0, 0}));
    EXPECT_EQ(r.end, toOleDate({2026, 12, 6, 10 + k, 30, 0}));
    EXPECT_TRUE(r.status == 0 && r.code == (std::array<char, 3>{'0', '0', '0'})) << k;
  }
}

TEST_F(RunLogRun, NothingIsWrittenUntilSaveAndAFailedSaveKeepsTheOldFile) {
  const std::string old = record(1, 2, 3, "abc") + record(4, 5, 6, "def");
  dir.write("pars.bin", old);
  {
    RunLog log;
    EXPECT_FALSE(log.save(platform));  // never loaded: run flag false
    ASSERT_FALSE(log.loadAndAppend(platform, "pars.bin"));
    EXPECT_TRUE(log.runFlag());
    // A run killed here never saves.
  }
  EXPECT_EQ(dir.read("pars.bin"), old);
  RunLog log;
  ASSERT_FALSE(log.loadAndAppend(platform, "pars.bin"));
  platform.failOutputName = "pars.bin";
  platform.failAfterBytes = 30;
  const Status failed = log.save(platform);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::DiskFull);
  EXPECT_EQ(dir.read("pars.bin"), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace ezg
