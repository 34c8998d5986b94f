#include "splitter/note_splitter.h"

#include <cstring>
#include <string_view>

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

std::string_view asChars(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::vector<Packet> scanPackets(const FileBuffer& file) {
  std::vector<Packet> packets;
  const std::uint8_t* data = file.raw().data();
  const auto end = static_cast<std::size_t>(file.length());
  std::size_t off = static_cast<std::size_t>(kFirstScanPosition - 1);

  // Skip to the first pitch bend: note bytes before it open no packet.
  while (off < end && data[off] != kPitchBend) ++off;

  // Status bytes are rare among MIDI data bytes (which are below 0x80), so
  // whole words without a high bit are stepped over at once.
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  Packet* current = nullptr;
  while (off < end) {
    if (off + 8 <= end) {
      std::uint64_t word;
      std::memcpy(&word, data + off, sizeof word);
      if ((word & kHighBits) == 0) {
        off += 8;
        continue;
      }
    }
    switch (data[off]) {
      case kNoteOff:
        current->noteOffOffset = static_cast<std::int64_t>(off);
        break;
      case kNoteOn:
        current->noteOnOffset = static_cast<std::int64_t>(off);
        break;
      case kPitchBend:
        current = &packets.emplace_back(Packet{static_cast<std::int64_t>(off), 0, 0});
        break;
      default:
        break;
    }
    ++off;
  }
  return packets;
}

SplitResult splitNotes(const FileBuffer& file, const PairDone& afterPair) {
  SplitResult r;
  r.packets = scanPackets(file);
  r.copy13 = file.raw();
  r.copy24 = file.raw();
  const auto count = static_cast<std::int64_t>(r.packets.size());
  // Packet numbers are 1-based: the pair (i, i + 1) is packets[i - 1], packets[i].
  for (std::int64_t i = 1; i <= count - 1; i += 2) {
    silencePacket(r.copy24, r.packets[static_cast<std::size_t>(i - 1)]);
    silencePacket(r.copy13, r.packets[static_cast<std::size_t>(i)]);
    if (afterPair) afterPair(i);
  }
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
