// Hands full blocks of text to a sink on a second thread, so that making
// the text and the system's copying of it into the file overlap: a report
// is some 35 bytes of text for every byte of MIDI, and each costs about as
// much to make as to write.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "files/sink.h"

namespace ezg {

class BlockWriter {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 18;

  explicit BlockWriter(ByteSink& sink);
  // Writes what was handed over first.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // The block to fill: kBlockSize bytes.
  char* block() const { return blocks_[filling_].get(); }
  // Hands the first `used` bytes of the block over and returns the next
  // one, once it is free.
  char* handOver(std::size_t used);
  // Returns once everything handed over is in the sink; what the sink threw
  // is thrown here.
  void drain();

 private:
  static constexpr std::size_t kBlocks = 4;

  void writeBlocks();

  ByteSink& sink_;
  std::unique_ptr<char[]> blocks_[kBlocks];
  std::size_t used_[kBlocks] = {};
  std::size_t filling_ = 0;  // the block being filled
  std::size_t oldest_ = 0;   // the first block handed over and not yet written
  std::size_t queued_ = 0;   // blocks handed over and not yet written
  bool stopping_ = false;
  std::exception_ptr failed_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;  // not started where threads cannot be: blocks are written at once
};

}  // namespace ezg
