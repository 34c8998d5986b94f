#include "app/qt/unix_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace ezg {
namespace {

// A socket pair: [0] is written by the handler, [1] read by the notifier.
std::array<int, 2> signalSockets{-1, -1};
constexpr std::array<int, 5> kCloseSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

extern "C" void onCloseSignal(int sig, siginfo_t* info, void*) {
  // The system raises these in the process for its own failed write.
  if ((sig == SIGPIPE || sig == SIGXFSZ) && info->si_code <= 0 && info->si_pid == ::getpid()) return;
  const int saved = errno;
  const char byte = 1;
  // Async-signal-safe; a full socket already holds a pending request.
  [[maybe_unused]] const ssize_t n = ::write(signalSockets[0], &byte, 1);
  errno = saved;
}

}  // namespace

void holdCloseSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets.data()) != 0) return;
  struct sigaction action {};
  action.sa_sigaction = onCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_SIGINFO;
  for (int sig : kCloseSignals) ::sigaction(sig, &action, nullptr);
}

UnixSignals::UnixSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (signalSockets[1] < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(signalSockets[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { drain(); });
}

UnixSignals::~UnixSignals() {
  for (int sig : kCloseSignals) ::signal(sig, SIG_DFL);
  notifier_.reset();
  for (int& fd : signalSockets) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void UnixSignals::drain() {
  // However many signals came, one close request answers them all.
  std::array<char, 64> bytes{};
  bool any = false;
  while (::read(signalSockets[1], bytes.data(), bytes.size()) > 0) any = true;
  if (any) onSignal_();
}

}  // namespace ezg
