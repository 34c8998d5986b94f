#include "report/block_writer.h"

#include <string_view>
#include <system_error>
#include <utility>

namespace ezg {

BlockWriter::BlockWriter(ByteSink& sink) : sink_(sink) {
  for (auto& b : blocks_) b = std::make_unique<char[]>(kBlockSize);
  try {
    thread_ = std::thread([this] { writeBlocks(); });
  } catch (const std::system_error&) {
    // No thread to spare: each block is written as it is handed over.
  }
}

BlockWriter::~BlockWriter() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

char* BlockWriter::handOver(std::size_t used) {
  if (!thread_.joinable()) {
    sink_.write(std::string_view(blocks_[filling_].get(), used));
    return blocks_[filling_].get();
  }
  std::unique_lock lock(mutex_);
  used_[filling_] = used;
  ++queued_;
  filling_ = (filling_ + 1) % kBlocks;
  changed_.notify_all();
  // The next block is free once fewer than all are waiting to be written.
  changed_.wait(lock, [this] { return queued_ < kBlocks; });
  return blocks_[filling_].get();
}

void BlockWriter::drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queued_ == 0; });
  if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
}

void BlockWriter::writeBlocks() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return queued_ > 0 || stopping_; });
    if (queued_ == 0) return;
    const std::size_t i = oldest_;
    lock.unlock();
    try {
      // After a failure the rest is dropped: the output is not kept anyway.
      if (!failed_) sink_.write(std::string_view(blocks_[i].get(), used_[i]));
    } catch (...) {
      failed_ = std::current_exception();
    }
    lock.lock();
    oldest_ = (oldest_ + 1) % kBlocks;
    --queued_;
    changed_.notify_all();
  }
}

}  // namespace ezg
