// Reading a whole input file, with a plain-words reason when it cannot be.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "midi/bytes.h"

namespace ezg {

struct ReadResult {
  std::optional<Bytes> bytes;  // empty optional: could not read
  std::string error;           // why, in plain words
};

// Reads a regular file whole. A folder, a missing file or a read error gives
// no bytes and a reason.
ReadResult readWholeFile(const std::filesystem::path& path);

}  // namespace ezg
