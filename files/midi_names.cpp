#include "files/midi_names.h"

#include <algorithm>

#include "files/folder.h"

namespace ezg {

bool isMidiFileName(std::string_view name) {
  constexpr std::string_view kExtension = ".mid";
  if (name.size() < kExtension.size()) return false;
  const std::string_view tail = name.substr(name.size() - kExtension.size());
  if (!kNamesIgnoreCase) return tail == kExtension;
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b; });
}

std::string baseNameOf(std::string_view fileName) {
  if (!isMidiFileName(fileName)) return std::string(fileName);
  return std::string(fileName.substr(0, fileName.size() - 4));
}

std::vector<std::string> sortedMidiNames(std::vector<std::string> names) {
  std::erase_if(names, [](const std::string& n) { return !isMidiFileName(n); });
  // std::string compares by char; compare as unsigned bytes so that UTF-8
  // names (Turkish letters) sort after ASCII, in plain byte order.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
  });
  return names;
}

}  // namespace ezg
