#include "splitter/copy_check.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "files/read_file.h"
#include "midi/vocabulary.h"
#include "splitter/note_splitter.h"

namespace ezg {
namespace {

using midi::Event;
using midi::EventKind;

constexpr std::int64_t kFirstScanOffset = kFirstScanPosition - 1;

bool isRuleByte(std::uint8_t b) { return b == midi::kNoteOff || b == midi::kNoteOn || b == midi::kPitchBend; }

bool isFirstChannelNote(std::uint8_t status) {
  return (status >> 4 == midi::kNoteOnKind || status >> 4 == midi::kNoteOffKind) &&
         (status & 0x0F) == midi::kFirstChannel;
}

}  // namespace

namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;

// A large list takes whole huge pages, where the system takes the advice.
std::size_t alignmentFor(std::size_t capacity) { return capacity >= kHuge ? kHuge : 4096; }

std::uint8_t* allocateAligned(std::size_t capacity) {
  auto* p =
      static_cast<std::uint8_t*>(::operator new (capacity, std::align_val_t{alignmentFor(capacity)}, std::nothrow));
  if (p) detail::adviseLargeBuffer(p, capacity);
  return p;
}

void freeAligned(std::uint8_t* p, std::size_t capacity) {
  if (p) ::operator delete (p, std::align_val_t{alignmentFor(capacity)});
}

}  // namespace

ChangeList::~ChangeList() { freeAligned(encoded_, capacity_); }

void ChangeList::grow() {
  // A small list stays small; a large one takes whole huge pages.
  const std::size_t capacity = capacity_ == 0 ? std::size_t{64} << 10 : std::max(capacity_ * 2, kHuge);
  std::uint8_t* grown = allocateAligned(capacity);
  if (!grown) throw std::bad_alloc();
  if (size_ > 0) std::memcpy(grown, encoded_, size_);
  freeAligned(encoded_, capacity_);
  encoded_ = grown;
  capacity_ = capacity;
}

void ChangeList::recordLate(std::int64_t offset, std::uint8_t to) {
  const auto at = std::upper_bound(late_.begin(), late_.end(), offset,
                                   [](std::int64_t o, const Change& c) { return o < c.offset; });
  late_.insert(at, Change{offset, to});
}

void ChangeList::Reader::decode() {
  if (read_ == list_.size_) {
    listedOffset_ = INT64_MAX;
    listedTo_ = 0;
    return;
  }
  const std::uint8_t* e = list_.encoded_;
  std::uint64_t code = e[read_++];
  if (code >= 0x80) {
    code &= 0x7F;
    for (int shift = 7;; shift += 7) {
      const std::uint8_t b = e[read_++];
      code |= std::uint64_t{b & 0x7Fu} << shift;
      if (b < 0x80) break;
    }
  }
  listedOffset_ += static_cast<std::int64_t>(code >> 1);
  listedTo_ = (code & 1) != 0 ? e[read_++] : std::uint8_t{0};
}

// Inlined into the reader: it runs for every event of the file.
[[gnu::always_inline]] inline void SplitChecker::event(const Event& e) {
  for (int k = 0; k < 2; ++k) {
    ChangeList::Reader& changes = changes_[k];
    for (; changes.at().offset < e.end(); changes.next())
      change(e, changes.at(), k == 0 ? found_.copy13 : found_.copy24);
  }
  InputFacts& in = found_.input;
  if (e.kind != EventKind::Channel) {
    if (e.chunk == midi::ChunkKind::Track) {
      // A track after them: those bytes were not after the last one.
      sawTrack_ = true;
      in.ruleByteAfterTracks.reset();
    }
    ruleBytes(e, 0, e.length);
    return;
  }
  // A delta time's last byte is below 0x80, and so are data bytes.
  if (e.deltaLength > 1)
    for (std::size_t k = 0; k + 1 < e.deltaLength; ++k)
      if (isRuleByte(e.bytes[k])) ruleBytes(e, k, k + 1);
  const int kind = e.status >> 4;
  const bool first = (e.status & 0x0F) == midi::kFirstChannel;
  if (kind == midi::kPitchBendKind) {
    ++in.bends[e.status & 0x0F];
    if (!first) return;
    const std::int64_t statusAt = e.offset + e.deltaLength;
    if (!e.running && statusAt >= kFirstScanOffset)
      ++in.packets;
    else if (!in.firstUnseenBend)
      in.firstUnseenBend = midi::nameByte(e, statusAt);
  } else if (kind == midi::kNoteOnKind) {
    const std::size_t velocityAt = e.deltaLength + (e.running ? 1u : 2u);
    if (velocityAt >= e.length) return;  // cut short
    if (e.bytes[velocityAt] > 0) {
      ++in.notes;
      if (first) ++in.firstChannelNotes;
      if (first && e.running) ++in.firstChannelRunning;
    } else if (first) {
      ++in.firstChannelZeroOns;
    }
  }
}

void SplitChecker::feed(std::span<const std::uint8_t> input) { reader_.feed(input); }

SplitCheck SplitChecker::finish() {
  reader_.finish();
  return found_;
}

// Where the structure stops making sense the byte rule goes on alike: what
// the copies changed there is named by the bytes' roles.
void SplitChecker::trouble(const midi::TroubleAt&) {}

void SplitChecker::ruleBytes(const Event& e, std::size_t from, std::size_t to) {
  InputFacts& in = found_.input;
  for (std::size_t k = from; k < to; ++k) {
    const std::uint8_t b = e.bytes[k];
    const std::int64_t at = e.offset + static_cast<std::int64_t>(k);
    if (!isRuleByte(b) || at < kFirstScanOffset) continue;
    if (b == midi::kPitchBend) {
      ++in.packets;
      if (++in.strayBends == 1) in.firstStrayBend = midi::nameByte(e, at);
    }
    const bool outsideTracks = e.chunk != midi::ChunkKind::Track && e.chunk != midi::ChunkKind::Header;
    if (outsideTracks && sawTrack_ && !in.ruleByteAfterTracks) {
      in.ruleByteAfterTracks = midi::nameByte(e, at);
      in.ruleByteAfterTracksValue = b;
    }
  }
}

void SplitChecker::change(const Event& e, const ChangeList::Change& c, CopyFacts& copy) {
  ++copy.changedBytes;
  const std::int64_t at = c.offset - e.offset;
  // The velocity of a note, without naming the byte: nearly every change.
  if (e.kind == EventKind::Channel && at == e.deltaLength + (e.running ? 1 : 2)) {
    const int kind = e.status >> 4;
    if (kind == midi::kNoteOnKind && e.bytes[at] > 0 && c.to == 0) ++copy.silencedNotes;
    // What the split is for.
    if (isFirstChannelNote(e.status)) return;
  }
  if (++copy.strayChanges == 1) {
    copy.firstStrayChange = midi::nameByte(e, c.offset);
    copy.firstStrayChangeTo = c.to;
  }
}

}  // namespace ezg
