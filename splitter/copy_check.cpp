#include "splitter/copy_check.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

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
constexpr std::int64_t kNoChange = INT64_MAX;

bool isRuleByte(std::uint8_t b) { return b == midi::kNoteOff || b == midi::kNoteOn || b == midi::kPitchBend; }

bool isFirstChannelNote(std::uint8_t status) {
  return (status >> 4 == midi::kNoteOnKind || status >> 4 == midi::kNoteOffKind) &&
         (status & 0x0F) == midi::kFirstChannel;
}

}  // namespace

// Inlined into the reader: it runs for every event of the file.
[[gnu::always_inline]] inline void CopyCheck::event(const Event& e) {
  while (nextChange_ < e.end()) {
    change(e, changes_[named_++]);
    nextChange_ = named_ < changes_.size() ? changes_[named_].offset : kNoChange;
  }
  if (e.kind != EventKind::Channel) {
    if (e.chunk == midi::ChunkKind::Track) {
      // A track after them: those bytes were not after the last one.
      sawTrack_ = true;
      input_.ruleByteAfterTracks.reset();
    }
    ruleBytes(input_, e, 0, e.length);
    return;
  }
  // A delta time's last byte is below 0x80, and so are data bytes.
  if (e.deltaLength > 1)
    for (std::size_t k = 0; k + 1 < e.deltaLength; ++k)
      if (isRuleByte(e.bytes[k])) ruleBytes(input_, e, k, k + 1);
  const int kind = e.status >> 4;
  const bool first = (e.status & 0x0F) == midi::kFirstChannel;
  if (kind == midi::kPitchBendKind) {
    ++input_.bends[e.status & 0x0F];
    if (!first) return;
    const std::int64_t statusAt = e.offset + e.deltaLength;
    if (!e.running && statusAt >= kFirstScanOffset) ++input_.packets;
    else if (!input_.firstUnseenBend) input_.firstUnseenBend = midi::nameByte(e, statusAt);
  } else if (kind == midi::kNoteOnKind) {
    const std::size_t velocityAt = e.deltaLength + (e.running ? 1u : 2u);
    if (velocityAt >= e.length) return;  // cut short
    if (e.bytes[velocityAt] > 0) {
      ++input_.notes;
      if (first) ++input_.firstChannelNotes;
      if (first && e.running) ++input_.firstChannelRunning;
    } else if (first) {
      ++input_.firstChannelZeroOns;
    }
  }
}

void CopyCheck::feed(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy) {
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
      changes_.push_back({offset_ + static_cast<std::int64_t>(k), copy[k]});
    }
  }
#endif
  for (; i < n; ++i)
    if (input[i] != copy[i]) changes_.push_back({offset_ + static_cast<std::int64_t>(i), copy[i]});
  offset_ += static_cast<std::int64_t>(n);
  nextChange_ = named_ < changes_.size() ? changes_[named_].offset : kNoChange;
  reader_.feed(input.first(n));
  // What is left lies in the few bytes the reader waits to complete.
  changes_.erase(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(named_));
  named_ = 0;
}

void CopyCheck::finish() {
  nextChange_ = named_ < changes_.size() ? changes_[named_].offset : kNoChange;
  reader_.finish();
  changes_.clear();
  named_ = 0;
}

void CopyCheck::trouble(const midi::TroubleAt& at) {
  if (!input_.firstTrouble) input_.firstTrouble = at;
}

void CopyCheck::ruleBytes(InputFacts& in, const Event& e, std::size_t from, std::size_t to) {
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

void CopyCheck::change(const Event& e, const Change& c) {
  ++copy_.changedBytes;
  const std::int64_t at = c.offset - e.offset;
  // The velocity of a note, without naming the byte: nearly every change.
  if (e.kind == EventKind::Channel && at == e.deltaLength + (e.running ? 1 : 2)) {
    const int kind = e.status >> 4;
    if (kind == midi::kNoteOnKind && e.bytes[at] > 0 && c.to == 0) ++copy_.silencedNotes;
    // What the split is for.
    if (isFirstChannelNote(e.status)) return;
  }
  if (++copy_.strayChanges == 1) {
    copy_.firstStrayChange = midi::nameByte(e, c.offset);
    copy_.firstStrayChangeTo = c.to;
  }
}

SplitCheck checkSplit(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy13,
                      std::span<const std::uint8_t> copy24) {
  CopyCheck check13, check24;
  // In the blocks the command line reads, so the check sees what it sees.
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  for (std::size_t at = 0; at < input.size(); at += kBlock) {
    const std::size_t n = std::min(kBlock, input.size() - at);
    check13.feed(input.subspan(at, n), copy13.subspan(at, n));
    check24.feed(input.subspan(at, n), copy24.subspan(at, n));
  }
  check13.finish();
  check24.finish();
  return {check13.input(), check13.copy(), check24.copy()};
}

}  // namespace ezg
