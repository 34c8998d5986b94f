// What ezgitar-cli split tells about the copies it wrote: the line that
// says what they hold, and the warnings when the byte rule did not do what
// a musician wants from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/events.h"
#include "files/read_file.h"
#include "files/sink.h"
#include "splitter/copy_check.h"
#include "splitter/event_split.h"

namespace ezg::cli {

// Reads `in` once more, as events, and names the changes of both copies.
Status checkCopies(const InputFile& in, const ChangeList& changes13, const ChangeList& changes24, SplitCheck& found);

// The names a split's lines use: the input and the copies as the user sees them.
struct SplitNames {
  std::string input, copy13, copy24;
};

// "song.mid: 482 pitch bends, 964 notes; song_13.mid silences 241 notes, song_24.mid 241\n"
std::string splitSummary(const SplitNames& names, const SplitCheck& found);

// One "FILE: message\n" per warning; none for a file the split suits.
std::vector<std::string> splitWarnings(const SplitNames& names, const SplitCheck& found);

// A byte-rule summary at another tempo: "...; tempo 75 %\n".
std::string withTempo(std::string summary, int tempoPercent);

// "song.mid: 326 notes in 82 bars; song_13.mid sounds bars 1, 3 … 81 (164 notes), song_24.mid bars 2, 4 … 82
// (162 notes); tempo 75 %\n"
std::string eventSplitSummary(const SplitNames& names, const EventSplitFacts& facts, const EventSplitOptions& options);

// Where the input's events stopped making sense, if they did.
std::vector<std::string> eventSplitWarnings(const SplitNames& names, const EventSplitFacts& facts);

// Why nothing was written for a file.
std::string refusalText(EventSplitRefusal why);

// "the velocity of the note-on of key 62 on channel 1 at tick 480"
std::string describeByte(const midi::ByteName& name);

}  // namespace ezg::cli
