#include "cli/split_findings.h"

#include <algorithm>
#include <memory>

#include <fmt/format.h>

#include "cli/language.h"
#include "midi/vocabulary.h"
#include "splitter/note_splitter.h"

namespace ezg::cli {
namespace {

using midi::ByteName;
using midi::ByteRole;

constexpr std::size_t kBlock = std::size_t{1} << 16;

// "1 note", "482 notes".
std::string notes(std::int64_t n) { return trnf("{} note", "{} notes", static_cast<std::uint64_t>(n), number(n)); }
std::string bars(std::int64_t n) { return trnf("{} bar", "{} bars", static_cast<std::uint64_t>(n), number(n)); }
std::string bends(std::int64_t n) {
  return trnf("{} pitch bend", "{} pitch bends", static_cast<std::uint64_t>(n), number(n));
}
std::string packets(std::int64_t n) {
  return trnf("{} packet", "{} packets", static_cast<std::uint64_t>(n), number(n));
}

// Positions count from 1, as in the report and the test's warnings.
std::int64_t position(const ByteName& n) { return n.offset + 1; }

// With its article, as the byte's description starts with it.
const char* metaName(std::uint8_t type) {
  switch (type) {
    case 0x00: return tr("a sequence number");
    case 0x01: return tr("a text event");
    case 0x02: return tr("a copyright notice");
    case 0x03: return tr("a track name");
    case 0x04: return tr("an instrument name");
    case 0x05: return tr("a lyric");
    case 0x06: return tr("a marker");
    case 0x07: return tr("a cue point");
    case 0x20: return tr("a channel prefix");
    case 0x21: return tr("a port number");
    case midi::kEndByte: return tr("an end-of-track event");
    case midi::kTempo: return tr("a tempo");
    case 0x54: return tr("an SMPTE offset");
    case 0x58: return tr("a time signature");
    case 0x59: return tr("a key signature");
    case 0x7F: return tr("a sequencer-specific event");
    default: return tr("a meta event");
  }
}

bool isText(std::uint8_t metaType) { return metaType >= 0x01 && metaType <= 0x0F; }

const char* messageName(int kind) {
  switch (kind) {
    case midi::kNoteOffKind: return tr("note-off");
    case midi::kNoteOnKind: return tr("note-on");
    case midi::kPolyPressureKind: return tr("key pressure");
    case midi::kControlChangeKind: return tr("control change");
    case midi::kProgramChangeKind: return tr("program change");
    case midi::kChannelPressureKind: return tr("channel pressure");
    default: return tr("pitch bend");
  }
}

// "the note-on of key 62 on channel 1 at tick 480": whole sentences, as
// other languages put the parts in another order.
std::string channelMessage(const ByteName& n, bool withKey) {
  const int kind = n.status >> 4;
  const bool keyed = kind == midi::kNoteOffKind || kind == midi::kNoteOnKind || kind == midi::kPolyPressureKind;
  const int channel = (n.status & 0x0F) + 1;
  const std::int64_t track = n.track + 1;
  if (withKey && keyed && n.key >= 0) {
    return n.track > 0 ? trf("the {} of key {} on channel {} at tick {} of track {}", messageName(kind), n.key, channel,
                             n.tick, track)
                       : trf("the {} of key {} on channel {} at tick {}", messageName(kind), n.key, channel, n.tick);
  }
  return n.track > 0 ? trf("the {} on channel {} at tick {} of track {}", messageName(kind), channel, n.tick, track)
                     : trf("the {} on channel {} at tick {}", messageName(kind), channel, n.tick);
}

std::string channelByte(const ByteName& n) {
  const int kind = n.status >> 4;
  if (n.role == ByteRole::Status) return trf("the status byte of {}", channelMessage(n, true));
  const bool first = n.role == ByteRole::Data1;
  const char* what = nullptr;
  switch (kind) {
    case midi::kNoteOffKind:
    case midi::kNoteOnKind: what = first ? N_("the key of {}") : N_("the velocity of {}"); break;
    case midi::kPolyPressureKind: what = first ? N_("the key of {}") : N_("the pressure of {}"); break;
    case midi::kControlChangeKind: what = first ? N_("the controller number of {}") : N_("the value of {}"); break;
    case midi::kProgramChangeKind: what = N_("the program number of {}"); break;
    case midi::kChannelPressureKind: what = N_("the pressure of {}"); break;
    default: what = first ? N_("the low byte of {}") : N_("the high byte of {}"); break;
  }
  return trf(what, channelMessage(n, !first));
}

// A chunk's tag or length.
std::string chunkPart(midi::ChunkKind chunk, bool tag) {
  switch (chunk) {
    case midi::ChunkKind::Header: return tag ? tr("the header chunk's tag") : tr("the header chunk's length");
    case midi::ChunkKind::Track: return tag ? tr("a track chunk's tag") : tr("a track chunk's length");
    default: return tag ? tr("an unknown chunk's tag") : tr("an unknown chunk's length");
  }
}

std::string channelList(const InputFacts& in) {
  std::vector<int> channels;
  for (int c = 1; c < 16; ++c)
    if (in.bends[static_cast<std::size_t>(c)] > 0) channels.push_back(c + 1);
  std::string list;
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (i > 0) list += i + 1 == channels.size() ? tr(" and ") : ", ";
    list += std::to_string(channels[i]);
  }
  return channels.size() == 1 ? trf("channel {}", list) : trf("channels {}", list);
}

std::int64_t allBends(const InputFacts& in) {
  std::int64_t n = 0;
  for (std::int64_t b : in.bends) n += b;
  return n;
}

// Why neither copy differs from the input.
std::string nothingSilenced(const InputFacts& in) {
  if (in.bends[0] == 0 && allBends(in) == 0) return tr("there is no pitch bend on channel 1");
  if (in.bends[0] == 0)
    return trf("the pitch bends are all on {}, and only those on channel 1 open packets", channelList(in));
  if (in.firstChannelRunning > 0)
    return trnf("running status hides the notes: {} note on channel 1 has no status byte of its own",
                "running status hides the notes: {} notes on channel 1 have no status byte of its own",
                static_cast<std::uint64_t>(in.firstChannelRunning), number(in.firstChannelRunning));
  if (in.firstChannelZeroOns > 0)
    return tr(
        "the note-offs are written as note-ons with velocity 0, so the split silenced only those, whose "
        "velocity was 0 already");
  if (in.packets == 0)
    return trf("no pitch bend on channel 1 has its own status byte from position {} on, where the split looks",
               kFirstScanPosition);
  if (in.packets == 1) return tr("the split found only 1 packet, and a packet without a partner sounds in both copies");
  return trf("none of the {} packets the split found holds a note it could silence", number(in.packets));
}

const char* ruleByteMeaning(std::uint8_t b) {
  return b == midi::kPitchBend ? tr("a pitch bend") : b == midi::kNoteOn ? tr("a note-on") : tr("a note-off");
}

}  // namespace

Status checkCopies(const InputFile& in, const ChangeList& changes13, const ChangeList& changes24, SplitCheck& found) {
  SplitChecker checker(changes13, changes24);
  // Not cleared first: a small file touches a page or two of it.
  const auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kBlock);
  const std::span block(bytes.get(), kBlock);
  std::uint64_t at = 0;
  for (std::size_t got = 0;; at += got) {
    if (Status failed = in.readAt(at, block, got)) return failed;
    if (got == 0) break;
    checker.feed(block.first(got));
  }
  if (Status failed = in.checkUnchanged(at)) return failed;
  found = checker.finish();
  return {};
}

std::string describeByte(const ByteName& n) {
  switch (n.role) {
    case ByteRole::ChunkTag: return chunkPart(n.chunk, true);
    case ByteRole::ChunkLength: return chunkPart(n.chunk, false);
    case ByteRole::HeaderFormat: return tr("the header's format");
    case ByteRole::HeaderTracks: return tr("the header's track count");
    case ByteRole::HeaderDivision: return tr("the header's time division");
    case ByteRole::HeaderExtra: return tr("the header's extra data");
    case ByteRole::ChunkData: return tr("an unknown chunk's data");
    case ByteRole::DeltaLead:
    case ByteRole::DeltaLast: return tr("a delta time");
    case ByteRole::Status:
    case ByteRole::Data1:
    case ByteRole::Data2: return channelByte(n);
    case ByteRole::MetaStatus: return trf("{}'s first byte", metaName(n.metaType));
    case ByteRole::MetaType: return trf("{}'s type byte", metaName(n.metaType));
    case ByteRole::MetaLength: return trf("{}'s length", metaName(n.metaType));
    case ByteRole::MetaData:
      return isText(n.metaType) ? trf("{}'s text", metaName(n.metaType)) : trf("{}'s data", metaName(n.metaType));
    case ByteRole::SysExStatus: return tr("a system-exclusive message's first byte");
    case ByteRole::SysExLength: return tr("a system-exclusive message's length");
    case ByteRole::SysExData: return tr("a system-exclusive message's data");
    case ByteRole::Skipped: return trf("a byte of track {} where it no longer reads as events", n.track + 1);
    case ByteRole::AfterChunks: return tr("a byte after the last chunk");
  }
  return tr("a byte");
}

std::string splitSummary(const SplitNames& names, const SplitCheck& found) {
  return fmt::format(
      "{}: {}\n", names.input,
      trf("{}, {}; {} silences {}, {} {}", bends(allBends(found.input)), notes(found.input.notes), names.copy13,
          notes(found.copy13.silencedNotes), names.copy24, number(found.copy24.silencedNotes)));
}

std::string withTempo(std::string summary, int tempoPercent) {
  if (tempoPercent == 0) return summary;
  if (summary.ends_with('\n')) summary.pop_back();
  return summary + trf("; tempo {} %", tempoPercent) + "\n";
}

namespace {

// What one copy sounds: "bars 1, 3 … 81", "notes 1-2, 5-6 … 9", "bar 1",
// "no bars". Copy 13 sounds the first group of `every` units, then every
// other one; copy 24 the second, and so on.
std::string soundingUnits(bool byBars, std::int64_t units, std::int64_t every, SplitCopy which) {
  const std::int64_t groups = units / every + (units % every != 0 ? 1 : 0);
  const std::int64_t first = which == SplitCopy::Copy13 ? 0 : 1;
  const std::int64_t count = groups > first ? (groups - first + 1) / 2 : 0;
  if (count == 0) return byBars ? tr("no bars") : tr("no notes");
  auto group = [&](std::int64_t i) {
    const std::int64_t g = first + 2 * i, lo = g * every + 1, hi = std::min(units, (g + 1) * every);
    return lo == hi ? std::to_string(lo) : fmt::format("{}-{}", lo, hi);
  };
  if (count == 1 && group(0).find('-') == std::string::npos)
    return byBars ? trf("bar {}", group(0)) : trf("note {}", group(0));
  std::string list = group(0);
  if (count <= 3) {
    for (std::int64_t i = 1; i < count; ++i) list += ", " + group(i);
  } else {
    list = fmt::format("{}, {} … {}", list, group(1), group(count - 1));
  }
  return byBars ? trf("bars {}", list) : trf("notes {}", list);
}

const char* troubleText(midi::Trouble t) {
  switch (t) {
    case midi::Trouble::NoHeader: return tr("no header chunk");
    case midi::Trouble::DataWithoutStatus: return tr("a data byte where a status byte is needed");
    case midi::Trouble::UnknownStatus: return tr("a status byte that has no place in a file");
    case midi::Trouble::StatusInData: return tr("a status byte inside a channel message");
    case midi::Trouble::LongNumber: return tr("a delta time or length of more than four bytes");
    case midi::Trouble::PastChunkEnd: return tr("an event runs past the end of its chunk");
    case midi::Trouble::AfterEndOfTrack: return tr("bytes after the end-of-track event");
    case midi::Trouble::CutByFileEnd: return tr("the file ends inside an event or a chunk");
  }
  return tr("the events stop making sense");
}

}  // namespace

std::string eventSplitSummary(const SplitNames& names, const EventSplitFacts& facts, const EventSplitOptions& options) {
  const bool byBars = options.unit == SplitUnit::Bar;
  std::string text = byBars ? trf("{} in {}", notes(facts.notes), bars(facts.bars)) : notes(facts.notes);
  text +=
      trf("; {} sounds {} ({}), {} {} ({})", names.copy13,
          soundingUnits(byBars, facts.units, options.every, SplitCopy::Copy13), notes(facts.sounding13), names.copy24,
          soundingUnits(byBars, facts.units, options.every, SplitCopy::Copy24), notes(facts.sounding24));
  if (facts.continued) {
    const std::int64_t past = facts.continued->notes;
    text += trnf("; track {} made whole: {} of its notes lay past the end of its chunk",
                 "; track {} made whole: {} of its notes lay past the end of its chunk",
                 static_cast<std::uint64_t>(past), facts.continued->track + 1, number(past));
  }
  return withTempo(names.input + ": " + text + "\n", options.tempoPercent);
}

std::vector<std::string> eventSplitWarnings(const SplitNames& names, const EventSplitFacts& facts) {
  if (!facts.firstTrouble) return {};
  return {fmt::format("{}: {}\n", names.input,
                      trf("position {}: {}; from there on the track is left as it is and its notes sound in both "
                          "copies",
                          facts.firstTrouble->offset + 1, troubleText(facts.firstTrouble->what)))};
}

std::string refusalText(EventSplitRefusal why) {
  switch (why) {
    case EventSplitRefusal::NotMidi: return tr("not a MIDI file: it does not start with a header chunk");
    case EventSplitRefusal::NoBeats:
      return tr("no bars to count: the file's time division is not in ticks a quarter note (try --by note)");
    case EventSplitRefusal::NoRoomForTempo: return tr("the first track's length leaves no room for a tempo event");
  }
  return tr("cannot be split by its events");
}

std::vector<std::string> splitWarnings(const SplitNames& names, const SplitCheck& found) {
  const InputFacts& in = found.input;
  std::vector<std::string> lines;
  if (found.copy13.changedBytes == 0 && found.copy24.changedBytes == 0) {
    lines.push_back(fmt::format("{}: {}\n", names.input, trf("both copies equal the input: {}", nothingSilenced(in))));
  } else if (in.firstChannelRunning > 0) {
    const auto hidden = static_cast<std::uint64_t>(in.firstChannelRunning);
    lines.push_back(
        fmt::format("{}: {}\n", names.input,
                    trnf("running status hides {} note on channel 1 from the split; they sound in both copies",
                         "running status hides {} notes on channel 1 from the split; they sound in both copies", hidden,
                         number(in.firstChannelRunning))));
  }
  for (const auto& [name, copy] : {std::pair{&names.copy13, &found.copy13}, {&names.copy24, &found.copy24}}) {
    if (!copy->firstStrayChange) continue;
    const ByteName& n = *copy->firstStrayChange;
    std::string line = trf("position {}: {} was set to {}", position(n), describeByte(n), copy->firstStrayChangeTo);
    if (midi::structural(n.role)) line += tr("; the rest of the track now reads differently");
    if (copy->strayChanges > 1) {
      const std::int64_t more = copy->strayChanges - 1;
      line += trnf(" ({} more changed byte is no velocity of a note on channel 1)",
                   " ({} more changed bytes are no velocity of a note on channel 1)", static_cast<std::uint64_t>(more),
                   number(more));
    }
    lines.push_back(*name + ": " + line + "\n");
  }
  if (in.packets != in.bends[0]) {
    std::string line =
        trf("the split found {}, but the file has {} on channel 1", packets(in.packets), bends(in.bends[0]));
    if (in.firstStrayBend) {
      line += trf("; the first stray 0xE0 is at position {}: {}", position(*in.firstStrayBend),
                  describeByte(*in.firstStrayBend));
    } else if (in.firstUnseenBend) {
      const ByteName& n = *in.firstUnseenBend;
      line += n.running ? trf("; the first one it misses is at position {}: {}, which has no status byte of its own",
                              position(n), channelMessage(n, false))
                        : trf("; the first one it misses is at position {}: {}, before position {} where the split "
                              "starts",
                              position(n), channelMessage(n, false), kFirstScanPosition);
    }
    lines.push_back(names.input + ": " + line + "\n");
  }
  if (in.ruleByteAfterTracks) {
    const std::uint8_t b = in.ruleByteAfterTracksValue;
    lines.push_back(
        fmt::format("{}: {}\n", names.input,
                    trf("position {}: bytes after the last track chunk took part in the split: it took "
                        "the byte {} there for {}",
                        position(*in.ruleByteAfterTracks), fmt::format("0x{:02X}", b), ruleByteMeaning(b))));
  }
  return lines;
}

}  // namespace ezg::cli
