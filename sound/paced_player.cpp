#include "sound/paced_player.h"

#include <system_error>

namespace ezg::sound {

SoundStatus PacedPlayer::play(std::span<const std::uint8_t> file) {
  std::lock_guard control(control_);
  stop();
  timeline_ = timelineOf(file);
  if (SoundStatus failed = open_(out_)) {
    out_.reset();
    return failed;
  }
  stop_ = std::make_unique<StopSignal>();
  {
    std::lock_guard lock(mutex_);
    playing_ = true;
  }
  try {
    thread_ = std::thread([this] {
      SteadyPaceClock clock;
      playInTime(timeline_, *out_, clock, *stop_);
      {
        std::lock_guard lock(mutex_);
        playing_ = false;
      }
      ended_.notify_all();
    });
  } catch (const std::system_error&) {
    playing_ = false;
    out_.reset();
    return SoundFailure{SoundTrouble::NoSynthesizer, {}};
  }
  return std::nullopt;
}

void PacedPlayer::stop() {
  std::lock_guard control(control_);
  if (thread_.joinable()) {
    stop_->stop();
    thread_.join();
  }
  // Also after the piece's end, while its last notes ring out.
  if (out_) out_->silence();
  out_.reset();
}

bool PacedPlayer::waitForEnd(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, limit, [this] { return !playing_; });
}

}  // namespace ezg::sound
