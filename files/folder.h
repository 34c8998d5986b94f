// Folders and the clock, beside the files: one interface, a source per
// system (folder-posix.cpp, folder-win32.cpp). Names are UTF-8.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "files/failure.h"

namespace ezg {

// Where the names of the file system ignore case (Windows), "SONG.MID" is
// the same file as "SONG.mid".
#ifdef _WIN32
inline constexpr bool kNamesIgnoreCase = true;
#else
inline constexpr bool kNamesIgnoreCase = false;
#endif

// The names of the plain files in `folder`, unsorted: links are followed,
// folders, devices and FIFOs left out, and on Windows system files too.
// Files Windows marks hidden are left out with Hidden::Left; POSIX has no
// such mark (a name that starts with '.' is listed like any other). A name
// that is no folder fails without waiting on anything.
enum class Hidden { Listed, Left };
[[nodiscard]] Status listPlainFiles(const std::string& folder, std::vector<std::string>& names,
                                    Hidden hidden = Hidden::Listed);

// Where `name` leads through links, absolute, as the system names it; a
// name of no file yet is its real folder's and its own leaf.
std::filesystem::path followedName(const std::filesystem::path& name);

// A key two names of one file share: their followed names, in one case
// where names ignore it.
std::filesystem::path sameFileKey(const std::filesystem::path& name);

// The same for the name itself: its folder followed, its own leaf not, so
// that a link and the file it leads to have keys of their own.
std::filesystem::path sameNameKey(const std::filesystem::path& name);

// Whether `folder` can be opened as a folder: Missing when nothing is there.
[[nodiscard]] Status checkFolder(const std::string& folder);

// The folder of the running program, or "" when the system does not say.
std::string executableFolder();

// The local time now, to the second.
std::tm localTimeNow();

}  // namespace ezg
