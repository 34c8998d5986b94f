// A failure in the command line's words: English by code, plus the detail.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "midi/failure.h"

namespace ezg::cli {

// "not a plain file", "too large for memory", ...; only FailureCode::Other
// adds the system's name for its error number.
std::string describe(const Failure& failure);

// For the programs the build and the tests run to make files: writes `bytes`
// to `path` safely, or says "<program>: <path>: cannot write: <why>" on
// standard error and returns false.
[[nodiscard]] bool writeOrSay(const char* program, const std::filesystem::path& path, std::string_view bytes);

}  // namespace ezg::cli
