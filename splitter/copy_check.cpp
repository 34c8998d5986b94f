#include "splitter/copy_check.h"

#include <algorithm>
#include <cstring>

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

void CopyCheck::feed(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy) {
  const std::size_t n = std::min(input.size(), copy.size());
  // Eight bytes at a time: a makam copy differs in about one byte of twenty.
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, input.data() + i, 8);
    std::memcpy(&b, copy.data() + i, 8);
    if (a == b) continue;
    for (std::size_t k = i; k < i + 8; ++k)
      if (input[k] != copy[k]) changes_.push_back({offset_ + static_cast<std::int64_t>(k), copy[k]});
  }
  for (; i < n; ++i)
    if (input[i] != copy[i]) changes_.push_back({offset_ + static_cast<std::int64_t>(i), copy[i]});
  offset_ += static_cast<std::int64_t>(n);
  reader_.feed(input.first(n));
  // What is left lies in the few bytes the reader waits to complete.
  changes_.erase(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(named_));
  named_ = 0;
}

void CopyCheck::finish() {
  reader_.finish();
  changes_.clear();
  named_ = 0;
}

void CopyCheck::trouble(const midi::TroubleAt& at) {
  if (!input_.firstTrouble) input_.firstTrouble = at;
}

void CopyCheck::events(std::span<const Event> batch) {
  for (const Event& e : batch) {
    for (; named_ < changes_.size() && changes_[named_].offset < e.end(); ++named_) change(e, changes_[named_]);
    if (e.chunk == midi::ChunkKind::Track) {
      // A track after them: those bytes were not after the last one.
      sawTrack_ = true;
      input_.ruleByteAfterTracks.reset();
    }
    if (e.kind != EventKind::Channel) {
      ruleBytes(e, 0, e.length);
      continue;
    }
    // A delta time's last byte is below 0x80, and so are data bytes.
    if (e.deltaLength > 1) ruleBytes(e, 0, e.deltaLength - 1u);
    const int kind = e.status >> 4;
    const bool first = (e.status & 0x0F) == midi::kFirstChannel;
    const std::int64_t statusAt = e.offset + e.deltaLength;
    if (kind == midi::kPitchBendKind) {
      ++input_.bends[e.status & 0x0F];
      if (!first) continue;
      if (!e.running && statusAt >= kFirstScanOffset) ++input_.packets;
      else if (!input_.firstUnseenBend) input_.firstUnseenBend = midi::nameByte(e, statusAt);
    } else if (kind == midi::kNoteOnKind || kind == midi::kNoteOffKind) {
      if (first && e.running) ++input_.firstChannelRunning;
      if (kind != midi::kNoteOnKind) continue;
      const std::size_t velocityAt = e.deltaLength + (e.running ? 1u : 2u);
      if (velocityAt >= e.length) continue;  // cut short
      if (e.bytes[velocityAt] > 0) {
        ++input_.notes;
        if (first) ++input_.firstChannelNotes;
      } else if (first) {
        ++input_.firstChannelZeroOns;
      }
    }
  }
}

void CopyCheck::ruleBytes(const Event& e, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    const std::uint8_t b = e.bytes[k];
    const std::int64_t at = e.offset + static_cast<std::int64_t>(k);
    if (!isRuleByte(b) || at < kFirstScanOffset) continue;
    if (b == midi::kPitchBend) {
      ++input_.packets;
      if (++input_.strayBends == 1) input_.firstStrayBend = midi::nameByte(e, at);
    }
    const bool outsideTracks = e.chunk != midi::ChunkKind::Track && e.chunk != midi::ChunkKind::Header;
    if (outsideTracks && sawTrack_ && !input_.ruleByteAfterTracks) {
      input_.ruleByteAfterTracks = midi::nameByte(e, at);
      input_.ruleByteAfterTracksValue = b;
    }
  }
}

void CopyCheck::change(const Event& e, const Change& c) {
  ++copy_.changedBytes;
  const midi::ByteName name = midi::nameByte(e, c.offset);
  if (e.kind == EventKind::Channel && name.role == midi::ByteRole::Data2) {
    const std::uint8_t was = e.bytes[c.offset - e.offset];
    if (e.status >> 4 == midi::kNoteOnKind && was > 0 && c.to == 0) ++copy_.silencedNotes;
    // What the split is for.
    if (isFirstChannelNote(e.status)) return;
  }
  if (++copy_.strayChanges == 1) {
    copy_.firstStrayChange = name;
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
