#include "splitter/note_splitter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ezg {
namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kPitchBend = 0xE0;

// Zeroes the velocity of the message whose status byte is at `statusOffset`.
void silence(Bytes& copy, std::int64_t statusOffset) {
  if (statusOffset == 0) return;
  const auto velocity = static_cast<std::size_t>(statusOffset + 2);
  if (velocity < copy.size()) copy[velocity] = 0;
}

void silencePacket(Bytes& copy, const Packet& p) {
  silence(copy, p.noteOnOffset);
  silence(copy, p.noteOffOffset);
}

// Which of 64 bytes hold each of the three status bytes: bit k for byte k.
struct Marks {
  std::uint64_t bends = 0, ons = 0, offs = 0;
};

#if defined(__SSE2__)
Marks marksOf(const std::uint8_t* block) {
  Marks m;
  for (int part = 0; part < 4; ++part) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
    auto mask = [&](std::uint8_t value) {
      const int bits = _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(value))));
      return static_cast<std::uint64_t>(static_cast<std::uint16_t>(bits)) << (16 * part);
    };
    m.bends |= mask(kPitchBend);
    m.ons |= mask(kNoteOn);
    m.offs |= mask(kNoteOff);
  }
  return m;
}
#else
Marks marksOf(const std::uint8_t* block) {
  Marks m;
  for (int k = 0; k < 64; ++k) {
    m.bends |= static_cast<std::uint64_t>(block[k] == kPitchBend) << k;
    m.ons |= static_cast<std::uint64_t>(block[k] == kNoteOn) << k;
    m.offs |= static_cast<std::uint64_t>(block[k] == kNoteOff) << k;
  }
  return m;
}
#endif

// Keeps the offset of the last marked byte, if any, in `field`.
void keepLast(std::int64_t& field, std::uint64_t marks, std::size_t base) {
  if (marks) field = static_cast<std::int64_t>(base + 63 - static_cast<std::size_t>(std::countl_zero(marks)));
}

std::string_view asChars(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Calls `closed(packet, followed)` for every packet in file order, once its
// last note is known: when the next pitch bend opens the next packet
// (followed) or at the end of the file (not followed).
template <class Closed>
void forEachPacket(std::span<const std::uint8_t> bytes, Closed&& closed) {
  const std::uint8_t* data = bytes.data();
  const std::size_t end = bytes.size();
  const auto first = static_cast<std::size_t>(kFirstScanPosition - 1);

  // 64 bytes at a time; the last block is padded with zeros, which match
  // none of the three status bytes.
  auto marksAt = [&](std::size_t at) {
    if (end - at >= 64) return marksOf(data + at);
    std::uint8_t tail[64] = {};
    std::memcpy(tail, data + at, end - at);
    return marksOf(tail);
  };

  // Notes before the first pitch bend belong to no packet: they land here
  // and are dropped.
  Packet current;
  bool open = false;
  for (std::size_t at = first; at < end; at += 64) {
    auto [bends, ons, offs] = marksAt(at);
    // Each bend ends the current packet's share of the block and opens the
    // next packet; what is left after the last bend goes to that one.
    while (bends) {
      const std::uint64_t below = (bends & (0 - bends)) - 1;
      keepLast(current.noteOnOffset, ons & below, at);
      keepLast(current.noteOffOffset, offs & below, at);
      ons &= ~below;
      offs &= ~below;
      if (open) closed(current, true);
      current = Packet{static_cast<std::int64_t>(at + static_cast<std::size_t>(std::countr_zero(bends))), 0, 0};
      open = true;
      bends &= bends - 1;
    }
    keepLast(current.noteOnOffset, ons, at);
    keepLast(current.noteOffOffset, offs, at);
  }
  if (open) closed(current, false);
}

// One output copy written straight from the input: the bytes go out in
// blocks, with the queued velocity offsets set to 0 on the way.
class PatchedCopy {
 public:
  PatchedCopy(std::span<const std::uint8_t> source, ByteSink& sink) : source_(source), sink_(sink) {}

  // Offsets must come in increasing order; those past the end are dropped.
  void silence(const Packet& p) {
    std::int64_t a = p.noteOnOffset ? p.noteOnOffset + 2 : 0, b = p.noteOffOffset ? p.noteOffOffset + 2 : 0;
    if (a > b) std::swap(a, b);
    for (std::int64_t v : {a, b})
      if (v != 0 && v < static_cast<std::int64_t>(source_.size())) patches_.push_back(v);
  }

  // Writes the copy up to `end` once enough has gathered, or all of it.
  void emitUpTo(std::int64_t end, bool force) {
    if (!force && end - emitted_ < static_cast<std::int64_t>(sizeof buffer_)) return;
    while (emitted_ < end) {
      const std::int64_t chunkEnd = std::min<std::int64_t>(end, emitted_ + static_cast<std::int64_t>(sizeof buffer_));
      const auto length = static_cast<std::size_t>(chunkEnd - emitted_);
      std::memcpy(buffer_, source_.data() + emitted_, length);
      for (; head_ < patches_.size() && patches_[head_] < chunkEnd; ++head_) buffer_[patches_[head_] - emitted_] = 0;
      sink_.write(std::string_view(buffer_, length));
      emitted_ = chunkEnd;
    }
    // Only offsets not yet reached stay queued: a handful.
    if (head_ > 4096) {
      patches_.erase(patches_.begin(), patches_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

 private:
  std::span<const std::uint8_t> source_;
  ByteSink& sink_;
  std::vector<std::int64_t> patches_;
  std::size_t head_ = 0;
  std::int64_t emitted_ = 0;
  char buffer_[1 << 16] = {};
};

}  // namespace

void scanPackets(const FileBuffer& file, std::vector<Packet>& packets) {
  packets.clear();
  // Counting first sizes the table once: for a big file it is bigger than
  // the file, and growing it step by step would copy it over and over.
  const Bytes& raw = file.raw();
  if (raw.size() >= static_cast<std::size_t>(kFirstScanPosition))
    packets.reserve(static_cast<std::size_t>(std::count(raw.begin() + kFirstScanPosition - 1, raw.end(), kPitchBend)));
  forEachPacket(file.span(), [&](const Packet& p, bool) { packets.push_back(p); });
}

std::int64_t streamSplit(std::span<const std::uint8_t> bytes, ByteSink& out13, ByteSink& out24) {
  auto copy13 = std::make_unique<PatchedCopy>(bytes, out13);
  auto copy24 = std::make_unique<PatchedCopy>(bytes, out24);
  std::int64_t number = 0;
  forEachPacket(bytes, [&](const Packet& p, bool followed) {
    ++number;
    // An odd packet pairs with the one that follows it; the last one, when
    // unpaired, sounds in both copies.
    if (number % 2 == 0)
      copy13->silence(p);
    else if (followed)
      copy24->silence(p);
    // Every byte before this packet's bend is final in both copies.
    if (followed) {
      copy13->emitUpTo(p.bendOffset, false);
      copy24->emitUpTo(p.bendOffset, false);
    }
  });
  copy13->emitUpTo(static_cast<std::int64_t>(bytes.size()), true);
  copy24->emitUpTo(static_cast<std::int64_t>(bytes.size()), true);
  return number;
}

std::vector<Packet> scanPackets(const FileBuffer& file) {
  std::vector<Packet> packets;
  scanPackets(file, packets);
  return packets;
}

void splitNotes(const FileBuffer& file, SplitResult& r, const PairDone& afterPair) {
  scanPackets(file, r.packets);
  r.copy13.assign(file.raw().begin(), file.raw().end());
  r.copy24.assign(file.raw().begin(), file.raw().end());
  const auto count = static_cast<std::int64_t>(r.packets.size());
  // Packet numbers are 1-based: the pair (i, i + 1) is packets[i - 1], packets[i].
  for (std::int64_t i = 1; i <= count - 1; i += 2) {
    silencePacket(r.copy24, r.packets[static_cast<std::size_t>(i - 1)]);
    silencePacket(r.copy13, r.packets[static_cast<std::size_t>(i)]);
    if (afterPair) afterPair(i);
  }
}

SplitResult splitNotes(const FileBuffer& file, const PairDone& afterPair) {
  SplitResult r;
  splitNotes(file, r, afterPair);
  return r;
}

std::string splitOutputName13(const std::string& baseName) { return baseName + "_13.mid"; }
std::string splitOutputName24(const std::string& baseName) { return baseName + "_24.mid"; }

bool writeSplitFiles(const OutputFactory& create, const std::string& name13, const std::string& name24,
                     const SplitResult& split, WriteFailure& failure) {
  struct Job {
    const std::string& name;
    const Bytes& bytes;
    std::unique_ptr<OutputFile> out;
  };
  Job jobs[] = {{name13, split.copy13, create(name13)}, {name24, split.copy24, create(name24)}};

  auto failed = [&](const Job& job) {
    failure = {job.name, job.out->error()};
    if (failure.reason.empty()) failure.reason = "write failed";
    return false;
  };
  // Outputs that are not committed remove their temporary files when they
  // go out of scope, so an early return leaves both targets as they were.
  for (Job& job : jobs) {
    job.out->write(asChars(job.bytes));
    if (!job.out->finish()) return failed(job);
  }
  for (Job& job : jobs)
    if (!job.out->commit()) return failed(job);
  return true;
}

}  // namespace ezg
