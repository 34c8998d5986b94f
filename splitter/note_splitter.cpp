#include "splitter/note_splitter.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "midi/vocabulary.h"

namespace ezg {
namespace {

// The velocity offsets of a packet's notes, in increasing order; 0 for none.
std::array<std::int64_t, 2> velocityOffsets(const Packet& p) {
  std::int64_t a = p.noteOnOffset ? p.noteOnOffset + 2 : 0, b = p.noteOffOffset ? p.noteOffOffset + 2 : 0;
  if (a > b) std::swap(a, b);
  return {a, b};
}

// One copy held whole: silencing is a store into it; the other copy's
// packets are passed over.
class HeldCopy final : public SplitTarget {
 public:
  HeldCopy(const Bytes& source, SplitCopy which, const PairDone& afterPair)
      : copy_(source), which_(which), afterPair_(afterPair) {}
  void silence(SplitCopy copy, const Packet& packet) override {
    if (copy != which_) return;
    for (std::int64_t v : velocityOffsets(packet))
      if (v != 0 && v < static_cast<std::int64_t>(copy_.size())) copy_[static_cast<std::size_t>(v)] = 0;
  }
  void pairDone(std::int64_t i) override {
    if (afterPair_) afterPair_(i);
  }
  Bytes take() { return std::move(copy_); }

 private:
  Bytes copy_;
  SplitCopy which_;
  const PairDone& afterPair_;
};

// One output copy written straight from the input: the bytes go out in
// blocks, with the queued velocity offsets set to 0 on the way.
class PatchedCopy {
 public:
  PatchedCopy(std::span<const std::uint8_t> source, ByteSink& sink) : source_(source), sink_(sink) {}

  // Offsets come in increasing order; those past the end are dropped.
  void silence(const Packet& p) {
    for (std::int64_t v : velocityOffsets(p))
      if (v != 0 && v < static_cast<std::int64_t>(source_.size())) patches_.push_back(v);
  }

  // Writes the copy up to `end` once a block has gathered, or all of it.
  void emitUpTo(std::int64_t end, bool force) {
    if (!force && end - emitted_ < static_cast<std::int64_t>(kBlock)) return;
    while (emitted_ < end) {
      const std::int64_t chunkEnd = std::min<std::int64_t>(end, emitted_ + static_cast<std::int64_t>(kBlock));
      const auto length = static_cast<std::size_t>(chunkEnd - emitted_);
      std::memcpy(buffer_.data(), source_.data() + emitted_, length);
      for (; head_ < patches_.size() && patches_[head_] < chunkEnd; ++head_) buffer_[patches_[head_] - emitted_] = 0;
      sink_.write(std::string_view(buffer_.data(), length));
      emitted_ = chunkEnd;
    }
    // Only offsets not yet reached stay queued: a handful.
    if (head_ > 4096) {
      patches_.erase(patches_.begin(), patches_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  std::span<const std::uint8_t> source_;
  ByteSink& sink_;
  std::vector<std::int64_t> patches_;
  std::size_t head_ = 0;
  std::int64_t emitted_ = 0;
  std::vector<char> buffer_ = std::vector<char>(kBlock);
};

class StreamedCopies final : public SplitTarget {
 public:
  StreamedCopies(std::span<const std::uint8_t> source, ByteSink& out13, ByteSink& out24)
      : copy13_(source, out13), copy24_(source, out24) {}
  void silence(SplitCopy copy, const Packet& packet) override {
    (copy == SplitCopy::Copy13 ? copy13_ : copy24_).silence(packet);
    // Every byte before this packet's bend is final in both copies.
    copy13_.emitUpTo(packet.bendOffset, false);
    copy24_.emitUpTo(packet.bendOffset, false);
  }
  void finish(std::int64_t size) {
    copy13_.emitUpTo(size, true);
    copy24_.emitUpTo(size, true);
  }

 private:
  PatchedCopy copy13_, copy24_;
};

}  // namespace

std::int64_t scanPackets(std::span<const std::uint8_t> bytes, const PacketClosed& closed) {
  // Notes before the first pitch bend land in `current` and are dropped
  // when the bend opens the first packet.
  Packet current;
  std::int64_t count = 0;
  for (std::size_t at = static_cast<std::size_t>(kFirstScanPosition - 1); at < bytes.size(); ++at) {
    switch (bytes[at]) {
      case midi::kNoteOff: current.noteOffOffset = static_cast<std::int64_t>(at); break;
      case midi::kNoteOn: current.noteOnOffset = static_cast<std::int64_t>(at); break;
      case midi::kPitchBend:
        if (count > 0) closed(current, true);
        current = Packet{static_cast<std::int64_t>(at), 0, 0};
        ++count;
        break;
      default: break;
    }
  }
  if (count > 0) closed(current, false);
  return count;
}

std::int64_t splitPackets(std::span<const std::uint8_t> bytes, SplitTarget& target) {
  std::int64_t number = 0;
  return scanPackets(bytes, [&](const Packet& packet, bool followed) {
    ++number;
    if (number % 2 == 0) {
      target.silence(SplitCopy::Copy13, packet);
      target.pairDone(number - 1);
    } else if (followed) {
      target.silence(SplitCopy::Copy24, packet);
    }
  });
}

Bytes splitOneCopy(const FileBuffer& file, SplitCopy which, const PairDone& afterPair) {
  HeldCopy copy(file.raw(), which, afterPair);
  splitPackets(file.span(), copy);
  return copy.take();
}

SplitCopies splitNotes(const FileBuffer& file, const PairDone& afterPair) {
  SplitCopies result;
  HeldCopy copy13(file.raw(), SplitCopy::Copy13, afterPair);
  result.packetCount = splitPackets(file.span(), copy13);
  result.copy13 = copy13.take();
  result.copy24 = splitOneCopy(file, SplitCopy::Copy24);
  return result;
}

std::int64_t streamSplit(std::span<const std::uint8_t> bytes, ByteSink& out13, ByteSink& out24) {
  StreamedCopies copies(bytes, out13, out24);
  const std::int64_t count = splitPackets(bytes, copies);
  copies.finish(static_cast<std::int64_t>(bytes.size()));
  return count;
}

std::string splitOutputName13(const std::string& baseName) { return baseName + "_13.mid"; }
std::string splitOutputName24(const std::string& baseName) { return baseName + "_24.mid"; }

}  // namespace ezg
