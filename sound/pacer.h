// Sends a timeline's messages at their moments, from the thread that calls
// it, to an output and by a clock that are handed in: the live players use
// the system's, tests a recording output and a clock of their own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "sound/timeline.h"

namespace ezg::sound {

// Where the messages go: a synthesizer, the system's MIDI output, a test.
class MessageOutput {
 public:
  virtual ~MessageOutput() = default;
  virtual void send(const TimedMessage& message) = 0;
  // Every channel quiet at once, notes and their release alike.
  virtual void silence() = 0;
};

// A stop that a waiting player wakes up for at once.
class StopSignal {
 public:
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }
  bool stopped() {
    std::lock_guard lock(mutex_);
    return stopped_;
  }
  // Waits until `deadline` or a stop; true when stopped.
  bool waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return stopped_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
};

// The time a player keeps: nanoseconds from when it began, and a wait for a
// later moment that a stop cuts short.
class PaceClock {
 public:
  virtual ~PaceClock() = default;
  virtual std::int64_t now() = 0;
  // True when stopped before `at`.
  virtual bool waitUntil(std::int64_t at, StopSignal& stop) = 0;
};

// The steady clock, from its construction.
class SteadyPaceClock final : public PaceClock {
 public:
  std::int64_t now() override;
  bool waitUntil(std::int64_t at, StopSignal& stop) override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Sends every message at its moment and returns after the last one, or
// as soon as a stop comes, with the output silenced. False when stopped.
bool playInTime(const Timeline& timeline, MessageOutput& out, PaceClock& clock, StopSignal& stop);

}  // namespace ezg::sound
