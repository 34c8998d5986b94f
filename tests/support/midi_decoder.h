// A small reader of Standard MIDI Files written for the tests, apart from
// the program's own: every track's events with absolute ticks, running
// status kept, and the rule a musician's split follows, so that a copy can
// be held against its input event by event.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "midi/bytes.h"

namespace ezg::testing {

struct Decoded {
  int track = 0;
  std::int64_t tick = 0;
  std::uint8_t status = 0;  // channel status, 0xFF meta, 0xF0/0xF7 system exclusive
  std::uint8_t type = 0;    // meta only
  Bytes data;               // channel data bytes, or the meta/system data
  bool operator==(const Decoded&) const = default;
  bool noteOn() const { return (status >> 4) == 0x9 && data[1] > 0; }
  bool noteOff() const { return (status >> 4) == 0x8 || ((status >> 4) == 0x9 && data[1] == 0); }
};

struct DecodedFile {
  std::uint16_t division = 0;
  std::vector<Decoded> events;  // track by track, each in file order
  bool whole = true;            // every track ends with an end of track exactly at its chunk's end
  std::size_t afterChunks = 0;  // bytes after the last chunk
};

// `resumeAt`: the last track goes on from this offset after its final end
// of track, which is dropped; its ticks and running status carry on.
inline DecodedFile decodeMidi(const Bytes& f, std::optional<std::size_t> resumeAt = std::nullopt) {
  DecodedFile out;
  if (f.size() < 14) {
    out.whole = false;
    return out;
  }
  out.division = static_cast<std::uint16_t>(f[12] << 8 | f[13]);
  std::size_t at = 14;
  int track = 0;
  auto number = [&](std::size_t& i) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4 && i < f.size(); ++k) {
      const std::uint8_t b = f[i++];
      v = v << 7 | (b & 0x7F);
      if (b < 0x80) return v;
    }
    out.whole = false;
    return v;
  };
  // Events from i up to `end`; true when the last one read is an end of track ending there.
  auto events = [&](std::size_t i, std::size_t end, std::int64_t& tick, std::uint8_t& running) {
    while (i < end) {
      tick += number(i);
      if (i >= end) return false;
      Decoded e;
      e.track = track;
      e.tick = tick;
      e.status = f[i] >= 0x80 ? f[i++] : running;
      if (e.status == 0) return false;
      if (e.status == 0xFF) {
        e.type = f[i++];
        const std::uint32_t n = number(i);
        e.data.assign(f.begin() + static_cast<std::ptrdiff_t>(i), f.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
      } else if (e.status == 0xF0 || e.status == 0xF7) {
        const std::uint32_t n = number(i);
        e.data.assign(f.begin() + static_cast<std::ptrdiff_t>(i), f.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
      } else {
        running = e.status;
        const std::size_t n = (e.status >> 4) == 0xC || (e.status >> 4) == 0xD ? 1 : 2;
        for (std::size_t k = 0; k < n; ++k)
          if (f[i + k] >= 0x80) return false;
        e.data.assign(f.begin() + static_cast<std::ptrdiff_t>(i), f.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
      }
      out.events.push_back(e);
      if (e.status == 0xFF && e.type == 0x2F) return i == end;
    }
    return false;
  };
  std::int64_t tick = 0;
  std::uint8_t running = 0;
  while (at + 8 <= f.size() && std::equal(f.begin() + static_cast<std::ptrdiff_t>(at),
                                          f.begin() + static_cast<std::ptrdiff_t>(at + 4), "MTrk")) {
    const std::size_t len =
        std::size_t{f[at + 4]} << 24 | std::size_t{f[at + 5]} << 16 | std::size_t{f[at + 6]} << 8 | f[at + 7];
    const std::size_t end = at + 8 + len;
    if (end > f.size()) {
      out.whole = false;
      return out;
    }
    tick = 0;
    running = 0;
    out.whole = events(at + 8, end, tick, running) && out.whole;
    at = end;
    ++track;
  }
  out.afterChunks = f.size() - at;
  if (resumeAt && out.afterChunks > 0) {
    --track;
    out.events.pop_back();
    out.whole = events(*resumeAt, f.size(), tick, running) && out.whole;
    out.afterChunks = 0;
  }
  return out;
}

enum class Unit { Note, Bar };

// The events of copies 13 and 24 that must be silent: note-ons in order of
// tick, then track, then file order, counted by note or by bar (4/4 until a
// time signature starts a bar of its own), `every` a group; each note's
// note-off goes with it, the oldest note of its key and channel first.
inline std::pair<std::set<std::size_t>, std::set<std::size_t>> silencedEvents(const DecodedFile& file, Unit unit,
                                                                              std::int64_t every = 1) {
  std::vector<std::size_t> order(file.events.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::pair(file.events[a].tick, file.events[a].track) < std::pair(file.events[b].tick, file.events[b].track);
  });
  // Bar lines, walked one by one up to a tick.
  std::vector<std::pair<std::int64_t, std::int64_t>> meters = {{0, 4 * file.division}};  // from, bar length
  for (std::size_t i : order) {
    const Decoded& e = file.events[i];
    if (e.status != 0xFF || e.type != 0x58) continue;
    const std::int64_t length = e.data[0] * 4 * file.division / (1 << e.data[1]);
    if (meters.back().first == e.tick)
      meters.back().second = length;
    else
      meters.emplace_back(e.tick, length);
  }
  auto barOf = [&](std::int64_t tick) {
    std::int64_t bar = 0;
    for (std::size_t m = 0; m < meters.size() && meters[m].first <= tick; ++m) {
      const std::int64_t until = m + 1 < meters.size() ? meters[m + 1].first : tick + 1;
      for (std::int64_t line = meters[m].first; line < until && line <= tick; line += meters[m].second) ++bar;
    }
    return bar;
  };
  std::set<std::size_t> in13, in24;
  std::map<std::pair<int, int>, std::deque<bool>> soundingIn13;
  std::int64_t notes = 0;
  for (std::size_t i : order) {
    const Decoded& e = file.events[i];
    const std::pair key(e.status & 0x0F, e.data.empty() ? 0 : e.data[0]);
    if (e.status >= 0xF0) continue;
    if (e.noteOn()) {
      const std::int64_t u = unit == Unit::Note ? ++notes : barOf(e.tick);
      const bool silentIn13 = (u - 1) / every % 2 == 1;
      (silentIn13 ? in13 : in24).insert(i);
      soundingIn13[key].push_back(!silentIn13);
    } else if (e.noteOff() && !soundingIn13[key].empty()) {
      const bool sounded13 = soundingIn13[key].front();
      soundingIn13[key].pop_front();
      if ((e.status >> 4) == 0x8 && e.data[1] > 0) (sounded13 ? in24 : in13).insert(i);
    }
  }
  return {in13, in24};
}

}  // namespace ezg::testing
