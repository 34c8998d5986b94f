#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <system_error>
#include <thread>

#include "cli/commands.h"
#include "cli/console.h"
#include "files/safe_write.h"

namespace {

// An interrupted run ends as the signal would have ended it, so the caller
// sees the signal.
[[noreturn]] void endAs(int sig) {
  ::signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

extern "C" void endOnSignal(int sig) {
  ezg::removeTemporariesOnSignal();
  endAs(sig);
}

// The ending signals go to one thread that waits for them, so none lands
// in the middle of a pair being replaced on another thread; that thread
// lets the replacement finish, removes the temporaries and ends the run.
// Blocked, a file size limit or a closed pipe is a failed write with a
// message instead of a silent end. Without a thread to spare, a handler
// does the same in the one thread there is.
std::atomic<int> gEndingSignal{0};
std::atomic<void (*)()> gSilence{nullptr};

sigset_t endingSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : ezg::kEndingSignals) sigaddset(&set, sig);
  return set;
}

}  // namespace

namespace ezg::cli {

std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool progressCanShow() { return ::isatty(STDERR_FILENO) != 0; }

void takeEndingEvents() {
  const sigset_t set = endingSet();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  try {
    std::thread([set] {
      int sig = 0;
      while (::sigwait(&set, &sig) != 0) {}
      gEndingSignal.store(sig);
      if (auto silence = gSilence.load()) silence();
      ezg::stopWritingAndRemoveTemporaries();
      endAs(sig);
    }).detach();
    return;
  } catch (const std::system_error&) {}
  struct sigaction action {};
  action.sa_handler = endOnSignal;
  action.sa_mask = set;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// Only the waiting thread runs it: a signal handler could not.
void silenceWhenEnding(void (*silence)()) { gSilence.store(silence); }

void endLikeBrokenPipe() {
  // Whatever was being replaced is complete: the jobs have ended.
  endAs(SIGPIPE);
}

// A signal the system raised for a failed write (a file size limit) was
// told as a failure already.
int endingStatus(int status) {
  if (const int sig = gEndingSignal.load()) endAs(sig);
  const sigset_t set = endingSet();
  siginfo_t info{};
  const timespec now{};
  if (::sigtimedwait(&set, &info, &now) > 0 && info.si_code <= 0 && info.si_pid != ::getpid()) endAs(info.si_signo);
  return status;
}

}  // namespace ezg::cli
