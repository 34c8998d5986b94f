#include "splitter/copy_check.h"

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "midi/vocabulary.h"
#include "splitter/note_splitter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void ChangeList::compare(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy) {
  const std::size_t n = std::min(input.size(), copy.size());
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a makam copy differs in about one byte of
  // twenty-five, so most blocks of sixteen are equal.
  for (; i + 16 <= n; i += 16) {
    __m128i a, b;
    std::memcpy(&a, input.data() + i, sizeof a);
    std::memcpy(&b, copy.data() + i, sizeof b);
    auto differ = static_cast<unsigned>(~_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) & 0xFFFF);
    for (; differ != 0; differ &= differ - 1) {
      const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(differ));
      add(compared_ + static_cast<std::int64_t>(k), copy[k]);
    }
  }
#endif
  for (; i < n; ++i)
    if (input[i] != copy[i]) add(compared_ + static_cast<std::int64_t>(i), copy[i]);
  compared_ += static_cast<std::int64_t>(n);
}

namespace {

// Huge pages where the system takes the advice; elsewhere only aligned.
#ifdef _WIN32
std::uint8_t* allocateAligned(std::size_t align, std::size_t capacity) {
  return static_cast<std::uint8_t*>(::_aligned_malloc(capacity, align));
}
void freeAligned(void* p) { ::_aligned_free(p); }
#else
std::uint8_t* allocateAligned(std::size_t align, std::size_t capacity) {
  auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(align, capacity));
  if (p && align >= (std::size_t{2} << 20)) ::madvise(p, capacity, MADV_HUGEPAGE);
  return p;
}
void freeAligned(void* p) { std::free(p); }
#endif

}  // namespace

ChangeList::~ChangeList() { freeAligned(encoded_); }

void ChangeList::grow() {
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  // A small list stays small; a large one takes whole huge pages.
  const std::size_t capacity = capacity_ == 0 ? std::size_t{64} << 10 : std::max(capacity_ * 2, kHuge);
  const std::size_t align = capacity >= kHuge ? kHuge : 4096;
  std::uint8_t* grown = allocateAligned(align, capacity);
  if (!grown) throw std::bad_alloc();
  if (size_ > 0) std::memcpy(grown, encoded_, size_);
  freeAligned(encoded_);
  encoded_ = grown;
  capacity_ = capacity;
}

void ChangeList::add(std::int64_t offset, std::uint8_t to) {
  // The distance as 7-bit groups, low first, its lowest bit set when the
  // value follows: the split only ever sets bytes to 0, so a change takes
  // one byte, at most 11.
  if (capacity_ - size_ < 11) grow();
  auto code = static_cast<std::uint64_t>(offset - last_) << 1 | (to != 0);
  for (; code >= 0x80; code >>= 7) encoded_[size_++] = static_cast<std::uint8_t>(code | 0x80);
  encoded_[size_++] = static_cast<std::uint8_t>(code);
  if (to != 0) encoded_[size_++] = to;
  last_ = offset;
}

void ChangeList::record(std::int64_t offset, std::uint8_t to) {
  if (offset > last_) {
    add(offset, to);
    return;
  }
  const auto at = std::upper_bound(late_.begin(), late_.end(), offset,
                                   [](std::int64_t o, const Change& c) { return o < c.offset; });
  late_.insert(at, Change{offset, to});
}

void ChangeList::Reader::decode() {
  if (read_ == list_.size_) {
    listed_ = {INT64_MAX, 0};
    return;
  }
  const std::uint8_t* e = list_.encoded_;
  std::uint64_t code = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t b = e[read_++];
    code |= std::uint64_t{b & 0x7Fu} << shift;
    if (b < 0x80) break;
  }
  listed_ = {listed_.offset + static_cast<std::int64_t>(code >> 1), (code & 1) != 0 ? e[read_++] : std::uint8_t{0}};
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
    if (!e.running && statusAt >= kFirstScanOffset) ++in.packets;
    else if (!in.firstUnseenBend) in.firstUnseenBend = midi::nameByte(e, statusAt);
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

void SplitChecker::trouble(const midi::TroubleAt& at) {
  if (!found_.input.firstTrouble) found_.input.firstTrouble = at;
}

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

SplitCheck checkSplit(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy13,
                      std::span<const std::uint8_t> copy24) {
  ChangeList changes13, changes24;
  changes13.compare(input, copy13);
  changes24.compare(input, copy24);
  SplitChecker checker(changes13, changes24);
  // In the blocks the command line reads, so the check sees what it sees.
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  for (std::size_t at = 0; at < input.size(); at += kBlock) checker.feed(input.subspan(at, std::min(kBlock, input.size() - at)));
  return checker.finish();
}

}  // namespace ezg
