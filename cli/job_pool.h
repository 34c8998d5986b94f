// The jobs of a batch: files run ahead of the one being printed, their
// lines held until it is their file's turn.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/spool.h"

namespace ezg::cli {

// Files run ahead of the one being printed, per job: with two streams each,
// held lines take at most 1 MiB of memory per job.
inline constexpr std::size_t kFilesAheadPerJob = 4;

using RunOne = std::function<void(std::size_t file, FileReport& report)>;

// The jobs that run files ahead of the one being printed, holding their
// lines until it is their file's turn. With fewer than two jobs, or none
// to be had, every file runs on the printing thread.
class JobPool {
 public:
  // With `commitLater`, a file's work may leave its outputs to be put in
  // place by the printing thread.
  JobPool(std::size_t count, std::size_t jobs, bool quiet, bool commitLater, RunOne runOne)
      : count_(count),
        ahead_(kFilesAheadPerJob * jobs),
        quiet_(quiet),
        commitLater_(commitLater),
        runOne_(std::move(runOne)),
        state_(count, State::Running),
        held_(count) {
    if (jobs < 2) return;
    for (std::size_t j = 0; j < jobs; ++j) {
      try {
        pool_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // fewer jobs, then
      }
    }
  }
  JobPool(const JobPool&) = delete;
  JobPool& operator=(const JobPool&) = delete;
  ~JobPool() { stop(); }

  // File i's report once a job has done it, or null when the file is to run
  // on the calling thread: no job took it, or it ran out of open files
  // beside the others. `beforeTurn` runs before a job waiting for its turn
  // prints directly.
  std::unique_ptr<FileReport> collect(std::size_t i, const std::function<void()>& beforeTurn) {
    if (pool_.empty()) return nullptr;
    std::unique_lock lock(mutex_);
    if (alone_ && i >= next_) return nullptr;
    toPrinter_.wait(lock, [&] { return state_[i] != State::Running; });
    if (state_[i] == State::WantsTurn) {
      lock.unlock();
      beforeTurn();
      lock.lock();
      turn_ = i;
      toJobs_.notify_all();
      toPrinter_.wait(lock, [&] { return state_[i] == State::Done || state_[i] == State::RunAgain; });
    }
    if (state_[i] == State::RunAgain) {
      // From here on one file at a time, on this thread, once the jobs at
      // work are done; what the failed run held goes, and its descriptors.
      held_[i].reset();
      alone_ = true;
      toJobs_.notify_all();
      toPrinter_.wait(lock, [&] { return busy_ == 0; });
      return nullptr;
    }
    return std::move(held_[i]);
  }

  // Whether the jobs ran out of open files: from here on every file runs
  // on the calling thread, one at a time.
  bool alone() {
    std::lock_guard lock(mutex_);
    return alone_;
  }

  // Calls `fn` for each file the jobs have done and not handed over, once
  // they are alone and idle.
  void eachDone(const std::function<void(FileReport&)>& fn) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count_; ++i)
      if (state_[i] == State::Done && held_[i]) fn(*held_[i]);
  }

  // Files up to i are printed, or held by the printing thread: the jobs may
  // run further ahead.
  void printed(std::size_t i) {
    {
      std::lock_guard lock(mutex_);
      printed_ = i + 1;
    }
    toJobs_.notify_all();
  }

  // The jobs finish the file they are at and end.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    toJobs_.notify_all();
    pool_.clear();
  }

 private:
  enum class State : char { Running, WantsTurn, Done, RunAgain };

  bool awaitTurn(std::size_t i) {
    std::unique_lock lock(mutex_);
    if (turn_ == i) return true;
    state_[i] = State::WantsTurn;
    --busy_;
    toPrinter_.notify_one();
    toJobs_.wait(lock, [&] { return turn_ == i || ending_; });
    ++busy_;
    return !ending_;
  }

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      toJobs_.wait(lock, [&] { return alone_ || ending_ || next_ >= count_ || next_ < printed_ + ahead_; });
      if (alone_ || ending_ || next_ >= count_) return;
      const std::size_t i = next_++;
      ++busy_;
      lock.unlock();
      held_[i] = std::make_unique<FileReport>(Spool::held(stdout, [this, i] { return awaitTurn(i); }),
                                              Spool::held(stderr, [this, i] { return awaitTurn(i); }), quiet_, true,
                                              commitLater_);
      runOne_(i, *held_[i]);
      lock.lock();
      --busy_;
      state_[i] = held_[i]->runAgain() ? State::RunAgain : State::Done;
      toPrinter_.notify_one();
    }
  }

  const std::size_t count_, ahead_;
  const bool quiet_, commitLater_;
  const RunOne runOne_;
  // Shared by the jobs and the printing thread, under `mutex_`.
  std::mutex mutex_;
  std::condition_variable toPrinter_, toJobs_;
  std::vector<State> state_;
  std::vector<std::unique_ptr<FileReport>> held_;
  std::size_t next_ = 0;            // the next file a job takes
  std::size_t printed_ = 0;         // files printed
  std::size_t turn_ = count_;       // the file whose job may print directly
  std::size_t busy_ = 0;            // jobs working, not waiting for a turn
  bool alone_ = false;              // the jobs take no new file
  bool ending_ = false;             // nothing more is printed
  std::vector<std::jthread> pool_;  // last: the jobs end before what they share
};

}  // namespace ezg::cli
