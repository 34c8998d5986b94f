// A Standard MIDI File read as what it is: chunks, delta times, channel
// messages of every channel (running status kept), meta events, system
// exclusive messages and the bytes after the last chunk, each with its byte
// position. Fed in pieces of any size, so a file of any length is read with
// a few bytes of memory; it never fails: where the structure stops making
// sense it says so, and the bytes it cannot read still come out, as skipped.
//
// Every byte of the input lands in exactly one event, and the events come
// in file order, so any byte can be named: "the velocity of the note-on of
// key 62 on channel 1 at tick 480", "a tempo's data", "a delta time".
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <span>

#include "midi/vocabulary.h"

namespace ezg::midi {

enum class EventKind : std::uint8_t {
  ChunkHead,   // a chunk's tag and length: 8 bytes, fewer when cut
  HeaderData,  // the header chunk's data (format, tracks, division)
  ChunkData,   // the data of a chunk that is neither header nor track
  Channel,     // a delta time and a channel message
  Meta,        // a delta time, 0xFF, the type and the length; the data follows as MetaData
  MetaData,
  SysEx,  // a delta time, 0xF0 or 0xF7 and the length; the data follows as SysExData
  SysExData,
  Delta,        // a delta time with no event after it: cut short, or the track stops making sense there
  Skipped,      // the rest of a track chunk after it stopped making sense
  AfterChunks,  // bytes where a chunk should start but none does
};

enum class ChunkKind : std::uint8_t { None, Header, Track, Other };

// Where the structure stops making sense, and what the reader did.
enum class Trouble : std::uint8_t {
  NoHeader,           // the file does not start with a header chunk
  DataWithoutStatus,  // a data byte where a status byte is needed: the rest of the track is skipped
  UnknownStatus,      // a status byte that has no place in a file: the rest of the track is skipped
  StatusInData,       // a status byte inside a channel message: the rest of the track is skipped
  LongNumber,         // a delta time or length of more than four bytes: the rest of the track is skipped
  PastChunkEnd,       // an event runs past its chunk's end: it is cut there
  AfterEndOfTrack,    // bytes after the end-of-track event: skipped
  CutByFileEnd,       // the file ends inside an event or a chunk
};

struct TroubleAt {
  Trouble what;
  std::int64_t offset;  // 0-based: the byte where it shows
};

// One event. The delta time, where there is one, is its first bytes.
struct Event {
  std::int64_t offset = 0;              // 0-based offset of its first byte
  std::int64_t tick = 0;                // track events: ticks from the start of the track, its delta included
  std::int64_t dataOffset = 0;          // data events: where in the data this slice starts
  const std::uint8_t* bytes = nullptr;  // its bytes; valid only while the events are handed out
  std::uint32_t length = 0;             // at least 1
  std::int32_t track = -1;              // 0-based number of the track chunk; -1 outside tracks
  EventKind kind = EventKind::AfterChunks;
  ChunkKind chunk = ChunkKind::None;  // the chunk it lies in
  std::uint8_t deltaLength = 0;
  std::uint8_t status = 0;    // channel message: the status in effect; 0xFF meta; 0xF0 or 0xF7
  std::uint8_t metaType = 0;  // meta events and their data
  bool running = false;       // a channel message without its own status byte
  bool cut = false;           // shorter than its structure says

  std::int64_t end() const { return offset + length; }
};

// What a byte of the file is, for naming it.
enum class ByteRole : std::uint8_t {
  ChunkTag,
  ChunkLength,
  HeaderFormat,
  HeaderTracks,
  HeaderDivision,
  HeaderExtra,
  ChunkData,
  DeltaLead,  // a delta-time byte with more to follow
  DeltaLast,
  Status,
  Data1,
  Data2,  // of a channel message
  MetaStatus,
  MetaType,
  MetaLength,
  MetaData,
  SysExStatus,
  SysExLength,
  SysExData,
  Skipped,
  AfterChunks,
};

// A byte's role and its event's particulars, kept after the event is gone.
struct ByteName {
  std::int64_t offset = 0;
  ByteRole role = ByteRole::AfterChunks;
  EventKind kind = EventKind::AfterChunks;
  ChunkKind chunk = ChunkKind::None;
  std::uint8_t status = 0;
  std::uint8_t metaType = 0;
  std::int16_t key = -1;  // a channel message's first data byte, -1 when not there
  std::int32_t track = -1;
  std::int64_t tick = 0;
  bool running = false;

  bool operator==(const ByteName&) const = default;
};

// Precondition: e.offset <= offset < e.end(), while e.bytes is valid.
ByteName nameByte(const Event& e, std::int64_t offset);

// True when setting the byte to another value changes how the rest of its
// track reads: a status byte, a meta or SysEx length, a chunk's tag or
// length, a delta-time byte that says more follows.
bool structural(ByteRole role);

// What the reader hands its events and troubles to, in file order. The
// reader takes the sink's own type, so each call is direct and inlined:
// reading is one pass over data already in the cache.
template <class S>
concept EventSink = requires(S& s, const Event& e, const TroubleAt& t) {
  s.event(e);  // e.bytes is valid only during the call
  s.trouble(t);
};

// Unconstrained, so that a sink may hold its own reader; feed() checks.
template <class Sink>
class EventReader {
 public:
  explicit EventReader(Sink& sink) : sink_(sink) {}
  // The next bytes of the file. The events they complete are handed out
  // before it returns.
  void feed(std::span<const std::uint8_t> bytes);
  // The end of the file: what is left is handed out, cut where it must be.
  void finish();

 private:
  enum class Mode : std::uint8_t { ChunkHead, TrackEvent, Data, AfterChunks };
  static constexpr std::size_t kNeedMore = static_cast<std::size_t>(-1);

  std::size_t readAll(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t readUnit(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t chunkHead(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t trackEvents(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t trackEvent(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t data(const std::uint8_t* p, std::size_t n);
  Event& add(EventKind kind, const std::uint8_t* p, std::size_t length);
  void startData(EventKind kind, std::int64_t length, std::uint8_t status, std::uint8_t metaType);
  void skipRest(Trouble why);
  void report(Trouble why, std::int64_t at);
  void flush();

  Sink& sink_;
  // The last event made, handed out once its fields are all set.
  Event pending_;
  bool hasPending_ = false;
  std::uint8_t carry_[32] = {};
  std::size_t carrySize_ = 0;
  Mode mode_ = Mode::ChunkHead;
  std::int64_t offset_ = 0;     // of the next byte to read
  std::int64_t chunkLeft_ = 0;  // bytes left in the current chunk
  ChunkKind chunk_ = ChunkKind::None;
  bool sawChunk_ = false;
  bool endOfTrack_ = false;
  bool cutByEnd_ = false;
  std::int32_t track_ = -1;
  std::int64_t tick_ = 0;
  std::uint8_t running_ = 0;  // 0: none
  // The data being read: its kind, what is left, how far in, and its owner.
  EventKind dataKind_ = EventKind::Skipped;
  std::int64_t dataLeft_ = 0;
  std::int64_t dataDone_ = 0;
  std::uint8_t dataStatus_ = 0;
  std::uint8_t dataMetaType_ = 0;
};

namespace events_detail {

// The largest slice of data one event covers, so a length fits its field.
inline constexpr std::size_t kLargestSlice = std::size_t{1} << 30;

inline bool isTagLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

inline std::uint32_t bigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

}  // namespace events_detail

template <class Sink>
void EventReader<Sink>::feed(std::span<const std::uint8_t> bytes) {
  static_assert(EventSink<Sink>);
  const std::uint8_t* p = bytes.data();
  std::size_t n = bytes.size();
  if (carrySize_ > 0) {
    // The few bytes an event was short of last time, topped up from these.
    const std::size_t old = carrySize_;
    const std::size_t take = std::min(n, sizeof carry_ - old);
    std::memcpy(carry_ + old, p, take);
    carrySize_ += take;
    const std::size_t used = readAll(carry_, carrySize_, false);
    flush();  // its events point into the carry
    if (used >= old) {
      p += used - old;
      n -= used - old;
      carrySize_ = 0;
    } else {
      std::memmove(carry_, carry_ + used, carrySize_ - used);
      carrySize_ -= used;
      p += take;
      n -= take;
    }
  }
  const std::size_t used = readAll(p, n, false);
  flush();
  // No event needs more bytes ahead than the carry holds.
  const std::size_t left = std::min(n - used, sizeof carry_ - carrySize_);
  std::memcpy(carry_ + carrySize_, p + used, left);
  carrySize_ += left;
}

template <class Sink>
void EventReader<Sink>::finish() {
  readAll(carry_, carrySize_, true);
  carrySize_ = 0;
  const bool inChunk = (mode_ == Mode::TrackEvent || mode_ == Mode::Data) && chunkLeft_ > 0;
  if (cutByEnd_ || inChunk || (mode_ == Mode::Data && dataLeft_ > 0)) report(Trouble::CutByFileEnd, offset_);
  flush();
}

template <class Sink>
std::size_t EventReader<Sink>::readAll(const std::uint8_t* p, std::size_t n, bool final) {
  std::size_t i = 0;
  while (i < n) {
    const std::size_t used = readUnit(p + i, n - i, final);
    if (used == kNeedMore) break;
    i += used;
  }
  return i;
}

template <class Sink>
std::size_t EventReader<Sink>::readUnit(const std::uint8_t* p, std::size_t n, bool final) {
  switch (mode_) {
    case Mode::ChunkHead: return chunkHead(p, n, final);
    case Mode::TrackEvent: return trackEvents(p, n, final);
    case Mode::Data: return data(p, n);
    case Mode::AfterChunks: break;
  }
  const std::size_t take = std::min(n, events_detail::kLargestSlice);
  add(EventKind::AfterChunks, p, take);
  return take;
}

template <class Sink>
std::size_t EventReader<Sink>::chunkHead(const std::uint8_t* p, std::size_t n, bool final) {
  if (n < 8 && !final) return kNeedMore;
  const bool tag = n >= 4 && std::all_of(p, p + 4, events_detail::isTagLetter);
  const bool first = !sawChunk_;
  if (first && (!tag || std::memcmp(p, "MThd", 4) != 0)) report(Trouble::NoHeader, offset_);
  if (!tag) {
    // Whatever follows is no chunk: the bytes after the last one.
    mode_ = Mode::AfterChunks;
    chunk_ = ChunkKind::None;
    chunkLeft_ = 0;
    return 0;
  }
  sawChunk_ = true;
  chunk_ = first && std::memcmp(p, "MThd", 4) == 0 ? ChunkKind::Header
           : std::memcmp(p, "MTrk", 4) == 0        ? ChunkKind::Track
                                                   : ChunkKind::Other;
  if (chunk_ == ChunkKind::Track) {
    ++track_;
    tick_ = 0;
    running_ = 0;
    endOfTrack_ = false;
  }
  if (n < 8) {
    add(EventKind::ChunkHead, p, n).cut = true;
    cutByEnd_ = true;
    return n;
  }
  add(EventKind::ChunkHead, p, 8);
  chunkLeft_ = events_detail::bigEndian32(p + 4);
  if (chunkLeft_ == 0)
    mode_ = Mode::ChunkHead;
  else if (chunk_ == ChunkKind::Track)
    mode_ = Mode::TrackEvent;
  else
    startData(chunk_ == ChunkKind::Header ? EventKind::HeaderData : EventKind::ChunkData, chunkLeft_, 0, 0);
  return 8;
}

template <class Sink>
std::size_t EventReader<Sink>::trackEvents(const std::uint8_t* p, std::size_t n, bool final) {
  // Nearly every event of a makam file is a short delta time and a channel
  // message, well inside its chunk and the bytes at hand: those are read
  // here in one loop, everything else one at a time below. The state is
  // kept in locals: stores through the events could alias it otherwise.
  constexpr std::size_t kAhead = 16;
  flush();
  std::size_t i = 0;
  std::int64_t offset = offset_, chunkLeft = chunkLeft_, tick = tick_;
  std::uint8_t runningStatus = running_;
  while (n - i >= kAhead && chunkLeft >= static_cast<std::int64_t>(kAhead) && !endOfTrack_) {
    const std::uint8_t* q = p + i;
    std::size_t dl = 1;
    std::int64_t delta = q[0];
    if (delta >= kDataLimit) {
      std::uint8_t b;
      delta &= 0x7F;
      do {
        b = q[dl++];
        delta = delta * 128 + (b & 0x7F);
      } while (b >= kDataLimit && dl < 4);
      if (b >= kDataLimit) break;
    }
    std::uint8_t s = q[dl];
    const bool running = s < kDataLimit;
    if (running) s = runningStatus;
    if (s < kDataLimit || s >= kSysEx) break;
    const std::size_t first = running ? dl : dl + 1;
    const std::size_t end = first + static_cast<std::size_t>(channelDataBytes(s));
    if (q[first] >= kDataLimit || (end > first + 1 && q[first + 1] >= kDataLimit)) break;
    runningStatus = s;
    tick += delta;
    Event e;
    e.offset = offset;
    e.tick = tick;
    e.bytes = q;
    e.length = static_cast<std::uint32_t>(end);
    e.track = track_;
    e.kind = EventKind::Channel;
    e.chunk = ChunkKind::Track;
    e.deltaLength = static_cast<std::uint8_t>(dl);
    e.status = s;
    e.running = running;
    sink_.event(e);
    offset += static_cast<std::int64_t>(end);
    chunkLeft -= static_cast<std::int64_t>(end);
    i += end;
  }
  offset_ = offset;
  chunkLeft_ = chunkLeft;
  tick_ = tick;
  running_ = runningStatus;
  return i > 0 ? i : trackEvent(p, n, final);
}

template <class Sink>
std::size_t EventReader<Sink>::trackEvent(const std::uint8_t* p, std::size_t n, bool final) {
  if (chunkLeft_ == 0) {
    mode_ = Mode::ChunkHead;
    return 0;
  }
  if (endOfTrack_) {
    skipRest(Trouble::AfterEndOfTrack);
    return 0;
  }
  // An event ends with its chunk at the latest.
  const auto lim = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), chunkLeft_));
  const bool chunkEnds = static_cast<std::int64_t>(lim) == chunkLeft_;
  EventKind kind = EventKind::Delta;
  std::uint8_t status = 0, metaType = 0;
  bool running = false;
  std::uint8_t dl = 0;
  std::int64_t delta = 0;
  // Nothing changes before this, so a read that needs more bytes can start
  // over once they have come.
  auto emit = [&](std::size_t length, bool cut) {
    tick_ += delta;
    Event& e = add(kind, p, length);
    e.deltaLength = dl;
    e.status = status;
    e.metaType = metaType;
    e.running = running;
    e.cut = cut;
  };
  auto cutShort = [&](std::size_t have) -> std::size_t {
    if (!chunkEnds && !final) return kNeedMore;
    if (chunkEnds)
      report(Trouble::PastChunkEnd, offset_ + static_cast<std::int64_t>(have));
    else
      cutByEnd_ = true;
    emit(have, true);
    return have;
  };
  auto stopHere = [&](std::size_t have, Trouble why) {
    emit(have, kind != EventKind::Delta);
    skipRest(why);
    return have;
  };

  for (;;) {
    if (dl == lim) return cutShort(dl);
    const std::uint8_t b = p[dl++];
    delta = delta * 128 + (b & 0x7F);
    if (b < kDataLimit) break;
    if (dl == 4) return stopHere(dl, Trouble::LongNumber);
  }
  if (dl == lim) return cutShort(dl);
  const std::uint8_t s = p[dl];
  if (s < kDataLimit && running_ == 0) return stopHere(dl, Trouble::DataWithoutStatus);
  if (s < kSysEx) {
    kind = EventKind::Channel;
    running = s < kDataLimit;
    status = running ? running_ : s;
    const std::size_t first = running ? dl : dl + 1u;
    const std::size_t end = first + static_cast<std::size_t>(channelDataBytes(status));
    for (std::size_t j = first; j < end; ++j) {
      if (j == lim) return cutShort(j);
      if (p[j] >= kDataLimit) return stopHere(j, Trouble::StatusInData);
    }
    running_ = status;
    emit(end, false);
    return end;
  }
  if (s != kMeta && s != kSysEx && s != kSysExEscape) return stopHere(dl, Trouble::UnknownStatus);
  // Running status is kept across these: files that lean on it are read as
  // their authors meant, and the rest lose nothing.
  kind = s == kMeta ? EventKind::Meta : EventKind::SysEx;
  status = s;
  std::size_t j = dl + 1u;
  if (s == kMeta) {
    if (j == lim) return cutShort(j);
    metaType = p[j++];
  }
  std::int64_t length = 0;
  for (int k = 0;; ++k) {
    if (j == lim) return cutShort(j);
    const std::uint8_t b = p[j++];
    length = length * 128 + (b & 0x7F);
    if (b < kDataLimit) break;
    if (k == 3) return stopHere(j, Trouble::LongNumber);
  }
  emit(j, false);
  if (s == kMeta && metaType == kEndByte) endOfTrack_ = true;
  if (length > chunkLeft_) {
    // Told at the event itself: the chunk's end may lie past the file's.
    report(Trouble::PastChunkEnd, offset_ - static_cast<std::int64_t>(j));
    length = chunkLeft_;
  }
  if (length > 0) startData(kind == EventKind::Meta ? EventKind::MetaData : EventKind::SysExData, length, s, metaType);
  return j;
}

template <class Sink>
std::size_t EventReader<Sink>::data(const std::uint8_t* p, std::size_t n) {
  const auto take = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(std::min(n, events_detail::kLargestSlice)), dataLeft_));
  Event& e = add(dataKind_, p, take);
  e.dataOffset = dataDone_;
  e.status = dataStatus_;
  e.metaType = dataMetaType_;
  dataDone_ += static_cast<std::int64_t>(take);
  dataLeft_ -= static_cast<std::int64_t>(take);
  if (dataLeft_ == 0) mode_ = chunk_ == ChunkKind::Track ? Mode::TrackEvent : Mode::ChunkHead;
  return take;
}

template <class Sink>
Event& EventReader<Sink>::add(EventKind kind, const std::uint8_t* p, std::size_t length) {
  flush();
  Event& e = pending_;
  e = Event{};
  e.offset = offset_;
  e.tick = tick_;
  e.bytes = p;
  e.length = static_cast<std::uint32_t>(length);
  e.track = chunk_ == ChunkKind::Track ? track_ : -1;
  e.kind = kind;
  e.chunk = chunk_;
  offset_ += static_cast<std::int64_t>(length);
  if (chunk_ != ChunkKind::None) chunkLeft_ -= static_cast<std::int64_t>(length);
  hasPending_ = true;
  return e;
}

template <class Sink>
void EventReader<Sink>::startData(EventKind kind, std::int64_t length, std::uint8_t status, std::uint8_t metaType) {
  mode_ = Mode::Data;
  dataKind_ = kind;
  dataLeft_ = length;
  dataDone_ = 0;
  dataStatus_ = status;
  dataMetaType_ = metaType;
}

template <class Sink>
void EventReader<Sink>::skipRest(Trouble why) {
  report(why, offset_);
  if (chunkLeft_ > 0)
    startData(EventKind::Skipped, chunkLeft_, 0, 0);
  else
    mode_ = Mode::ChunkHead;
}

template <class Sink>
void EventReader<Sink>::report(Trouble why, std::int64_t at) {
  // The events before it first, so a sink sees everything in file order.
  flush();
  sink_.trouble({why, at});
}

template <class Sink>
void EventReader<Sink>::flush() {
  if (!hasPending_) return;
  hasPending_ = false;
  sink_.event(pending_);
}

}  // namespace ezg::midi
