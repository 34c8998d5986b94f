// A failure in the command line's words: English by code, plus the detail.
#pragma once

#include <string>

#include "files/failure.h"

namespace ezg::cli {

// "not a plain file", "too large for memory", ...; only FailureCode::Other
// adds the system's name for its error number.
std::string describe(const Failure& failure);

}  // namespace ezg::cli
