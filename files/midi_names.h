// Which folder names are MIDI files, and how they show in the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ezg {

inline constexpr std::string_view kMidiPattern = "*.mid";

// "*.mid": the extension exact where the file system respects case, in any
// case where it ignores it (SONG.MID is then the file SONG.mid). The bare
// name ".mid" matches too (it lists as an empty entry).
bool isMidiFileName(std::string_view name);

// The name less its ".mid", matched as isMidiFileName() does: the list
// entry of a MIDI file, and the base of the outputs made from an input.
// ".mid" alone gives ""; a name without the extension is kept whole.
std::string baseNameOf(std::string_view fileName);

// Keeps the MIDI names and sorts them in byte order, as the list shows them.
std::vector<std::string> sortedMidiNames(std::vector<std::string> names);

}  // namespace ezg
