// How late the pacing loop both players share sends a piece's messages, on
// this system's clock: a bend and a note every 25 ms, into an output that
// notes when each arrives. The goal is a few milliseconds; how late depends
// on the machine's load, so it is measured here and not in a test.
//   bench_pacing [SECONDS]    prints the median, the 90th and 99th
//                             percentiles and the worst, in ms
// A plain program, so that the Windows build runs it too (under Wine).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "fixtures/midi_builder.h"
#include "sound/paced_player.h"
#include "sound/timeline.h"

namespace {

using ezg::sound::TimedMessage;

struct Arrivals final : ezg::sound::MessageOutput {
  explicit Arrivals(std::vector<std::int64_t>& at) : at(at) {}
  void send(const TimedMessage&) override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::lock_guard lock(mutex);
    at.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  }
  void silence() override {}
  std::mutex mutex;
  std::vector<std::int64_t>& at;
};

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  // 240 ticks at 480 a quarter and 0.5 s a quarter: a note every 25 ms.
  const ezg::Bytes file = ezg::build::makeMidi(std::vector<ezg::build::Note>(40 * seconds, {.length = 24}));
  const std::vector<TimedMessage> messages = ezg::sound::timelineOf(file).messages;
  const std::size_t count = messages.size();
  std::vector<std::int64_t> arrivals;
  arrivals.reserve(count);
  ezg::sound::PacedPlayer player([&](std::unique_ptr<ezg::sound::MessageOutput>& out) {
    out = std::make_unique<Arrivals>(arrivals);
    return ezg::sound::SoundStatus();
  });
  if (player.play(file) || !player.waitForEnd(std::chrono::seconds(seconds + 60)) || arrivals.size() != count) {
    std::fprintf(stderr, "bench_pacing: the piece did not play through\n");
    return 1;
  }
  // Counted from the first message, which goes once the player's thread is up.
  std::vector<double> late;
  for (std::size_t i = 0; i < count; ++i)
    late.push_back(static_cast<double>(arrivals[i] - arrivals[0] - messages[i].at) / 1e6);
  std::sort(late.begin(), late.end());
  const auto at = [&](double share) { return late[static_cast<std::size_t>(share * static_cast<double>(count - 1))]; };
  std::printf("%zu messages over %d s, late by: median %.3f ms, 90%% %.3f ms, 99%% %.3f ms, worst %.3f ms\n", count,
              seconds, at(0.5), at(0.9), at(0.99), late.back());
  return 0;
}
