#include "cli/split_findings.h"

#include <algorithm>

#include <fmt/format.h>

#include "midi/vocabulary.h"
#include "splitter/note_splitter.h"

namespace ezg::cli {
namespace {

using midi::ByteName;
using midi::ByteRole;

constexpr std::size_t kBlock = std::size_t{1} << 16;

std::string counted(std::int64_t n, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

// Positions count from 1, as in the report and the test's warnings.
std::int64_t position(const ByteName& n) { return n.offset + 1; }

std::string withArticle(std::string_view noun) {
  const bool vowel = !noun.empty() && std::string_view("aeiou").find(noun[0]) != std::string_view::npos;
  return fmt::format("{} {}", vowel ? "an" : "a", noun);
}

std::string_view metaName(std::uint8_t type) {
  switch (type) {
    case 0x00: return "sequence number";
    case 0x01: return "text event";
    case 0x02: return "copyright notice";
    case 0x03: return "track name";
    case 0x04: return "instrument name";
    case 0x05: return "lyric";
    case 0x06: return "marker";
    case 0x07: return "cue point";
    case 0x20: return "channel prefix";
    case 0x21: return "port number";
    case midi::kEndByte: return "end-of-track event";
    case midi::kTempo: return "tempo";
    case 0x54: return "SMPTE offset";
    case 0x58: return "time signature";
    case 0x59: return "key signature";
    case 0x7F: return "sequencer-specific event";
    default: return "meta event";
  }
}

bool isText(std::uint8_t metaType) { return metaType >= 0x01 && metaType <= 0x0F; }

std::string_view messageName(int kind) {
  switch (kind) {
    case midi::kNoteOffKind: return "note-off";
    case midi::kNoteOnKind: return "note-on";
    case midi::kPolyPressureKind: return "key pressure";
    case midi::kControlChangeKind: return "control change";
    case midi::kProgramChangeKind: return "program change";
    case midi::kChannelPressureKind: return "channel pressure";
    default: return "pitch bend";
  }
}

// "the note-on of key 62 on channel 1 at tick 480"
std::string channelMessage(const ByteName& n, bool withKey) {
  const int kind = n.status >> 4;
  const bool keyed = kind == midi::kNoteOffKind || kind == midi::kNoteOnKind || kind == midi::kPolyPressureKind;
  std::string text = fmt::format("the {}", messageName(kind));
  if (withKey && keyed && n.key >= 0) text += fmt::format(" of key {}", n.key);
  text += fmt::format(" on channel {} at tick {}", (n.status & 0x0F) + 1, n.tick);
  if (n.track > 0) text += fmt::format(" of track {}", n.track + 1);
  return text;
}

std::string channelByte(const ByteName& n) {
  const int kind = n.status >> 4;
  if (n.role == ByteRole::Status) return "the status byte of " + channelMessage(n, true);
  const bool first = n.role == ByteRole::Data1;
  std::string_view what;
  switch (kind) {
    case midi::kNoteOffKind:
    case midi::kNoteOnKind: what = first ? "key" : "velocity"; break;
    case midi::kPolyPressureKind: what = first ? "key" : "pressure"; break;
    case midi::kControlChangeKind: what = first ? "controller number" : "value"; break;
    case midi::kProgramChangeKind: what = "program number"; break;
    case midi::kChannelPressureKind: what = "pressure"; break;
    default: what = first ? "low byte" : "high byte"; break;
  }
  return fmt::format("the {} of {}", what, channelMessage(n, !first));
}

std::string chunkName(midi::ChunkKind chunk) {
  switch (chunk) {
    case midi::ChunkKind::Header: return "the header chunk";
    case midi::ChunkKind::Track: return "a track chunk";
    default: return "an unknown chunk";
  }
}

std::string channelList(const InputFacts& in) {
  std::vector<int> channels;
  for (int c = 1; c < 16; ++c)
    if (in.bends[static_cast<std::size_t>(c)] > 0) channels.push_back(c + 1);
  std::string text = channels.size() == 1 ? "channel " : "channels ";
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (i > 0) text += i + 1 == channels.size() ? " and " : ", ";
    text += std::to_string(channels[i]);
  }
  return text;
}

std::int64_t allBends(const InputFacts& in) {
  std::int64_t n = 0;
  for (std::int64_t b : in.bends) n += b;
  return n;
}

// Why neither copy differs from the input.
std::string nothingSilenced(const InputFacts& in) {
  if (in.bends[0] == 0 && allBends(in) == 0) return "there is no pitch bend on channel 1";
  if (in.bends[0] == 0)
    return fmt::format("the pitch bends are all on {}, and only those on channel 1 open packets", channelList(in));
  if (in.firstChannelRunning > 0)
    return fmt::format("running status hides the notes: {} on channel 1 {} no status byte of its own",
                       counted(in.firstChannelRunning, "note", "notes"), in.firstChannelRunning == 1 ? "has" : "have");
  if (in.firstChannelZeroOns > 0)
    return "the note-offs are written as note-ons with velocity 0, so the split silenced only those, whose velocity "
           "was 0 already";
  if (in.packets == 0) return "no pitch bend on channel 1 has its own status byte from position 31 on, where the split looks";
  if (in.packets == 1) return "the split found only 1 packet, and a packet without a partner sounds in both copies";
  return fmt::format("none of the {} packets the split found holds a note it could silence", in.packets);
}

std::string_view ruleByteMeaning(std::uint8_t b) {
  return b == midi::kPitchBend ? "a pitch bend" : b == midi::kNoteOn ? "a note-on" : "a note-off";
}

}  // namespace

Status checkCopies(const InputFile& in, const ChangeList& changes13, const ChangeList& changes24, SplitCheck& found) {
  SplitChecker checker(changes13, changes24);
  std::vector<std::uint8_t> block(kBlock);
  std::uint64_t at = 0;
  for (std::size_t got = 0;; at += got) {
    if (Status failed = in.readAt(at, block, got)) return failed;
    if (got == 0) break;
    checker.feed(std::span(block).first(got));
  }
  if (Status failed = in.checkUnchanged(at)) return failed;
  found = checker.finish();
  return {};
}

std::string describeByte(const ByteName& n) {
  switch (n.role) {
    case ByteRole::ChunkTag: return chunkName(n.chunk) + "'s tag";
    case ByteRole::ChunkLength: return chunkName(n.chunk) + "'s length";
    case ByteRole::HeaderFormat: return "the header's format";
    case ByteRole::HeaderTracks: return "the header's track count";
    case ByteRole::HeaderDivision: return "the header's time division";
    case ByteRole::HeaderExtra: return "the header's extra data";
    case ByteRole::ChunkData: return "an unknown chunk's data";
    case ByteRole::DeltaLead: case ByteRole::DeltaLast: return "a delta time";
    case ByteRole::Status: case ByteRole::Data1: case ByteRole::Data2: return channelByte(n);
    case ByteRole::MetaStatus: return withArticle(metaName(n.metaType)) + "'s first byte";
    case ByteRole::MetaType: return withArticle(metaName(n.metaType)) + "'s type byte";
    case ByteRole::MetaLength: return withArticle(metaName(n.metaType)) + "'s length";
    case ByteRole::MetaData:
      return withArticle(metaName(n.metaType)) + (isText(n.metaType) ? "'s text" : "'s data");
    case ByteRole::SysExStatus: return "a system-exclusive message's first byte";
    case ByteRole::SysExLength: return "a system-exclusive message's length";
    case ByteRole::SysExData: return "a system-exclusive message's data";
    case ByteRole::Skipped: return fmt::format("a byte of track {} where it no longer reads as events", n.track + 1);
    case ByteRole::AfterChunks: return "a byte after the last chunk";
  }
  return "a byte";
}

std::string splitSummary(const SplitNames& names, const SplitCheck& found) {
  return fmt::format("{}: {}, {}; {} silences {}, {} {}\n", names.input,
                     counted(allBends(found.input), "pitch bend", "pitch bends"),
                     counted(found.input.notes, "note", "notes"), names.copy13,
                     counted(found.copy13.silencedNotes, "note", "notes"), names.copy24, found.copy24.silencedNotes);
}

std::string withTempo(std::string summary, int tempoPercent) {
  if (tempoPercent == 0) return summary;
  if (summary.ends_with('\n')) summary.pop_back();
  return fmt::format("{}; tempo {} %\n", summary, tempoPercent);
}

namespace {

// What one copy sounds: "bars 1, 3 … 81", "notes 1-2, 5-6 … 9", "bar 1",
// "no bars". Copy 13 sounds the first group of `every` units, then every
// other one; copy 24 the second, and so on.
std::string soundingUnits(std::string_view one, std::string_view many, std::int64_t units, std::int64_t every,
                          SplitCopy which) {
  const std::int64_t groups = units / every + (units % every != 0 ? 1 : 0);
  const std::int64_t first = which == SplitCopy::Copy13 ? 0 : 1;
  const std::int64_t count = groups > first ? (groups - first + 1) / 2 : 0;
  if (count == 0) return fmt::format("no {}", many);
  auto group = [&](std::int64_t i) {
    const std::int64_t g = first + 2 * i, lo = g * every + 1, hi = std::min(units, (g + 1) * every);
    return lo == hi ? std::to_string(lo) : fmt::format("{}-{}", lo, hi);
  };
  if (count == 1 && group(0).find('-') == std::string::npos) return fmt::format("{} {}", one, group(0));
  std::string text = fmt::format("{} {}", many, group(0));
  if (count <= 3) {
    for (std::int64_t i = 1; i < count; ++i) text += ", " + group(i);
    return text;
  }
  return fmt::format("{}, {} … {}", text, group(1), group(count - 1));
}

std::string_view troubleText(midi::Trouble t) {
  switch (t) {
    case midi::Trouble::NoHeader: return "no header chunk";
    case midi::Trouble::DataWithoutStatus: return "a data byte where a status byte is needed";
    case midi::Trouble::UnknownStatus: return "a status byte that has no place in a file";
    case midi::Trouble::StatusInData: return "a status byte inside a channel message";
    case midi::Trouble::LongNumber: return "a delta time or length of more than four bytes";
    case midi::Trouble::PastChunkEnd: return "an event runs past the end of its chunk";
    case midi::Trouble::AfterEndOfTrack: return "bytes after the end-of-track event";
    case midi::Trouble::CutByFileEnd: return "the file ends inside an event or a chunk";
  }
  return "the events stop making sense";
}

}  // namespace

std::string eventSplitSummary(const SplitNames& names, const EventSplitFacts& facts,
                              const EventSplitOptions& options) {
  const bool bars = options.unit == SplitUnit::Bar;
  const std::string_view one = bars ? "bar" : "note", many = bars ? "bars" : "notes";
  std::string text = fmt::format("{}: {}", names.input, counted(facts.notes, "note", "notes"));
  if (bars) text += " in " + counted(facts.bars, "bar", "bars");
  text += fmt::format("; {} sounds {} ({}), {} {} ({})", names.copy13,
                      soundingUnits(one, many, facts.units, options.every, SplitCopy::Copy13),
                      counted(facts.sounding13, "note", "notes"), names.copy24,
                      soundingUnits(one, many, facts.units, options.every, SplitCopy::Copy24),
                      counted(facts.sounding24, "note", "notes"));
  if (facts.continued)
    text += fmt::format("; track {} made whole: {} lay past the end of its chunk", facts.continued->track + 1,
                        facts.continued->notes == 1 ? std::string("1 of its notes")
                                                    : fmt::format("{} of its notes", facts.continued->notes));
  return withTempo(text + "\n", options.tempoPercent);
}

std::vector<std::string> eventSplitWarnings(const SplitNames& names, const EventSplitFacts& facts) {
  if (!facts.firstTrouble) return {};
  return {fmt::format("{}: position {}: {}; from there on the track is left as it is and its notes sound in both "
                      "copies\n",
                      names.input, facts.firstTrouble->offset + 1, troubleText(facts.firstTrouble->what))};
}

std::string refusalText(EventSplitRefusal why) {
  switch (why) {
    case EventSplitRefusal::NotMidi: return "not a MIDI file: it does not start with a header chunk";
    case EventSplitRefusal::NoBeats:
      return "no bars to count: the file's time division is not in ticks a quarter note (try --by note)";
    case EventSplitRefusal::NoRoomForTempo: return "the first track's length leaves no room for a tempo event";
  }
  return "cannot be split by its events";
}

std::vector<std::string> splitWarnings(const SplitNames& names, const SplitCheck& found) {
  const InputFacts& in = found.input;
  std::vector<std::string> lines;
  if (found.copy13.changedBytes == 0 && found.copy24.changedBytes == 0) {
    lines.push_back(fmt::format("{}: both copies equal the input: {}\n", names.input, nothingSilenced(in)));
  } else if (in.firstChannelRunning > 0) {
    lines.push_back(fmt::format("{}: running status hides {} on channel 1 from the split; they sound in both copies\n",
                                names.input, counted(in.firstChannelRunning, "note", "notes")));
  }
  for (const auto& [name, copy] : {std::pair{&names.copy13, &found.copy13}, {&names.copy24, &found.copy24}}) {
    if (!copy->firstStrayChange) continue;
    const ByteName& n = *copy->firstStrayChange;
    std::string line = fmt::format("{}: position {}: {} was set to {}", *name, position(n), describeByte(n),
                                   copy->firstStrayChangeTo);
    if (midi::structural(n.role)) line += "; the rest of the track now reads differently";
    if (copy->strayChanges > 1)
      line += fmt::format(" ({} more changed {} no velocity of a note on channel 1)", copy->strayChanges - 1,
                          copy->strayChanges == 2 ? "byte is" : "bytes are");
    lines.push_back(line + "\n");
  }
  if (in.packets != in.bends[0]) {
    std::string line = fmt::format("{}: the split found {}, but the file has {} on channel 1", names.input,
                                   counted(in.packets, "packet", "packets"),
                                   counted(in.bends[0], "pitch bend", "pitch bends"));
    if (in.firstStrayBend) {
      line += fmt::format("; the first stray 0xE0 is at position {}: {}", position(*in.firstStrayBend),
                          describeByte(*in.firstStrayBend));
    } else if (in.firstUnseenBend) {
      const ByteName& n = *in.firstUnseenBend;
      line += fmt::format("; the first one it misses is at position {}: {}", position(n), channelMessage(n, false));
      line += n.running ? ", which has no status byte of its own"
                        : fmt::format(", before position {} where the split starts", kFirstScanPosition);
    }
    lines.push_back(line + "\n");
  }
  if (in.ruleByteAfterTracks) {
    const std::uint8_t b = in.ruleByteAfterTracksValue;
    lines.push_back(fmt::format("{}: position {}: bytes after the last track chunk took part in the split: it took "
                                "the byte 0x{:02X} there for {}\n",
                                names.input, position(*in.ruleByteAfterTracks), b, ruleByteMeaning(b)));
  }
  return lines;
}

}  // namespace ezg::cli
