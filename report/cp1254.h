// The report is Windows-1254 text; names come from the file system in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ezg {

// Re-encodes UTF-8 as Windows-1254. Characters the code page lacks, and
// bytes that are not valid UTF-8, are kept as they are, so a name never
// loses bytes.
std::string utf8ToWindows1254(std::string_view utf8);

}  // namespace ezg
