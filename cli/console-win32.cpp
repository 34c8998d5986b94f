#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/console.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

// What Windows itself gives a program ended by Ctrl+C.
constexpr UINT kEndedByControlC = 0xC000013A;

std::atomic<void (*)()> gSilence{nullptr};

// Runs on a thread of its own: a replacement under way finishes first,
// then the temporaries go and the run ends at once, without waiting for
// the jobs.
BOOL WINAPI endOnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (auto silence = gSilence.load()) silence();
      stopWritingAndRemoveTemporaries();
      ::TerminateProcess(::GetCurrentProcess(), kEndedByControlC);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

// The C library's argv is in the console's code page; the wide command
// line always holds the names as typed.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> words;
  words.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) words.push_back(utf8Of(std::wstring_view(wide[i])));
  ::LocalFree(wide);
  return words;
}

// Standard output and error carry the same bytes as on Linux: lines end
// in LF alone, which the console shows as line ends, and text is UTF-8.
void takeEndingEvents() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCtrlHandler(endOnControl, TRUE);
}

int endingStatus(int status) { return status; }

void silenceWhenEnding(void (*silence)()) { gSilence.store(silence); }

// The display moves the cursor with escape sequences, which a console
// takes only once asked to.
bool progressCanShow() {
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!::_isatty(::_fileno(stderr)) || !::GetConsoleMode(err, &mode)) return false;
  return ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void endLikeBrokenPipe() {
  // Whatever was being replaced is complete: the jobs have ended. Windows
  // has no signal for it; the run ends quietly, as a failure.
  std::fflush(stderr);
  std::_Exit(kExitFailure);
}

}  // namespace ezg::cli
