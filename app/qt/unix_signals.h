// SIGINT, SIGTERM and SIGHUP as close requests of the window. The handler only
// writes a byte to one end of a socket pair; the close itself runs on the
// user-interface thread when the event loop, or a split's pause, reads the
// other end.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace ezg {

class UnixSignals final : public QObject {
 public:
  // Installs the handlers; `onSignal` runs once for all the signals that
  // came since it last ran.
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
