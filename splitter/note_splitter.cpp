#include "splitter/note_splitter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/vocabulary.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ezg {
namespace {

struct StatusMasks {
  std::uint64_t bends, ons, offs;
};

// Bit k is set where byte k of the 64 is a pitch bend, note-on or note-off.
StatusMasks statusMasks(std::span<const std::uint8_t, 64> bytes) {
  StatusMasks m{0, 0, 0};
#if defined(__SSE2__)
  // GCC does not vectorise the loop below; a compare and a byte mask per
  // 16 bytes does the same.
  const __m128i bend = _mm_set1_epi8(static_cast<char>(midi::kPitchBend));
  const __m128i on = _mm_set1_epi8(static_cast<char>(midi::kNoteOn));
  const __m128i off = _mm_set1_epi8(static_cast<char>(midi::kNoteOff));
  for (unsigned k = 0; k < 64; k += 16) {
    __m128i v;
    std::memcpy(&v, bytes.data() + k, sizeof v);
    auto mask = [&](__m128i status) {
      return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, status)))} << k;
    };
    m.bends |= mask(bend);
    m.ons |= mask(on);
    m.offs |= mask(off);
  }
#else
  for (unsigned k = 0; k < 64; ++k) {
    m.bends |= std::uint64_t{bytes[k] == midi::kPitchBend} << k;
    m.ons |= std::uint64_t{bytes[k] == midi::kNoteOn} << k;
    m.offs |= std::uint64_t{bytes[k] == midi::kNoteOff} << k;
  }
#endif
  return m;
}

// The scan, fed the file in pieces. Notes before the first pitch bend land
// in `current_` and are dropped when the bend opens the first packet.
template <class Closed>
class PacketScanner {
 public:
  explicit PacketScanner(Closed closed) : closed_(std::move(closed)) {}

  void feed(std::span<const std::uint8_t> bytes) {
    constexpr std::int64_t kFirst = kFirstScanPosition - 1;
    std::size_t i = offset_ < kFirst ? static_cast<std::size_t>(std::min<std::int64_t>(
                                           kFirst - offset_, static_cast<std::int64_t>(bytes.size())))
                                     : 0;
    // 64 bytes at a time, then the bends among them in order: a byte loop
    // costs a mispredicted branch at nearly every note.
    for (; i + 64 <= bytes.size(); i += 64) {
      auto [bends, ons, offs] = statusMasks(bytes.subspan(i).first<64>());
      const std::int64_t base = offset_ + static_cast<std::int64_t>(i);
      for (; bends != 0; bends &= bends - 1) {
        const int e = std::countr_zero(bends);
        const std::uint64_t before = (std::uint64_t{1} << e) - 1;
        lastNotes(ons & before, offs & before, base);
        bend(base + e);
        ons &= ~before;
        offs &= ~before;
      }
      lastNotes(ons, offs, base);
    }
    for (; i < bytes.size(); ++i) {
      const std::int64_t at = offset_ + static_cast<std::int64_t>(i);
      switch (bytes[i]) {
        case midi::kNoteOff: current_.noteOffOffset = at; break;
        case midi::kNoteOn: current_.noteOnOffset = at; break;
        case midi::kPitchBend: bend(at); break;
        default: break;
      }
    }
    offset_ += static_cast<std::int64_t>(bytes.size());
  }

  std::int64_t finish() {
    if (count_ > 0) closed_(current_, false);
    return count_;
  }

 private:
  void bend(std::int64_t at) {
    if (count_ > 0) closed_(current_, true);
    current_ = Packet{at, 0, 0};
    ++count_;
  }
  // The last note-on and note-off among the masked bytes from `base` on.
  void lastNotes(std::uint64_t ons, std::uint64_t offs, std::int64_t base) {
    if (ons != 0) current_.noteOnOffset = base + 63 - std::countl_zero(ons);
    if (offs != 0) current_.noteOffOffset = base + 63 - std::countl_zero(offs);
  }

  Closed closed_;
  Packet current_;
  std::int64_t count_ = 0;
  std::int64_t offset_ = 0;
};

// The rule, for one copy: in each pair (i, i + 1) copy 24 silences packet
// i and copy 13 packet i + 1; an unpaired last packet sounds in both.
// `silence(packet)` runs for each packet silenced in `which`, `pairDone(i)`
// after each pair.
template <class Silence, class Done>
auto pairRule(SplitCopy which, Silence silence, Done pairDone) {
  return [which, silence, pairDone, number = std::int64_t{0}](const Packet& packet, bool followed) mutable {
    ++number;
    if (number % 2 == 0) {
      if (which == SplitCopy::Copy13) silence(packet);
      pairDone(number - 1);
    } else if (followed && which == SplitCopy::Copy24) {
      silence(packet);
    }
  };
}

// The velocity offsets (third byte) of a packet's notes, in increasing
// order; 0 for none.
std::array<std::int64_t, 2> velocityOffsets(const Packet& p) {
  std::int64_t a = p.noteOnOffset ? p.noteOnOffset + 2 : 0, b = p.noteOffOffset ? p.noteOffOffset + 2 : 0;
  if (a > b) std::swap(a, b);
  return {a, b};
}

}  // namespace

std::int64_t scanPackets(std::span<const std::uint8_t> bytes, const PacketClosed& closed) {
  PacketScanner<const PacketClosed&> scanner(closed);
  scanner.feed(bytes);
  return scanner.finish();
}

namespace {

// Silences `which` in `copy`, a copy of the file; returns the packet count.
std::int64_t silenceHeldCopy(const FileBuffer& file, Bytes& copy, SplitCopy which, const PairDone& afterPair) {
  const auto size = static_cast<std::int64_t>(copy.size());
  PacketScanner scanner(pairRule(
      which,
      [&](const Packet& packet) {
        for (std::int64_t v : velocityOffsets(packet))
          if (v != 0 && v < size) copy[static_cast<std::size_t>(v)] = 0;
      },
      [&](std::int64_t i) {
        if (afterPair) afterPair(i);
      }));
  scanner.feed(file.span());
  return scanner.finish();
}

}  // namespace

Bytes splitOneCopy(const FileBuffer& file, SplitCopy which, const PairDone& afterPair) {
  Bytes copy = file.raw();
  silenceHeldCopy(file, copy, which, afterPair);
  return copy;
}

std::int64_t streamCopy(const ReadMore& input, SplitCopy which, ByteSink& out, const Silenced& silenced) {
  // Small enough to stay in the cache between the read and the write.
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  // Past this much held, the bytes go out anyway and a velocity among them
  // that must be 0 is set in the output later: memory stays the same
  // whether bends are many, rare or absent.
  constexpr std::size_t kHoldBound = 4 * kBlock;
  // held[0, heldEnd) are the input bytes from offset heldStart on; all
  // before heldStart are written.
  // Not cleared first: only what a small file needs of it is ever touched.
  const auto heldBytes = std::make_unique_for_overwrite<std::uint8_t[]>(kHoldBound + kBlock);
  const std::span held(heldBytes.get(), kHoldBound + kBlock);
  std::size_t heldEnd = 0;
  std::int64_t heldStart = 0;
  // The velocity offsets still to be set to 0 as they are written, in
  // increasing order. Every byte before the bend of the last silenced
  // packet is final: a later packet's notes all lie after its own bend.
  std::vector<std::int64_t> patches;
  std::int64_t final = 0;
  PacketScanner scanner(pairRule(
      which,
      [&](const Packet& packet) {
        for (std::int64_t v : velocityOffsets(packet)) {
          if (v == 0) continue;
          if (v >= heldStart) {
            patches.push_back(v);
            continue;
          }
          out.patch(static_cast<std::uint64_t>(v), 0);
          if (silenced) silenced(v, -1);
        }
        final = packet.bendOffset;
      },
      [](std::int64_t) {}));

  // Offsets at or past the end of the file are never reached, so never set.
  auto writeUpTo = [&](std::int64_t end) {
    std::size_t done = 0;
    for (; done < patches.size() && patches[done] < end; ++done) {
      std::uint8_t& velocity = held[static_cast<std::size_t>(patches[done] - heldStart)];
      if (silenced) silenced(patches[done], velocity);
      velocity = 0;
    }
    patches.erase(patches.begin(), patches.begin() + static_cast<std::ptrdiff_t>(done));
    const auto used = static_cast<std::size_t>(end - heldStart);
    out.write(std::string_view(reinterpret_cast<const char*>(held.data()), used));
    std::memmove(held.data(), held.data() + used, heldEnd - used);
    heldEnd -= used;
    heldStart = end;
  };
  for (;;) {
    const std::size_t got = input(std::span(held).subspan(heldEnd, kBlock));
    if (got == 0) break;
    scanner.feed(std::span(held).subspan(heldEnd, got));
    heldEnd += got;
    if (final > heldStart) writeUpTo(final);
    if (heldEnd > kHoldBound) writeUpTo(heldStart + static_cast<std::int64_t>(heldEnd));
  }
  const std::int64_t count = scanner.finish();
  writeUpTo(heldStart + static_cast<std::int64_t>(heldEnd));
  return count;
}

std::string splitOutputName13(const std::string& baseName) { return baseName + "_13.mid"; }
std::string splitOutputName24(const std::string& baseName) { return baseName + "_24.mid"; }

}  // namespace ezg
