// How a run meets the system around it: the arguments as UTF-8, the
// standard streams, the progress display, and what ends a run early
// (signals on POSIX, Ctrl+C, Ctrl+Break and a closed console on Windows).
// One interface, a source per system: console-posix.cpp, console-win32.cpp.
#pragma once

#include <string>
#include <vector>

namespace ezg::cli {

// The command line as UTF-8 words, the program's name first.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Before anything is written: whatever ends the run early lets a file
// replacement under way finish and removes the temporaries first.
void takeEndingEvents();

// The status to end with. A signal sent while the last pair was replaced
// still ends the run as the signal would, though the work got done.
int endingStatus(int status);

// Whether standard error is a terminal that takes the progress display.
bool progressCanShow();

// Run by whatever ends the run early, before it ends it, so that a sound
// being played stops at once.
void silenceWhenEnding(void (*silence)());

}  // namespace ezg::cli
