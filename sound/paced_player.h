// The player both systems share: the pacing runs on a thread of its own
// over an output that the system's source opens for each piece.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "sound/pacer.h"
#include "sound/player.h"

namespace ezg::sound {

// Opens the output a piece is sent to; closing it is its destructor's.
using OutputOpener = std::function<SoundStatus(std::unique_ptr<MessageOutput>& out)>;

class PacedPlayer final : public Player {
 public:
  explicit PacedPlayer(OutputOpener open) : open_(std::move(open)) {}
  ~PacedPlayer() override { stop(); }
  PacedPlayer(const PacedPlayer&) = delete;
  PacedPlayer& operator=(const PacedPlayer&) = delete;

  [[nodiscard]] SoundStatus play(std::span<const std::uint8_t> file) override;
  void stop() override;
  bool waitForEnd(std::chrono::milliseconds limit) override;

 private:
  OutputOpener open_;
  std::recursive_mutex control_;  // play() and stop(), which a run's ending may call from its own thread
  Timeline timeline_;
  std::unique_ptr<MessageOutput> out_;
  std::unique_ptr<StopSignal> stop_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool playing_ = false;
};

}  // namespace ezg::sound
