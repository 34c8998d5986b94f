// The window's state after a successful Start.
#pragma once

#include <string>

#include "midi/bytes.h"

namespace ezg {

// What a successful Start leaves behind; replaced as a whole by the next one.
struct LoadedFile {
  FileBuffer buffer;
  std::string baseName;         // the selected list entry
  std::string currentFileName;  // "<base>.mid", later "<base>.txt" after a report

  // Start refuses an empty file, so only a loaded one has bytes.
  bool loaded() const { return !buffer.empty(); }
};

}  // namespace ezg
