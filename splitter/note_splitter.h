// The note splitter: cuts a MIDI file into packets, each opened by a
// pitch-bend byte 0xE0, and makes two copies in which the packets are
// silenced alternately, pair by pair. One scan and one silencing rule; the
// window holds one copy at a time, the command line streams each.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "midi/bytes.h"
#include "files/sink.h"

namespace ezg {

// 0-based offsets of a packet's status bytes. The scan starts at offset 30,
// so 0 never names a real status byte and means "none met".
struct Packet {
  std::int64_t bendOffset = 0;
  std::int64_t noteOnOffset = 0;   // the last 0x90 of the packet
  std::int64_t noteOffOffset = 0;  // the last 0x80 of the packet

  bool operator==(const Packet&) const = default;
};

// The first position (1-based) the scan looks at: the header chunk, the
// track chunk's head and its first events are never taken for notes.
inline constexpr std::int64_t kFirstScanPosition = 31;

// Called for every packet in file order once its last note is known: when
// the next pitch bend opens the next packet (followed) or at the end.
using PacketClosed = std::function<void(const Packet& packet, bool followed)>;

// The scan. Note bytes before the first 0xE0 belong to no packet and are
// ignored; a file without 0xE0 has no packets. Returns the packet count.
std::int64_t scanPackets(std::span<const std::uint8_t> bytes, const PacketClosed& closed);

enum class SplitCopy {
  Copy13,  // packets 2, 4, 6, ... silenced
  Copy24,  // packets 1, 3, 5, ... silenced, an unpaired last one kept
};

// Called after each pair with the odd packet number i (1, 3, 5, ...).
using PairDone = std::function<void(std::int64_t packetNumber)>;

// One copy in memory, for the window, which makes one at a time so that a
// split holds the file and one copy: `afterPair` runs after each pair. A
// velocity that would lie past the end of the file is left alone.
Bytes splitOneCopy(const FileBuffer& file, SplitCopy which, const PairDone& afterPair = {});

// Fills the start of `into` with the next bytes of the input and returns
// how many; 0 at the end.
using ReadMore = std::function<std::size_t(std::span<std::uint8_t> into)>;

// Called for each velocity the copy sets to 0, with the byte it was, or -1
// when it was written already and is no longer at hand.
using Silenced = std::function<void(std::int64_t offset, int was)>;

// One copy written to `out` while the input is read, without holding it:
// only the bytes from the last silenced packet on wait for their packet, and
// at most a few blocks of them; a velocity already written when its packet
// closes is set through ByteSink::patch. Returns the packet count.
std::int64_t streamCopy(const ReadMore& input, SplitCopy which, ByteSink& out, const Silenced& silenced = {});

// "<base>_13.mid" and "<base>_24.mid".
std::string splitOutputName13(const std::string& baseName);
std::string splitOutputName24(const std::string& baseName);

}  // namespace ezg
