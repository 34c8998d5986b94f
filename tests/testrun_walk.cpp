// The test run: where it warns, and that it and the report walk long files
// to the end. Where the shared walk steps shows in the report's walk.
#include <gtest/gtest.h>

#include <algorithm>

#include "testrun/test_run.h"
#include "tests/support/report_support.h"

namespace ezg::testing {
namespace {

using Positions = std::vector<std::int64_t>;

Positions warningsOf(const Bytes& events) {
  Positions w;
  TestEt(FileBuffer(build::wrapTrack(events)), [&](std::int64_t p) { w.push_back(p); });
  return w;
}

TEST(TestRunWalk, WarnsOnEveryFourByteDeltaInOrderUnlessTheFileEndsFirst) {
  const std::pair<Bytes, Positions> cases[] = {
      {{0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00}, {23}},
      {{0x80, 0x01, 0x02, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x00}, {23, 26}},
      {{0x90, 0x3C, 0x40, 0x81, 0x80, 0x80}, {23}},
      {{0x90, 0x3C, 0x40, 0x81, 0x80}, {}},
      {{0x90, 0x3C}, {}},
  };
  for (const auto& [events, warnings] : cases) EXPECT_EQ(warningsOf(events), warnings) << events.size();
}

TEST(TestRunWalk, ReportAndTestRunWalkLongFilesToTheEnd) {
  // 100,001 bytes: past any 16-bit position, with six-digit positions.
  Bytes events(100001 - 22, 0x41);
  events[10000 - 23] = 0x0A;
  const std::uint8_t tooLong[] = {0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00};
  std::copy(std::begin(tooLong), std::end(tooLong), events.begin() + 40000);
  const ReportRun r = runReport(build::wrapTrack(events));
  EXPECT_EQ(r.end, 100002);
  EXPECT_EQ(r.warnings, (Positions{40023}));
  EXPECT_NE(r.text.find("\r\n9999   41   065   A   \r\n10000   0A   010   \n   \r\n10001   41"), std::string::npos);
  EXPECT_TRUE(r.text.ends_with("\r\n100001   41   065   A   \r\n\r\n\r\n"));
  EXPECT_EQ(TestEt(FileBuffer(build::wrapTrack(events)), {}), 100002);
}

}  // namespace
}  // namespace ezg::testing
