// Reading a whole input file safely: opened without blocking, checked to be
// a plain file once open, read into memory, and refused when it changed
// while it was read or cannot be held.
#pragma once

#include <filesystem>

#include "midi/bytes.h"
#include "midi/failure.h"

namespace ezg {

// Reads a plain file whole into `bytes` (a link is followed). A FIFO, socket,
// device or folder is refused at once, without waiting on it. `bytes` is
// left as it was on failure.
Status readWholeFile(const std::filesystem::path& path, Bytes& bytes);

}  // namespace ezg
