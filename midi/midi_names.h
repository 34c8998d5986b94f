// Which folder names are MIDI files, and how they show in the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ezg {

inline constexpr std::string_view kMidiPattern = "*.mid";

// "*.mid" with an exact, case-sensitive extension. The bare name ".mid"
// matches too (it lists as an empty entry).
bool isMidiFileName(std::string_view name);

// A list entry is the file name less its last four characters.
std::string listEntryFor(std::string_view fileName);

// Keeps the MIDI names and sorts them in byte order, as the list shows them.
std::vector<std::string> sortedMidiNames(std::vector<std::string> names);

}  // namespace ezg
