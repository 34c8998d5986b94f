// Listening: a double click on the list plays the entry's file; a click on
// the list, Start or closing the window stops it.
#include "app/form1.h"
#include "app/messages.h"

namespace ezg {

void Form1::List_MID_DblClick() {
  const int index = view_.selectedIndex();
  if (index < 0 || static_cast<std::size_t>(index) >= listEntries_.size()) return;
  const std::string& entry = listEntries_[static_cast<std::size_t>(index)];
  // The entry of a file named ".mid" stands for no file, as for Start.
  if (entry.empty()) return;
  const std::string fileName = entry + ".mid";
  Bytes bytes;
  if (Status failed = platform_.readFile(fileName, bytes)) {
    tell(cannotReadMessage(fileName, *failed));
    return;
  }
  if (sound::SoundStatus failed = platform_.player().play(bytes)) tell(cannotPlayMessage(fileName, *failed));
}

void Form1::stopPlaying() { platform_.player().stop(); }

}  // namespace ezg
