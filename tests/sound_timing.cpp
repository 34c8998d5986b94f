// A file's messages in time, and sent at their moments by the pacing loop
// the players share (on Windows, the one behind the winmm player).
#include <gtest/gtest.h>

#include <mutex>

#include "fixtures/midi_builder.h"
#include "sound/paced_player.h"
#include "sound/pacer.h"
#include "sound/timeline.h"

namespace ezg::sound {
namespace {

constexpr std::int64_t kMs = 1'000'000;

// A conductor track that halves the tempo at tick 960, and a melody track
// with running status and a bend before each note.
Bytes twoTracks() {
  const Bytes conductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 0.5 s a quarter
                           0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // tick 960: 1 s a quarter
                           0x00, 0xFF, 0x2F, 0x00};
  const Bytes melody = {0x00, 0xB0, 0x65, 0x00, 0x00, 0x64, 0x00, 0x00, 0x06, 0x02,  // RPN 0 = 2, running status
                        0x00, 0xE0, 0x1B, 0x41, 0x00, 0x90, 0x45, 0x60,              // tick 0
                        0x87, 0x40, 0x80, 0x45, 0x40,                                // tick 960
                        0x00, 0xE0, 0x00, 0x30, 0x00, 0x90, 0x47, 0x60,              // tick 960
                        0x83, 0x60, 0x47, 0x00,                                      // tick 1440, running: off
                        0x00, 0xFF, 0x2F, 0x00};
  return build::makeFile({conductor, melody});
}

TEST(Timeline, TracksMergeInTimeThroughTheTempoMapWithRunningStatusKept) {
  const Timeline t = timelineOf(twoTracks());
  const std::vector<TimedMessage> want = {
      {0, 0, 0xB0, 0x65, 0},
      {0, 0, 0xB0, 0x64, 0},
      {0, 0, 0xB0, 0x06, 2},
      {0, 0, 0xE0, 0x1B, 0x41},
      {0, 0, 0x90, 0x45, 0x60},
      {1000 * kMs, 960, 0x80, 0x45, 0x40},
      {1000 * kMs, 960, 0xE0, 0x00, 0x30},
      {1000 * kMs, 960, 0x90, 0x47, 0x60},
      {2000 * kMs, 1440, 0x90, 0x47, 0},  // at 1 s a quarter after tick 960
  };
  EXPECT_EQ(t.messages, want);
  EXPECT_EQ(t.end, 2000 * kMs);
}

TEST(Timeline, FramesOfASecondAndCutMessagesAndSystemExclusive) {
  // 25 frames of 40 ticks: a millisecond a tick, whatever the tempo says;
  // the last note-on is cut in its velocity.
  const Bytes file = build::makeFile({{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x83,
                                       0x60, 0xC0, 0x05, 0x10, 0x90, 0x3C}},
                                     0xE728);
  EXPECT_EQ(timelineOf(file).messages, (std::vector<TimedMessage>{{480 * kMs, 480, 0xC0, 0x05, 0}}));
}

// Time that moves only when the loop waits.
struct StepClock final : PaceClock {
  std::int64_t time = 5 * kMs;  // the loop counts from where it starts
  std::function<void()> onWait;
  std::int64_t now() override { return time; }
  bool waitUntil(std::int64_t at, StopSignal& stop) override {
    if (onWait) onWait();
    if (stop.stopped()) return true;
    time = at;
    return false;
  }
};

// A bend and a note every 25 ms for a second and a half.
const Bytes kBusyPiece = build::makeMidi(std::vector<build::Note>(60, {.length = 24}));

// What the outputs were sent, kept past their closing.
struct Tally {
  std::mutex mutex;
  std::vector<std::pair<std::int64_t, TimedMessage>> sent;  // when, what
  int silenced = 0, closed = 0;
  std::function<std::int64_t()> clock = [] {
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
  };
};

struct TallyOutput final : MessageOutput {
  explicit TallyOutput(Tally& t) : tally(t) {}
  ~TallyOutput() override {
    std::lock_guard lock(tally.mutex);
    ++tally.closed;
  }
  void send(const TimedMessage& m) override {
    std::lock_guard lock(tally.mutex);
    tally.sent.emplace_back(tally.clock(), m);
  }
  void silence() override {
    std::lock_guard lock(tally.mutex);
    ++tally.silenced;
  }
  Tally& tally;
};

OutputOpener opener(Tally& tally, int failAt = 0) {
  return [&tally, failAt, opens = 0](std::unique_ptr<MessageOutput>& out) mutable {
    if (++opens == failAt) return SoundStatus(SoundFailure{SoundTrouble::NoAudioOutput, {}});
    out = std::make_unique<TallyOutput>(tally);
    return SoundStatus();
  };
}

TEST(Pacer, EachMessageGoesAtItsMomentFromTheStartAndAStopSilences) {
  const Timeline t = timelineOf(twoTracks());
  StepClock clock;
  Tally tally;
  tally.clock = [&] { return clock.time; };
  TallyOutput out(tally);
  StopSignal stop;
  EXPECT_TRUE(playInTime(t, out, clock, stop));
  ASSERT_EQ(tally.sent.size(), t.messages.size());
  for (std::size_t i = 0; i < t.messages.size(); ++i) {
    EXPECT_EQ(tally.sent[i].first, 5 * kMs + t.messages[i].at);
    EXPECT_EQ(tally.sent[i].second, t.messages[i]);
  }
  EXPECT_EQ(tally.silenced, 0);
  tally.sent.clear();
  clock.onWait = [&] { stop.stop(); };  // the first wait is for tick 960
  EXPECT_FALSE(playInTime(t, out, clock, stop));
  EXPECT_EQ(tally.sent.size(), 5u);
  EXPECT_EQ(tally.silenced, 1);
}

// The player's own thread on the system's clock: every message in order and
// none early (how late is the machine's load: bench_pacing measures it); a
// stop silences at once, and a failed open plays nothing.
TEST(PacedPlayer, SendsEveryMessageAtItsTickAndAStopSilencesAtOnce) {
  const Bytes& file = kBusyPiece;
  const Timeline t = timelineOf(file);
  Tally tally;
  PacedPlayer player(opener(tally, 3));
  ASSERT_FALSE(player.play(file));
  ASSERT_TRUE(player.waitForEnd(std::chrono::seconds(30)));
  {
    std::lock_guard lock(tally.mutex);
    ASSERT_EQ(tally.sent.size(), t.messages.size());
    // Counted from the first message, which goes once the thread is up.
    for (std::size_t i = 0; i < t.messages.size(); ++i) {
      EXPECT_EQ(tally.sent[i].second, t.messages[i]);
      EXPECT_GE(tally.sent[i].first - tally.sent[0].first - t.messages[i].at, -kMs) << i;
    }
    tally.sent.clear();
    tally.silenced = 0;
  }
  ASSERT_FALSE(player.play(file));
  player.stop();  // returns once the playing has stopped
  EXPECT_TRUE(player.waitForEnd(std::chrono::milliseconds(0)));
  {
    std::lock_guard lock(tally.mutex);
    EXPECT_LT(tally.sent.size(), t.messages.size());
    EXPECT_GE(tally.silenced, 1);
    EXPECT_EQ(tally.closed, 2);
  }
  EXPECT_EQ(player.play(file), SoundStatus(SoundFailure{SoundTrouble::NoAudioOutput, {}}));
  EXPECT_TRUE(player.waitForEnd(std::chrono::milliseconds(0)));
  player.stop();  // nothing plays: harmless
}

}  // namespace
}  // namespace ezg::sound
