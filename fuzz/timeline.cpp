// Any bytes as a piece to play: its messages come in time order, none
// before the start nor after the end, whatever tempos and delta times
// it holds.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "sound/timeline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ezg::sound::Timeline t = ezg::sound::timelineOf(std::span(data, size));
  std::int64_t last = 0;
  for (const ezg::sound::TimedMessage& m : t.messages) {
    if (m.at < last || m.tick < 0 || m.status < 0x80 || m.status > 0xEF) std::abort();
    last = m.at;
  }
  if (t.end < last) std::abort();
  return 0;
}
