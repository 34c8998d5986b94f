// The test run: the report's walk with nothing written, only the warnings
// about delta times too long for the walk.
#pragma once

#include <cstdint>

#include "midi/bytes.h"
#include "walk/walk.h"

namespace ezg {

// Walks `file` exactly as the report does and calls `warn` where the report
// would. Reads nothing but the file and writes nothing. Returns the position
// after the walk.
std::int64_t TestEt(const FileBuffer& file, const TickWarning& warn);

}  // namespace ezg
