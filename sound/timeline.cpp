#include "sound/timeline.h"

#include <algorithm>
#include <cmath>

#include "midi/events.h"
#include "midi/vocabulary.h"

namespace ezg::sound {
namespace {

using midi::Event;
using midi::EventKind;

// Half a second a quarter note, until a tempo says otherwise.
constexpr std::int64_t kDefaultQuarterMicros = 500'000;

struct TempoChange {
  std::int64_t tick;
  std::int64_t quarterMicros;
};

// Gathers the messages and the tempo map in file order; timed afterwards,
// once every track's tempo changes are known.
struct Gather {
  std::vector<TimedMessage> messages;
  std::vector<TempoChange> tempos;
  std::uint8_t header[6] = {};
  std::uint8_t tempo[3] = {};
  std::int64_t tempoTick = 0;
  bool inTempo = false;
  std::int64_t lastTick = 0;

  void event(const Event& e) {
    switch (e.kind) {
      case EventKind::HeaderData:
        for (std::uint32_t i = 0; i < e.length; ++i)
          if (e.dataOffset + i < static_cast<std::int64_t>(sizeof header)) header[e.dataOffset + i] = e.bytes[i];
        return;
      case EventKind::Channel: {
        lastTick = std::max(lastTick, e.tick);
        if (e.cut) return;
        const std::size_t first = e.deltaLength + (e.running ? 0u : 1u);
        const int size = midi::channelDataBytes(e.status);
        if (e.length < first + static_cast<std::size_t>(size)) return;
        messages.push_back({0, e.tick, e.status, e.bytes[first], size == 2 ? e.bytes[first + 1] : std::uint8_t{0}});
        return;
      }
      case EventKind::Meta:
        lastTick = std::max(lastTick, e.tick);
        inTempo = e.metaType == midi::kTempo && !e.cut;
        tempoTick = e.tick;
        std::fill(std::begin(tempo), std::end(tempo), 0);
        return;
      case EventKind::MetaData:
        if (!inTempo) return;
        for (std::uint32_t i = 0; i < e.length; ++i)
          if (e.dataOffset + i < 3) tempo[e.dataOffset + i] = e.bytes[i];
        // Complete once its third byte is in.
        if (e.dataOffset + e.length >= 3) {
          const std::int64_t micros = std::int64_t{tempo[0]} << 16 | std::int64_t{tempo[1]} << 8 | tempo[2];
          if (micros > 0) tempos.push_back({tempoTick, micros});
          inTempo = false;
        }
        return;
      case EventKind::SysEx:
      case EventKind::Delta: lastTick = std::max(lastTick, e.tick); return;
      default: return;
    }
  }
  void trouble(const midi::TroubleAt&) {}
};

// Ticks to nanoseconds through the tempo map, or at a fixed rate for a file
// that counts in frames of a second.
class Clock {
 public:
  Clock(const std::uint8_t header[6], std::vector<TempoChange> tempos) : tempos_(std::move(tempos)) {
    const int high = header[4], low = header[5];
    if (high & 0x80) {
      // Frames a second (24, 25, 29 for 29.97, 30) times ticks a frame.
      const int fps = 256 - high;
      const double perSecond = (fps == 29 ? 29.97 : fps) * (low ? low : 1);
      fixedNanosPerTick_ = 1e9 / perSecond;
      return;
    }
    division_ = high << 8 | low;
    if (division_ == 0) division_ = 480;
    std::stable_sort(tempos_.begin(), tempos_.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  }

  // Called with ticks that never go down.
  std::int64_t at(std::int64_t tick) {
    if (fixedNanosPerTick_ > 0) return std::llround(static_cast<double>(tick) * fixedNanosPerTick_);
    while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
      segmentStart_ += span(tempos_[next_].tick - segmentTick_);
      segmentTick_ = tempos_[next_].tick;
      quarterMicros_ = tempos_[next_].quarterMicros;
      ++next_;
    }
    return segmentStart_ + span(tick - segmentTick_);
  }

 private:
  std::int64_t span(std::int64_t ticks) const {
    return std::llround(static_cast<double>(ticks) * static_cast<double>(quarterMicros_) * 1000.0 / division_);
  }

  std::vector<TempoChange> tempos_;
  double fixedNanosPerTick_ = 0;
  int division_ = 480;
  std::size_t next_ = 0;
  std::int64_t segmentTick_ = 0, segmentStart_ = 0;
  std::int64_t quarterMicros_ = kDefaultQuarterMicros;
};

}  // namespace

Timeline timelineOf(std::span<const std::uint8_t> file) {
  Gather gather;
  midi::EventReader<Gather> reader(gather);
  reader.feed(file);
  reader.finish();

  Timeline timeline;
  timeline.messages = std::move(gather.messages);
  // Tracks run side by side: at one tick, an earlier track's messages first,
  // and each track's in its own order.
  std::stable_sort(timeline.messages.begin(), timeline.messages.end(),
                   [](const TimedMessage& a, const TimedMessage& b) { return a.tick < b.tick; });
  Clock clock(gather.header, std::move(gather.tempos));
  for (TimedMessage& m : timeline.messages) m.at = clock.at(m.tick);
  timeline.end = clock.at(std::max(gather.lastTick, timeline.messages.empty() ? 0 : timeline.messages.back().tick));
  return timeline;
}

}  // namespace ezg::sound
