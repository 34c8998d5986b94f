// A failure in the command line's words, in the user's language: a sentence by
// code, plus the detail.
#pragma once

#include <string>

#include "files/failure.h"

namespace ezg::cli {

// "not a plain file", "too large for memory", ...; only FailureCode::Other
// adds the system's name for its error number and its own words for it:
// "unexpected system error (EIO: Input/output error)".
std::string describe(const Failure& failure);

}  // namespace ezg::cli
