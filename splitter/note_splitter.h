// The note splitter: cuts a MIDI file into packets, each opened by a
// pitch-bend byte 0xE0, and makes two copies in which the packets are
// silenced alternately, pair by pair.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "midi/bytes.h"
#include "midi/sink.h"

namespace ezg {

// 0-based offsets of a packet's status bytes. The scan starts at offset 30,
// so 0 never names a real status byte and means "none met".
struct Packet {
  std::int64_t bendOffset = 0;
  std::int64_t noteOnOffset = 0;   // the last 0x90 of the packet
  std::int64_t noteOffOffset = 0;  // the last 0x80 of the packet
};

// The first position (1-based) the scan looks at: the header chunk, the
// track chunk's head and its first events are never taken for notes.
inline constexpr std::int64_t kFirstScanPosition = 31;

// Event-pump passes the window makes after each pair, so the strip moves at
// a pace a person can follow.
inline constexpr int kPausePumpPasses = 10'000;

// Finds the packets. Note bytes before the first 0xE0 belong to no packet
// and are ignored; a file without 0xE0 has no packets.
std::vector<Packet> scanPackets(const FileBuffer& file);
// The same into `packets`, reusing its storage.
void scanPackets(const FileBuffer& file, std::vector<Packet>& packets);

struct SplitResult {
  std::vector<Packet> packets;
  Bytes copy13;  // packets 2, 4, 6, ... silenced
  Bytes copy24;  // packets 1, 3, 5, ... silenced, an unpaired last one kept
};

// Called after each pair with the odd packet number i (1, 3, 5, ...).
using PairDone = std::function<void(std::int64_t packetNumber)>;

// Scans `file`, makes both copies and silences them pair by pair. A note is
// silenced by zeroing the third byte of its message (the velocity); one
// that would lie past the end of the file is left alone.
SplitResult splitNotes(const FileBuffer& file, const PairDone& afterPair = {});
// The same into `result`, reusing its storage: splitting many files in a
// row then touches no fresh memory.
void splitNotes(const FileBuffer& file, SplitResult& result, const PairDone& afterPair = {});

// The same two copies written straight to `out13` and `out24` while the
// input is scanned once, without holding either copy or the packet table:
// for the command line, where a file's memory costs more than its scan.
// Returns the packet count.
std::int64_t streamSplit(std::span<const std::uint8_t> bytes, ByteSink& out13, ByteSink& out24);

// "<base>_13.mid" and "<base>_24.mid".
std::string splitOutputName13(const std::string& baseName);
std::string splitOutputName24(const std::string& baseName);

using OutputFactory = std::function<std::unique_ptr<OutputFile>(const std::string& name)>;

struct WriteFailure {
  std::string name;    // the output that failed, as given to the factory
  std::string reason;  // in plain words
};

// Writes both copies so that no name ever holds a partial file: both
// temporary files are complete before either is renamed over its target.
// Returns false with the failing output in `failure`.
bool writeSplitFiles(const OutputFactory& create, const std::string& name13, const std::string& name24,
                     const SplitResult& split, WriteFailure& failure);

}  // namespace ezg
