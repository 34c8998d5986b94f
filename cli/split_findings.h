// What ezgitar-cli split tells about the copies it wrote: the line that
// says what they hold, and the warnings when the byte rule did not do what
// a musician wants from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/events.h"
#include "midi/read_file.h"
#include "midi/sink.h"
#include "splitter/copy_check.h"

namespace ezg::cli {

// A copy on its way to `out`, held against the input it was made from:
// each written block is compared with the same bytes read again from `in`.
class CheckedCopy final : public ByteSink {
 public:
  CheckedCopy(ByteSink& out, const InputFile& in, CopyCheck& check);
  void write(std::string_view bytes) override;

 private:
  ByteSink& out_;
  const InputFile& in_;
  CopyCheck& check_;
  std::vector<std::uint8_t> input_;
  std::uint64_t at_ = 0;
  bool readable_ = true;
};

// The names a split's lines use: the input and the copies as the user sees them.
struct SplitNames {
  std::string input, copy13, copy24;
};

// "song.mid: 482 pitch bends, 964 notes; song_13.mid silences 241 notes, song_24.mid 241\n"
std::string splitSummary(const SplitNames& names, const SplitCheck& found);

// One "FILE: message\n" per warning; none for a file the split suits.
std::vector<std::string> splitWarnings(const SplitNames& names, const SplitCheck& found);

// "the velocity of the note-on of key 62 on channel 1 at tick 480"
std::string describeByte(const midi::ByteName& name);

}  // namespace ezg::cli
