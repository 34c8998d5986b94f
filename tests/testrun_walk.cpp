// The test run: which positions the shared walk visits, where it warns, and
// that the report warns at exactly the same places.
#include <gtest/gtest.h>

#include <algorithm>

#include "testrun/test_run.h"
#include "tests/support/report_support.h"

namespace ezg::testing {
namespace {

using Positions = std::vector<std::int64_t>;

// The positions the walk lands on.
Positions visitsOf(const Bytes& events) {
  struct Visits final : QuietWalk {
    Positions positions;
    void visit(std::int64_t p, std::uint8_t) override { positions.push_back(p); }
  } v;
  walkEvents(FileBuffer(build::wrapTrack(events)), v);
  return v.positions;
}

Positions warningsOf(const Bytes& events) {
  Positions w;
  TestEt(FileBuffer(build::wrapTrack(events)), [&](std::int64_t p) { w.push_back(p); });
  return w;
}

TEST(TestRunWalk, StepsOverNotesAndBendsAndVisitsEveryOtherByte) {
  const std::tuple<const char*, Bytes, Positions> cases[] = {
      {"one-byte delta", {0x90, 0x3C, 0x40, 0x10, 0x00}, {23, 27}},
      {"two-byte delta", {0x80, 0x3C, 0x40, 0x81, 0x10, 0x00}, {23, 28}},
      {"three-byte delta", {0x90, 0x3C, 0x40, 0xFF, 0xFF, 0x7F, 0x00}, {23, 29}},
      {"a bend, whatever its data", {0xE0, 0x90, 0xE0, 0x00}, {23, 26}},
      {"other channels, zero, system bytes", {0x91, 0x85, 0xE1, 0x00, 0xF0, 0xFF, 0x2F}, {23, 24, 25, 26, 27, 28, 29}},
      {"a delta byte taken as a status", {0x90, 0x3C, 0x40, 0x00, 0xE0, 0x01, 0x02, 0x03}, {23, 27, 30}},
      // 0x81 at 26 is another channel; 0x80 at 27 is a note-off reading from 28.
      {"a four-byte delta resumes after the status",
       {0x90, 0x3C, 0x40, 0x81, 0x80, 0x80, 0x00, 0x05, 0x00, 0x00, 0x00}, {23, 24, 25, 26, 27, 31, 32, 33}},
  };
  for (const auto& [what, events, visits] : cases) EXPECT_EQ(visitsOf(events), visits) << what;
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
