#include "sound/pacer.h"

#include <thread>

namespace ezg::sound {

std::int64_t SteadyPaceClock::now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
}

bool SteadyPaceClock::waitUntil(std::int64_t at, StopSignal& stop) {
  // A timed wait wakes up to a few milliseconds late where the system
  // counts its timeouts in whole milliseconds (Windows); the last two are
  // spent yielding instead, so a message goes within a fraction of one.
  constexpr auto kYielding = std::chrono::milliseconds(2);
  const auto deadline = start_ + std::chrono::nanoseconds(at);
  if (stop.waitUntil(deadline - kYielding)) return true;
  while (std::chrono::steady_clock::now() < deadline) {
    if (stop.stopped()) return true;
    std::this_thread::yield();
  }
  return stop.stopped();
}

bool playInTime(const Timeline& timeline, MessageOutput& out, PaceClock& clock, StopSignal& stop) {
  // Each moment is counted from the start, never from the message before,
  // so a late wake-up delays one message and never the rest of the piece.
  const std::int64_t start = clock.now();
  for (const TimedMessage& m : timeline.messages) {
    if (clock.now() < start + m.at ? clock.waitUntil(start + m.at, stop) : stop.stopped()) {
      out.silence();
      return false;
    }
    out.send(m);
  }
  return true;
}

}  // namespace ezg::sound
