// The musician's split: the file read as MIDI events and the copies
// silenced by note or by bar, in time order over every track and channel,
// optionally at another tempo. Only velocities, tempo values and, where a
// track must be made whole, a few bytes of its structure change, so no
// copy can read differently from its input, whatever the file.
//
// Two steps: one pass over the events plans both copies (planEventSplit),
// then each copy is the input streamed through its edits (EditedSink).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "midi/bytes.h"
#include "midi/events.h"
#include "files/sink.h"
#include "splitter/note_splitter.h"

namespace ezg {

enum class SplitUnit : std::uint8_t { Note, Bar };

inline constexpr int kSlowestTempoPercent = 10;
inline constexpr int kFastestTempoPercent = 400;

struct EventSplitOptions {
  SplitUnit unit = SplitUnit::Note;
  std::int64_t every = 1;  // units a group: N sounding, then N silent
  int tempoPercent = 0;    // 0: the tempo stays; else kSlowestTempoPercent to kFastestTempoPercent
};

// Why a file cannot be split by its events; nothing is written for it.
enum class EventSplitRefusal : std::uint8_t {
  NotMidi,         // it does not start with a header chunk
  NoBeats,         // bars asked for, but the division is SMPTE frames or 0 ticks a quarter note
  NoRoomForTempo,  // the first track's length has no room for the tempo to be inserted
};

// The bytes that replace [offset, offset + removed) of the input; removed 0
// inserts before the byte at offset.
struct Splice {
  std::int64_t offset = 0;
  std::int64_t removed = 0;
  Bytes with;
};

// One copy as edits of the input: velocities set to 0, and splices. Both
// in increasing order; no velocity lies inside a splice.
struct CopyEdits {
  std::vector<std::int64_t> zeroes;
  std::vector<Splice> splices;
};

// A track whose chunk ends with an end-of-track event and goes on, after
// the file's last chunk, with more of its events up to a second one at the
// end of the file. Players stop at the first; the copies drop it.
struct TrackContinuation {
  std::int32_t track = 0;       // 0-based
  std::int64_t endOfTrack = 0;  // offset of the early end-of-track event
  std::int64_t notes = 0;       // note-ons with a velocity above 0 past the chunk
};

struct EventSplitFacts {
  std::int64_t notes = 0;                       // note-ons with a velocity above 0, every track and channel
  std::int64_t bars = 0;                        // bar splits only: bars from the start to the last event
  std::int64_t units = 0;                       // notes or bars, by the unit asked for
  std::int64_t sounding13 = 0, sounding24 = 0;  // notes each copy leaves sounding
  std::int64_t tempos = 0;                      // set-tempo events scaled
  bool tempoInserted = false;                   // none was there: one was put at the start of the first track
  std::optional<TrackContinuation> continued;
  // Where the events stopped making sense in a track: from there on its
  // bytes are left as they are and its notes sound in both copies.
  std::optional<midi::TroubleAt> firstTrouble;
};

struct EventSplitPlan {
  EventSplitFacts facts;
  CopyEdits copy13, copy24;
};

// One pass over the events of `file` plans both copies. Notes are taken in
// time order: by tick, at the same tick by track, within a track in file
// order. A note-off (a note-on with velocity 0, or a note-off) ends the
// oldest sounding note of its key and channel, on any track; a silenced
// note's real note-off gets release velocity 0 too.
std::optional<EventSplitRefusal> planEventSplit(std::span<const std::uint8_t> file, const EventSplitOptions& options,
                                                EventSplitPlan& plan);

// The tempo edits alone, the same for both copies: for a byte-rule split at
// another tempo. `tempos` and `inserted` say what they do.
std::optional<EventSplitRefusal> planTempoOnly(std::span<const std::uint8_t> file, int tempoPercent, CopyEdits& edits,
                                               EventSplitFacts& facts);

// A set-tempo value (microseconds a quarter note) at `percent` of the
// speed: scaled by 100 / percent, rounded, kept within 24 bits and above 0.
std::uint32_t scaledTempo(std::uint32_t microseconds, int percent);

// Writes the input, fed in order through write(), to `out` with `edits`
// applied; patch() takes input offsets. finish() after the last byte.
class EditedSink final : public ByteSink {
 public:
  EditedSink(const CopyEdits& edits, ByteSink& out) : edits_(edits), out_(out) {}
  void write(std::string_view bytes) override;
  void patch(std::uint64_t offset, std::uint8_t value) override;
  // Splices at or past the end of the input.
  void finish();

 private:
  const CopyEdits& edits_;
  ByteSink& out_;
  std::int64_t at_ = 0;    // input offset of the next byte written
  std::int64_t skip_ = 0;  // input bytes still to drop for the last splice
  std::size_t nextZero_ = 0;
  std::size_t nextSplice_ = 0;
  std::string scratch_;
};

// Both copies of a file held in memory, for tests and benchmarks.
Bytes writeEventCopy(std::span<const std::uint8_t> file, const CopyEdits& edits);

}  // namespace ezg
