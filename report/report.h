// The byte-by-byte text report of a loaded MIDI file: the header chunk, the
// track head and the event walk, written line by line to a sink.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "midi/bytes.h"
#include "files/sink.h"
#include "walk/walk.h"

namespace ezg {

// Two characters per pitch class, "C " to "B ".
using NoteNames = std::array<std::string, 12>;

// The names the window's table holds from start-up on; the command line's
// report takes them as they are.
const NoteNames& standardNoteNames();

// "<base>.txt", the report's file name.
std::string reportFileName(std::string_view baseName);

// Writes the report of `file` to `sink`. `reportName` is the report's own
// file name in UTF-8 (its first line, written in Windows-1254); the cents of
// pitch bends use `decimalSeparator`. The report is streamed in blocks and
// never held whole. Returns the position after the walk.
std::int64_t TxtYaz(const FileBuffer& file, std::string_view reportName, const NoteNames& noteNames,
                    char decimalSeparator, ByteSink& sink, const TickWarning& warn);

}  // namespace ezg
