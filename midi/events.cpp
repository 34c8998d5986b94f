#include "midi/events.h"

#include <algorithm>
#include <cstring>

#include "midi/vocabulary.h"

namespace ezg::midi {
namespace {

// Events handed out at a time: small enough to stay in the cache.
constexpr std::size_t kBatch = 256;
// The largest slice of data one event covers, so a length fits its field.
constexpr std::size_t kLargestSlice = std::size_t{1} << 30;

bool isTagLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

ByteName nameByte(const Event& e, std::int64_t offset) {
  ByteName n;
  n.offset = offset;
  n.kind = e.kind;
  n.chunk = e.chunk;
  n.status = e.status;
  n.metaType = e.metaType;
  n.track = e.track;
  n.tick = e.tick;
  n.running = e.running;
  const std::int64_t i = offset - e.offset;
  switch (e.kind) {
    case EventKind::ChunkHead: n.role = i < 4 ? ByteRole::ChunkTag : ByteRole::ChunkLength; return n;
    case EventKind::HeaderData: {
      const std::int64_t j = e.dataOffset + i;
      n.role = j < 2 ? ByteRole::HeaderFormat : j < 4 ? ByteRole::HeaderTracks
             : j < 6 ? ByteRole::HeaderDivision : ByteRole::HeaderExtra;
      return n;
    }
    case EventKind::ChunkData: n.role = ByteRole::ChunkData; return n;
    case EventKind::MetaData: n.role = ByteRole::MetaData; return n;
    case EventKind::SysExData: n.role = ByteRole::SysExData; return n;
    case EventKind::Skipped: n.role = ByteRole::Skipped; return n;
    case EventKind::AfterChunks: n.role = ByteRole::AfterChunks; return n;
    case EventKind::Channel: case EventKind::Meta: case EventKind::SysEx: case EventKind::Delta: break;
  }
  if (i < e.deltaLength) {
    n.role = e.bytes[i] < kDataLimit ? ByteRole::DeltaLast : ByteRole::DeltaLead;
    return n;
  }
  const std::int64_t j = i - e.deltaLength;
  if (e.kind == EventKind::Channel) {
    const std::int64_t first = e.running ? 0 : 1;  // where the data bytes begin
    n.role = j < first ? ByteRole::Status : j == first ? ByteRole::Data1 : ByteRole::Data2;
    if (e.deltaLength + first < e.length) n.key = e.bytes[e.deltaLength + first];
  } else if (e.kind == EventKind::Meta) {
    n.role = j == 0 ? ByteRole::MetaStatus : j == 1 ? ByteRole::MetaType : ByteRole::MetaLength;
  } else {
    n.role = j == 0 ? ByteRole::SysExStatus : ByteRole::SysExLength;
  }
  return n;
}

bool structural(ByteRole role) {
  switch (role) {
    case ByteRole::ChunkTag: case ByteRole::ChunkLength: case ByteRole::DeltaLead: case ByteRole::Status:
    case ByteRole::MetaStatus: case ByteRole::MetaLength: case ByteRole::SysExStatus: case ByteRole::SysExLength:
      return true;
    default:
      return false;
  }
}

EventReader::EventReader(EventSink& sink) : sink_(sink) { batch_.reserve(kBatch); }

void EventReader::feed(std::span<const std::uint8_t> bytes) {
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

void EventReader::finish() {
  readAll(carry_, carrySize_, true);
  carrySize_ = 0;
  const bool inChunk = (mode_ == Mode::TrackEvent || mode_ == Mode::Data) && chunkLeft_ > 0;
  if (cutByEnd_ || inChunk || (mode_ == Mode::Data && dataLeft_ > 0)) report(Trouble::CutByFileEnd, offset_);
  flush();
}

std::size_t EventReader::readAll(const std::uint8_t* p, std::size_t n, bool final) {
  std::size_t i = 0;
  while (i < n) {
    const std::size_t used = readUnit(p + i, n - i, final);
    if (used == kNeedMore) break;
    i += used;
  }
  return i;
}

std::size_t EventReader::readUnit(const std::uint8_t* p, std::size_t n, bool final) {
  switch (mode_) {
    case Mode::ChunkHead: return chunkHead(p, n, final);
    case Mode::TrackEvent: return trackEvent(p, n, final);
    case Mode::Data: return data(p, n);
    case Mode::AfterChunks: break;
  }
  const std::size_t take = std::min(n, kLargestSlice);
  add(EventKind::AfterChunks, p, take);
  return take;
}

std::size_t EventReader::chunkHead(const std::uint8_t* p, std::size_t n, bool final) {
  if (n < 8 && !final) return kNeedMore;
  const bool tag = n >= 4 && std::all_of(p, p + 4, isTagLetter);
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
         : std::memcmp(p, "MTrk", 4) == 0          ? ChunkKind::Track
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
  chunkLeft_ = bigEndian32(p + 4);
  if (chunkLeft_ == 0) mode_ = Mode::ChunkHead;
  else if (chunk_ == ChunkKind::Track) mode_ = Mode::TrackEvent;
  else startData(chunk_ == ChunkKind::Header ? EventKind::HeaderData : EventKind::ChunkData, chunkLeft_, 0, 0);
  return 8;
}

std::size_t EventReader::trackEvent(const std::uint8_t* p, std::size_t n, bool final) {
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
    if (chunkEnds) report(Trouble::PastChunkEnd, offset_ + static_cast<std::int64_t>(have));
    else cutByEnd_ = true;
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
    report(Trouble::PastChunkEnd, offset_ + chunkLeft_);
    length = chunkLeft_;
  }
  if (length > 0) startData(kind == EventKind::Meta ? EventKind::MetaData : EventKind::SysExData, length, s, metaType);
  return j;
}

std::size_t EventReader::data(const std::uint8_t* p, std::size_t n) {
  const auto take = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(std::min(n, kLargestSlice)), dataLeft_));
  Event& e = add(dataKind_, p, take);
  e.dataOffset = dataDone_;
  e.status = dataStatus_;
  e.metaType = dataMetaType_;
  dataDone_ += static_cast<std::int64_t>(take);
  dataLeft_ -= static_cast<std::int64_t>(take);
  if (dataLeft_ == 0) mode_ = chunk_ == ChunkKind::Track ? Mode::TrackEvent : Mode::ChunkHead;
  return take;
}

Event& EventReader::add(EventKind kind, const std::uint8_t* p, std::size_t length) {
  if (batch_.size() == kBatch) flush();
  Event& e = batch_.emplace_back();
  e.offset = offset_;
  e.bytes = p;
  e.length = static_cast<std::uint32_t>(length);
  e.kind = kind;
  e.chunk = chunk_;
  e.track = chunk_ == ChunkKind::Track ? track_ : -1;
  e.tick = tick_;
  offset_ += static_cast<std::int64_t>(length);
  if (chunk_ != ChunkKind::None) chunkLeft_ -= static_cast<std::int64_t>(length);
  return e;
}

void EventReader::startData(EventKind kind, std::int64_t length, std::uint8_t status, std::uint8_t metaType) {
  mode_ = Mode::Data;
  dataKind_ = kind;
  dataLeft_ = length;
  dataDone_ = 0;
  dataStatus_ = status;
  dataMetaType_ = metaType;
}

void EventReader::skipRest(Trouble why) {
  report(why, offset_);
  if (chunkLeft_ > 0) startData(EventKind::Skipped, chunkLeft_, 0, 0);
  else mode_ = Mode::ChunkHead;
}

void EventReader::report(Trouble why, std::int64_t at) {
  // The events before it first, so a sink sees everything in file order.
  flush();
  sink_.trouble({why, at});
}

void EventReader::flush() {
  if (batch_.empty()) return;
  sink_.events(batch_);
  batch_.clear();
}

}  // namespace ezg::midi
