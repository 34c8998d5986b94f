#include "splitter/event_split.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <queue>
#include <string_view>
#include <tuple>

#include "files/read_file.h"
#include "midi/vocabulary.h"

namespace ezg {
namespace {

using midi::Event;
using midi::EventKind;

constexpr std::uint8_t kTimeSignature = 0x58;
constexpr std::uint32_t kDefaultTempo = 500'000;  // microseconds a quarter note when a file sets none
constexpr std::uint32_t kLargestTempo = 0xFFFFFF;
constexpr std::int64_t kNone = -1;

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void putBigEndian(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A delta time as the file writes it; `value` fits in four bytes' worth.
Bytes variableLength(std::uint32_t value) {
  std::array<std::uint8_t, 5> groups{};
  std::size_t n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  Bytes out;
  while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
  return out;
}

std::uint32_t deltaOf(const Event& e) {
  std::uint32_t delta = 0;
  for (std::uint8_t i = 0; i < e.deltaLength; ++i) delta = delta * 128 + (e.bytes[i] & 0x7F);
  return delta;
}

// A note-on or note-off; the velocity is the byte a copy may set to 0.
// Packed into 16 bytes: a makam file has a note event every six bytes, and
// their memory is most of what a split by note or bar touches.
struct NoteEvent {
  NoteEvent(std::int64_t t, std::int64_t velocityOffset, std::uint8_t status, std::uint8_t key, std::uint8_t velocity)
      : tick(t),
        packed(static_cast<std::uint64_t>(velocityOffset) << 24 | std::uint64_t{status} << 16 |
               std::uint64_t{key} << 8 | velocity) {}
  std::int64_t velocityAt() const { return static_cast<std::int64_t>(packed >> 24); }
  std::uint8_t status() const { return static_cast<std::uint8_t>(packed >> 16); }
  std::uint8_t key() const { return static_cast<std::uint8_t>(packed >> 8); }
  std::uint8_t velocity() const { return static_cast<std::uint8_t>(packed); }
  bool soundingOn() const { return (status() >> 4) == midi::kNoteOnKind && velocity() > 0; }

  std::int64_t tick;
  std::uint64_t packed;  // the velocity's offset (40 bits), status, key, velocity
};

struct TrackFacts {
  std::int64_t head = 0;  // offset of the chunk's tag
  std::int64_t dataStart = 0;
  std::int64_t declared = kNone;  // the chunk's length; kNone when its head is cut
  std::vector<NoteEvent> notes;
  std::int64_t events = 0;
  std::uint32_t firstDelta = 0;
  std::uint8_t firstDeltaLength = 0;
  // Its last end-of-track event.
  std::int64_t endOfTrack = kNone, endOfTrackEnd = kNone, endOfTrackTick = 0;
  std::uint32_t endOfTrackDelta = 0;
  std::uint8_t endOfTrackDeltaLength = 0;
};

struct Meter {
  std::int64_t tick;
  std::int32_t track;
  std::int64_t order;
  std::uint8_t numerator, denominatorPower;
};

// What one reading of events found; offsets and ticks as in the file.
struct Reading {
  std::vector<TrackFacts> tracks;
  std::vector<Meter> meters;
  std::vector<std::int64_t> tempos;  // offsets of set-tempo data
  std::vector<midi::TroubleAt> troubles;
  std::int64_t lastTick = 0;
};

// Collects a reading. The bytes after a chunk are read again as a track of
// their own: `shift` and `tickShift` put its offsets and ticks back where
// they lie in the file.
class Collector {
 public:
  Collector(Reading& into, std::int64_t fileSize, std::int64_t shift, std::int64_t tickShift)
      : r_(into), fileSize_(fileSize), shift_(shift), tickShift_(tickShift) {}

  void trouble(const midi::TroubleAt& t) { r_.troubles.push_back({t.what, t.offset + shift_}); }

  void event(const Event& e) {
    switch (e.kind) {
      case EventKind::ChunkHead:
        if (e.chunk != midi::ChunkKind::Track) return;
        r_.tracks.emplace_back();
        r_.tracks.back().head = e.offset + shift_;
        r_.tracks.back().dataStart = e.offset + shift_ + 8;
        if (e.length == 8) {
          r_.tracks.back().declared = bigEndian32(e.bytes + 4);
          // Room for a note event every six bytes, as a makam file has: only
          // reserved, so a guess too large costs nothing, and the vector does
          // not copy itself over and over as it grows.
          const std::int64_t left = std::max<std::int64_t>(0, fileSize_ - e.offset - shift_);
          std::vector<NoteEvent>& notes = r_.tracks.back().notes;
          notes.reserve(static_cast<std::size_t>(std::min(r_.tracks.back().declared, left) / 6));
          detail::adviseLargeBuffer(reinterpret_cast<std::uint8_t*>(notes.data()),
                                    notes.capacity() * sizeof(NoteEvent));
        }
        return;
      case EventKind::Channel: {
        TrackFacts& t = trackEvent(e);
        const int kind = e.status >> 4;
        if ((kind != midi::kNoteOffKind && kind != midi::kNoteOnKind) || e.cut) return;
        const std::uint32_t first = e.deltaLength + (e.running ? 0u : 1u);
        t.notes.emplace_back(e.tick + tickShift_, e.offset + shift_ + first + 1, e.status, e.bytes[first],
                             e.bytes[first + 1]);
        return;
      }
      case EventKind::Meta: {
        TrackFacts& t = trackEvent(e);
        if (e.metaType != midi::kEndByte) return;
        t.endOfTrack = e.offset + shift_;
        t.endOfTrackEnd = e.end() + shift_;
        t.endOfTrackTick = e.tick + tickShift_;
        t.endOfTrackDelta = deltaOf(e);
        t.endOfTrackDeltaLength = e.deltaLength;
        return;
      }
      case EventKind::SysEx: trackEvent(e); return;
      case EventKind::MetaData:
        if (e.dataOffset != 0 || e.track < 0) return;
        if (e.metaType == midi::kTempo && e.length >= 3) r_.tempos.push_back(e.offset + shift_);
        if (e.metaType == kTimeSignature && e.length >= 2)
          r_.meters.push_back({e.tick + tickShift_, static_cast<std::int32_t>(r_.tracks.size()) - 1,
                               static_cast<std::int64_t>(r_.meters.size()), e.bytes[0], e.bytes[1]});
        return;
      default: return;
    }
  }

 private:
  TrackFacts& trackEvent(const Event& e) {
    TrackFacts& t = r_.tracks.back();
    if (t.events++ == 0) {
      t.firstDelta = deltaOf(e);
      t.firstDeltaLength = e.deltaLength;
    }
    r_.lastTick = std::max(r_.lastTick, e.tick + tickShift_);
    return t;
  }

  Reading& r_;
  std::int64_t fileSize_, shift_, tickShift_;
};

void read(std::span<const std::uint8_t> bytes, Collector& collector) {
  midi::EventReader<Collector> reader(collector);
  reader.feed(bytes);
  reader.finish();
}

// The events after the last chunk, read as more of the last track from
// `start`. Clean or nothing: no trouble, and a second end-of-track at the
// very end of the file.
std::optional<Reading> continuation(std::span<const std::uint8_t> file, std::int64_t start, const TrackFacts& last) {
  const auto size = static_cast<std::int64_t>(file.size());
  if (size - start > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  Bytes chunk = {'M', 'T', 'r', 'k'};
  putBigEndian(chunk, static_cast<std::uint64_t>(size - start), 4);
  chunk.insert(chunk.end(), file.begin() + start, file.end());
  Reading r;
  Collector collector(r, size, start - 8, last.endOfTrackTick);
  read(chunk, collector);
  // A track chunk of its own, so no header before it.
  std::erase_if(r.troubles, [](const midi::TroubleAt& t) { return t.what == midi::Trouble::NoHeader; });
  if (!r.troubles.empty() || r.tracks.size() != 1 || r.tracks[0].endOfTrackEnd != size) return std::nullopt;
  return r;
}

// Bars of one time signature, from its tick on: a bar is numerator *
// 4 / 2^power quarter notes of `division` ticks.
struct MeterSpan {
  std::int64_t start;
  std::int64_t firstBar;  // 1-based
  std::int64_t perBar;    // numerator * 4 * division: a bar's ticks times 2^power
  int power;
};

// Whole bars in `ticks` (>= 0) of `m`, rounded down or up; far too many
// saturate rather than wrap.
std::int64_t barsIn(std::int64_t ticks, const MeterSpan& m, bool up) {
  constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max() / 4;
  const std::int64_t q = ticks / m.perBar, r = ticks % m.perBar;
  if (q > (kHuge >> m.power)) return kHuge;
  const std::int64_t scaled = r << m.power;
  std::int64_t bars = (q << m.power) + scaled / m.perBar;
  if (up && scaled % m.perBar != 0) ++bars;
  return bars;
}

std::vector<MeterSpan> meterSpans(std::vector<Meter> meters, std::int64_t division) {
  // At one tick the last in time order wins.
  std::stable_sort(meters.begin(), meters.end(), [](const Meter& a, const Meter& b) {
    return std::tie(a.tick, a.track, a.order) < std::tie(b.tick, b.track, b.order);
  });
  std::vector<MeterSpan> spans = {{0, 1, 4 * 4 * division, 2}};  // 4/4 until told otherwise
  for (const Meter& m : meters) {
    // Denominators past 1/64 and a numerator of 0 count no bars: such an
    // event is no time signature a musician could play.
    if (m.numerator == 0 || m.denominatorPower > 6) continue;
    const MeterSpan& before = spans.back();
    const std::int64_t first =
        m.tick == before.start ? before.firstBar : before.firstBar + barsIn(m.tick - before.start, before, true);
    if (m.tick == before.start) spans.pop_back();
    spans.push_back({m.tick, first, std::int64_t{m.numerator} * 4 * division, m.denominatorPower});
  }
  return spans;
}

std::int64_t barAt(std::int64_t tick, const MeterSpan& m) { return m.firstBar + barsIn(tick - m.start, m, false); }

std::int64_t barOf(std::int64_t tick, const std::vector<MeterSpan>& spans) {
  auto it = std::upper_bound(spans.begin(), spans.end(), tick,
                             [](std::int64_t t, const MeterSpan& m) { return t < m.start; });
  return barAt(tick, *(it - 1));
}

// The notes of every track in time order: by tick, then track, then file
// order. A track's own notes are in that order already.
template <class Visit>
void inTimeOrder(const std::vector<TrackFacts>& tracks, Visit visit) {
  std::vector<std::size_t> withNotes;
  for (std::size_t i = 0; i < tracks.size(); ++i)
    if (!tracks[i].notes.empty()) withNotes.push_back(i);
  if (withNotes.size() == 1) {
    for (const NoteEvent& n : tracks[withNotes[0]].notes) visit(n);
    return;
  }
  using Next = std::tuple<std::int64_t, std::size_t, std::size_t>;  // tick, track, index
  std::priority_queue<Next, std::vector<Next>, std::greater<>> next;
  for (std::size_t t : withNotes) next.emplace(tracks[t].notes[0].tick, t, 0);
  while (!next.empty()) {
    const auto [tick, t, i] = next.top();
    next.pop();
    visit(tracks[t].notes[i]);
    if (i + 1 < tracks[t].notes.size()) next.emplace(tracks[t].notes[i + 1].tick, t, i + 1);
  }
}

// The sounding notes of one key on one channel, oldest first; what each
// copy did to it, bit 0 copy 13, bit 1 copy 24.
struct Sounding {
  std::vector<std::uint8_t> silenced;
  std::size_t oldest = 0;
  void push(std::uint8_t bits) { silenced.push_back(bits); }
  std::optional<std::uint8_t> pop() {
    if (oldest == silenced.size()) return std::nullopt;
    const std::uint8_t bits = silenced[oldest++];
    if (oldest == silenced.size()) {
      silenced.clear();
      oldest = 0;
    }
    return bits;
  }
};

void silence(const Reading& r, const EventSplitOptions& options, const std::vector<MeterSpan>& spans,
             EventSplitPlan& plan) {
  EventSplitFacts& facts = plan.facts;
  std::vector<Sounding> sounding(16 * 128);
  std::size_t events = 0;
  for (const TrackFacts& t : r.tracks) events += t.notes.size();
  for (CopyEdits* c : {&plan.copy13, &plan.copy24}) c->zeroes.reserve(events / 2 + 1);
  std::size_t span = 0;
  std::int64_t lastBar = 0;
  // The ticks of the bar met last: most notes share their bar with the one before.
  std::int64_t barFrom = 0, barTo = 0;
  inTimeOrder(r.tracks, [&](const NoteEvent& n) {
    Sounding& key = sounding[std::size_t{n.status() & 0x0Fu} * 128 + n.key()];
    if (!n.soundingOn()) {
      // A note-on with velocity 0 is silent already; a note-off's release
      // velocity follows its note.
      const auto bits = key.pop();
      if (!bits || n.velocity() == 0) return;
      if (*bits & 1) plan.copy13.zeroes.push_back(n.velocityAt());
      if (*bits & 2) plan.copy24.zeroes.push_back(n.velocityAt());
      return;
    }
    ++facts.notes;
    std::int64_t unit = facts.notes;
    if (options.unit == SplitUnit::Bar) {
      if (n.tick < barFrom || n.tick >= barTo) {
        while (span + 1 < spans.size() && spans[span + 1].start <= n.tick) ++span;
        const MeterSpan& m = spans[span];
        const std::int64_t k = barsIn(n.tick - m.start, m, false);
        lastBar = m.firstBar + k;
        // Bar k of the span covers the ticks from ceil(k * perBar / 2^power) on.
        barFrom = barTo = n.tick;
        if (k < (std::numeric_limits<std::int64_t>::max() >> 8) / m.perBar) {
          const std::int64_t round = (std::int64_t{1} << m.power) - 1;
          barFrom = m.start + ((k * m.perBar + round) >> m.power);
          barTo = m.start + (((k + 1) * m.perBar + round) >> m.power);
          if (span + 1 < spans.size()) barTo = std::min(barTo, spans[span + 1].start);
        }
      }
      unit = lastBar;
    }
    const bool oddGroup = (unit - 1) / options.every % 2 == 1;
    const std::uint8_t bits = oddGroup ? 1 : 2;
    key.push(bits);
    (oddGroup ? plan.copy13 : plan.copy24).zeroes.push_back(n.velocityAt());
    ++(oddGroup ? facts.sounding24 : facts.sounding13);
  });
  std::size_t tracksWithNotes = 0;
  for (const TrackFacts& t : r.tracks) tracksWithNotes += t.notes.empty() ? 0 : 1;
  if (tracksWithNotes > 1)
    for (CopyEdits* c : {&plan.copy13, &plan.copy24}) std::sort(c->zeroes.begin(), c->zeroes.end());
  if (options.unit == SplitUnit::Bar) {
    // To the bar the last event lies in; an end exactly on a bar line opens no bar.
    facts.bars = std::max(lastBar, r.lastTick > 0 ? barOf(r.lastTick - 1, spans) : 0);
    facts.units = facts.bars;
  } else {
    facts.units = facts.notes;
  }
}

std::optional<std::int64_t> divisionOf(std::span<const std::uint8_t> file) {
  if (file.size() < 14 || std::memcmp(file.data(), "MThd", 4) != 0 || bigEndian32(file.data() + 4) < 6)
    return std::nullopt;
  return std::int64_t{file[12]} << 8 | file[13];
}

// Reads the file once; refuses what is no MIDI file.
std::optional<EventSplitRefusal> readFile(std::span<const std::uint8_t> file, Reading& r) {
  Collector collector(r, static_cast<std::int64_t>(file.size()), 0, 0);
  read(file, collector);
  for (const midi::TroubleAt& t : r.troubles)
    if (t.what == midi::Trouble::NoHeader) return EventSplitRefusal::NotMidi;
  return std::nullopt;
}

// New lengths of track chunks, by track.
using Lengths = std::vector<std::pair<std::size_t, std::int64_t>>;

void addLength(Lengths& lengths, std::size_t track, std::int64_t length) {
  for (auto& [t, l] : lengths)
    if (t == track) {
      l += length;
      return;
    }
  lengths.emplace_back(track, length);
}

// The tempo edits: each set-tempo scaled, or one put at the start of the
// first track when there is none.
std::optional<EventSplitRefusal> tempoEdits(const Reading& r, int percent, std::vector<Splice>& splices,
                                            Lengths& growth, EventSplitFacts& facts,
                                            std::span<const std::uint8_t> file) {
  for (std::int64_t at : r.tempos) {
    const auto* p = file.data() + at;
    const std::uint32_t value = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    Splice s{at, 3, {}};
    putBigEndian(s.with, scaledTempo(value, percent), 3);
    splices.push_back(std::move(s));
    ++facts.tempos;
  }
  if (!r.tempos.empty() || r.tracks.empty() || r.tracks[0].declared == kNone) return std::nullopt;
  if (r.tracks[0].declared + 7 > std::numeric_limits<std::uint32_t>::max()) return EventSplitRefusal::NoRoomForTempo;
  Splice s{r.tracks[0].dataStart, 0, {0x00, midi::kMeta, midi::kTempo, 0x03}};
  putBigEndian(s.with, scaledTempo(kDefaultTempo, percent), 3);
  splices.push_back(std::move(s));
  addLength(growth, 0, 7);
  facts.tempoInserted = true;
  return std::nullopt;
}

void lengthSplices(const Reading& r, const Lengths& growth, std::vector<Splice>& splices) {
  for (const auto& [t, grow] : growth) {
    Splice s{r.tracks[t].head + 4, 4, {}};
    putBigEndian(s.with, static_cast<std::uint64_t>(r.tracks[t].declared + grow), 4);
    splices.push_back(std::move(s));
  }
  std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.offset < b.offset; });
}

}  // namespace

std::uint32_t scaledTempo(std::uint32_t microseconds, int percent) {
  const std::uint64_t scaled = (std::uint64_t{microseconds} * 100 + static_cast<std::uint64_t>(percent) / 2) /
                               static_cast<std::uint64_t>(percent);
  if (scaled == 0 && microseconds > 0) return 1;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(scaled, kLargestTempo));
}

std::optional<EventSplitRefusal> planEventSplit(std::span<const std::uint8_t> file, const EventSplitOptions& options,
                                                EventSplitPlan& plan) {
  plan = EventSplitPlan{};
  Reading r;
  if (auto refused = readFile(file, r)) return refused;
  const std::optional<std::int64_t> division = divisionOf(file);
  // SMPTE divisions count frames, not beats.
  if (options.unit == SplitUnit::Bar && (!division || *division == 0 || *division >= 0x8000))
    return EventSplitRefusal::NoBeats;

  std::vector<Splice> splices;
  Lengths growth;
  const auto size = static_cast<std::int64_t>(file.size());
  if (!r.tracks.empty() && r.tracks.back().declared != kNone) {
    TrackFacts& last = r.tracks.back();
    const std::int64_t chunkEnd = last.dataStart + last.declared;
    // Nothing past the last chunk counts, unless it is more of its track.
    std::erase_if(r.troubles, [&](const midi::TroubleAt& t) { return t.offset >= chunkEnd; });
    if (chunkEnd < size && last.endOfTrackEnd == chunkEnd) {
      // The events may go on right after the chunk, or from the
      // end-of-track's length byte on: a writer that left it out took the
      // next event's delta time for it.
      std::optional<Reading> more = continuation(file, chunkEnd, last);
      std::int64_t start = chunkEnd;
      if (!more && file[static_cast<std::size_t>(chunkEnd - 1)] == 0 &&
          last.endOfTrackEnd - last.endOfTrack == last.endOfTrackDeltaLength + 3) {
        start = chunkEnd - 1;
        more = continuation(file, start, last);
      }
      if (more) {
        TrackFacts& tail = more->tracks[0];
        const std::int64_t cutEnd = start + tail.firstDeltaLength;
        Splice s{last.endOfTrack, cutEnd - last.endOfTrack, variableLength(last.endOfTrackDelta + tail.firstDelta)};
        const std::int64_t length = size - last.dataStart - s.removed + static_cast<std::int64_t>(s.with.size());
        if (length <= std::numeric_limits<std::uint32_t>::max() &&
            last.endOfTrackDelta + tail.firstDelta < (1u << 28)) {
          std::int64_t notes = 0;
          for (const NoteEvent& n : tail.notes) notes += n.soundingOn() ? 1 : 0;
          plan.facts.continued =
              TrackContinuation{static_cast<std::int32_t>(r.tracks.size()) - 1, last.endOfTrack, notes};
          last.notes.insert(last.notes.end(), tail.notes.begin(), tail.notes.end());
          for (Meter m : more->meters) {
            m.track = plan.facts.continued->track;
            m.order += static_cast<std::int64_t>(r.meters.size());
            r.meters.push_back(m);
          }
          r.tempos.insert(r.tempos.end(), more->tempos.begin(), more->tempos.end());
          r.lastTick = std::max(r.lastTick, more->lastTick);
          addLength(growth, r.tracks.size() - 1, length - last.declared);
          splices.push_back(std::move(s));
        }
      }
    }
  }
  if (!r.troubles.empty()) plan.facts.firstTrouble = r.troubles.front();
  if (options.tempoPercent != 0)
    if (auto refused = tempoEdits(r, options.tempoPercent, splices, growth, plan.facts, file)) return refused;
  lengthSplices(r, growth, splices);

  // Bars are counted only where they are asked for: the division a split
  // by note may have (0 or frames) counts none.
  silence(r, options, options.unit == SplitUnit::Bar ? meterSpans(r.meters, *division) : std::vector<MeterSpan>{},
          plan);
  plan.copy13.splices = splices;
  plan.copy24.splices = std::move(splices);
  return std::nullopt;
}

std::optional<EventSplitRefusal> planTempoOnly(std::span<const std::uint8_t> file, int tempoPercent, CopyEdits& edits,
                                               EventSplitFacts& facts) {
  edits = CopyEdits{};
  facts = EventSplitFacts{};
  Reading r;
  // The byte rule takes any file; one that is no MIDI file has no tempo.
  if (readFile(file, r)) return std::nullopt;
  Lengths growth;
  if (auto refused = tempoEdits(r, tempoPercent, edits.splices, growth, facts, file)) return refused;
  lengthSplices(r, growth, edits.splices);
  return std::nullopt;
}

void EditedSink::write(std::string_view bytes) {
  const std::vector<std::int64_t>& zeroes = edits_.zeroes;
  const std::vector<Splice>& splices = edits_.splices;
  const std::int64_t end = at_ + static_cast<std::int64_t>(bytes.size());
  const char* p = bytes.data();
  while (at_ < end) {
    if (skip_ > 0) {
      const std::int64_t n = std::min(skip_, end - at_);
      skip_ -= n;
      at_ += n;
      p += n;
      continue;
    }
    const std::int64_t stop = nextSplice_ < splices.size() ? std::min(end, splices[nextSplice_].offset) : end;
    if (stop > at_) {
      // A piece without splices, its velocities set to 0 in a copy.
      scratch_.assign(p, static_cast<std::size_t>(stop - at_));
      for (; nextZero_ < zeroes.size() && zeroes[nextZero_] < stop; ++nextZero_)
        if (zeroes[nextZero_] >= at_) scratch_[static_cast<std::size_t>(zeroes[nextZero_] - at_)] = 0;
      out_.write(scratch_);
      p += stop - at_;
      at_ = stop;
      continue;
    }
    const Splice& s = splices[nextSplice_++];
    out_.write(asChars(s.with));
    skip_ = s.removed;
  }
}

void EditedSink::finish() {
  for (; nextSplice_ < edits_.splices.size(); ++nextSplice_) out_.write(asChars(edits_.splices[nextSplice_].with));
}

void EditedSink::patch(std::uint64_t offset, std::uint8_t value) {
  auto at = static_cast<std::int64_t>(offset);
  std::int64_t moved = 0;
  for (const Splice& s : edits_.splices) {
    if (at >= s.offset + s.removed)
      moved += static_cast<std::int64_t>(s.with.size()) - s.removed;
    else if (at >= s.offset)
      return;  // the splice's bytes stand there
  }
  out_.patch(static_cast<std::uint64_t>(at + moved), value);
}

Bytes writeEventCopy(std::span<const std::uint8_t> file, const CopyEdits& edits) {
  MemorySink memory;
  EditedSink edited(edits, memory);
  edited.write(asChars(file));
  edited.finish();
  const std::string& data = memory.data();
  return Bytes(data.begin(), data.end());
}

}  // namespace ezg
