// The signals that end a command-line run, as close requests of the window:
// SIGINT, SIGTERM and SIGHUP, and SIGPIPE and SIGXFSZ when another process
// sends them. The system's own SIGPIPE or SIGXFSZ, for a write that broke a
// pipe or passed the file size limit, is no close: that write fails, and
// the window says so. The handler only writes a byte to one end of a socket
// pair; the close itself runs on the user-interface thread when the event
// loop, a message box or a split's pause reads the other end.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace ezg {

// The first thing the program does: from then on a signal waits for the
// window rather than ending the program.
void holdCloseSignals();

class UnixSignals final : public QObject {
 public:
  // Reads what holdCloseSignals() kept; `onSignal` runs once for all the
  // signals that came since it last ran.
  explicit UnixSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~UnixSignals() override;
  UnixSignals(const UnixSignals&) = delete;
  UnixSignals& operator=(const UnixSignals&) = delete;

 private:
  void drain();

  std::function<void()> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ezg
