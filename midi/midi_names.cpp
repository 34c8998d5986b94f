#include "midi/midi_names.h"

#include <algorithm>

namespace ezg {

bool isMidiFileName(std::string_view name) {
  return name.ends_with(".mid");
}

std::string listEntryFor(std::string_view fileName) {
  if (fileName.size() <= 4) return {};
  return std::string(fileName.substr(0, fileName.size() - 4));
}

std::vector<std::string> sortedMidiNames(std::vector<std::string> names) {
  std::erase_if(names, [](const std::string& n) { return !isMidiFileName(n); });
  // std::string compares by char; compare as unsigned bytes so that UTF-8
  // names (Turkish letters) sort after ASCII, in plain byte order.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
  });
  return names;
}

}  // namespace ezg
