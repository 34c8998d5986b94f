// The window's state after a successful Start.
#pragma once

#include <cstdint>
#include <string>

#include "midi/bytes.h"

namespace ezg {

// What a successful Start leaves behind; replaced as a whole by the next one.
struct LoadedFile {
  FileBuffer buffer;
  std::string baseName;         // the selected list entry
  std::string currentFileName;  // "<base>.mid", later "<base>.txt" after a report
  std::int64_t fileLength = 0;  // the size the file system reported

  bool loaded() const { return fileLength > 0; }
};

}  // namespace ezg
