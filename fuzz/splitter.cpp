// Any bytes through the splitter, held against the byte-by-byte rule: from
// offset 30 on, each 0xE0 opens a packet and the last 0x90 and 0x80 after it
// are its notes; in each pair copy 24 silences the first packet's velocities
// and copy 13 the second's; an unpaired last packet sounds in both. The
// progress calls come for packets 1, 3, 5, ... only, and streaming each copy
// gives the same bytes however the input is cut into reads. A byte 0xF7
// followed by n stands for 256 (n + 1) zeros, so packets run past the
// stream's 64 KiB read block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "midi/bytes.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"

namespace {

ezg::Bytes stretched(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kMost = std::size_t{320} << 10;
  ezg::Bytes out;
  for (std::size_t i = 0; i < size && out.size() < kMost; ++i) {
    if (data[i] == 0xF7 && i + 1 < size)
      out.resize(out.size() + (data[++i] + 1u) * 256u, 0x00);
    else
      out.push_back(data[i]);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* raw, std::size_t rawSize) {
  const ezg::Bytes in = stretched(raw, rawSize);
  const std::size_t size = in.size();
  const auto end = static_cast<std::int64_t>(size);

  std::vector<ezg::Packet> want;
  for (std::int64_t at = 30; at < end; ++at) {
    const std::uint8_t b = in[static_cast<std::size_t>(at)];
    if (b == 0xE0) want.push_back({at, 0, 0});
    if (want.empty()) continue;
    if (b == 0x90) want.back().noteOnOffset = at;
    if (b == 0x80) want.back().noteOffOffset = at;
  }
  std::vector<ezg::Packet> got;
  ezg::scanPackets(in, [&](const ezg::Packet& p, bool) { got.push_back(p); });
  if (got != want) std::abort();

  // The copy each velocity is silenced in: bit 1 for 13, bit 2 for 24.
  std::vector<std::uint8_t> silenced(size, 0);
  const std::size_t paired = want.size() / 2 * 2;
  for (std::size_t k = 0; k < paired; ++k)
    for (std::int64_t status : {want[k].noteOnOffset, want[k].noteOffOffset})
      if (status != 0 && status + 2 < end) silenced[static_cast<std::size_t>(status + 2)] |= k % 2 == 0 ? 2 : 1;

  const ezg::FileBuffer file(in);
  std::int64_t expectNext = 1;
  const ezg::Bytes copy13 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy13, [&](std::int64_t i) {
    if (i != expectNext) std::abort();
    expectNext += 2;
    const int row = ezg::stripSourceRow(i);
    if (row < ezg::kStripOpenRow || row > ezg::kStripClosedRow) std::abort();
  });
  const ezg::Bytes copy24 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy24);
  if (expectNext != 1 + static_cast<std::int64_t>(paired)) std::abort();
  if (copy13.size() != size || copy24.size() != size) std::abort();
  for (std::size_t i = 0; i < size; ++i) {
    if (copy13[i] != ((silenced[i] & 1) ? 0 : in[i])) std::abort();
    if (copy24[i] != ((silenced[i] & 2) ? 0 : in[i])) std::abort();
  }

  // The command line's streaming split writes the very same copies, read in
  // pieces of uneven length that the input itself chooses.
  for (const auto& [which, copy] : {std::pair{ezg::SplitCopy::Copy13, &copy13}, {ezg::SplitCopy::Copy24, &copy24}}) {
    ezg::MemorySink out;
    std::size_t at = 0;
    const auto streamed = ezg::streamCopy(
        [&](std::span<std::uint8_t> into) -> std::size_t {
          if (at == size) return 0;
          const std::size_t n = std::min({size - at, into.size(), std::size_t{1} + (in[at] * 7919u + at) % 70'000});
          std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
          at += n;
          return n;
        },
        which, out);
    if (streamed != static_cast<std::int64_t>(want.size()) || out.data() != ezg::asChars(*copy)) std::abort();
  }
  return 0;
}
