// SIGINT, SIGTERM and SIGHUP as close requests of the window. The handler only
// writes a byte to a pipe; the close itself runs on the user-interface
// thread when the event loop, or a split's pause, reads that byte.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace ezg {

class UnixSignals final : public QObject {
 public:
  // Installs the handlers; `onSignal` runs once per signal received.
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
