// Any bytes through the splitter. The copies have the input's length and
// differ from it only in velocity bytes set to 0, each the third byte of a
// recorded note; packets alternate between the copies; the progress calls
// come for packets 1, 3, 5, ... only; streaming the copies gives the same
// bytes, however the input is cut into reads.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "midi/bytes.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ezg::FileBuffer file(ezg::Bytes(data, data + size));
  std::int64_t expectNext = 1;
  std::vector<ezg::Packet> packets;
  ezg::scanPackets({data, size}, [&](const ezg::Packet& p, bool) { packets.push_back(p); });
  const ezg::Bytes copy13 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy13, [&](std::int64_t i) {
    if (i != expectNext) std::abort();
    expectNext += 2;
    const int row = ezg::stripSourceRow(i);
    if (row < ezg::kStripOpenRow || row > ezg::kStripClosedRow) std::abort();
  });
  const ezg::Bytes copy24 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy24);
  const auto n = static_cast<std::int64_t>(packets.size());
  if (expectNext != 1 + 2 * (n / 2)) std::abort();
  if (copy13.size() != size || copy24.size() != size) std::abort();

  std::set<std::int64_t> velocities13, velocities24;
  for (std::int64_t k = 0; k < n; ++k) {
    const ezg::Packet& p = packets[static_cast<std::size_t>(k)];
    if (data[p.bendOffset] != 0xE0 || p.bendOffset < 30) std::abort();
    if (p.noteOnOffset != 0 && data[p.noteOnOffset] != 0x90) std::abort();
    if (p.noteOffOffset != 0 && data[p.noteOffOffset] != 0x80) std::abort();
    if (k + 1 == n && n % 2 == 1) break;  // an unpaired last packet sounds in both
    auto& silenced = k % 2 == 0 ? velocities24 : velocities13;
    for (std::int64_t status : {p.noteOnOffset, p.noteOffOffset})
      if (status != 0 && status + 2 < static_cast<std::int64_t>(size)) silenced.insert(status + 2);
  }
  for (std::size_t i = 0; i < size; ++i) {
    const auto off = static_cast<std::int64_t>(i);
    if (copy13[i] != (velocities13.count(off) ? 0 : data[i])) std::abort();
    if (copy24[i] != (velocities24.count(off) ? 0 : data[i])) std::abort();
  }
  // The command line's streaming split writes the very same copies, read in
  // pieces of uneven length that the input itself chooses.
  ezg::MemorySink out13, out24;
  for (auto [which, out] : {std::pair{ezg::SplitCopy::Copy13, &out13}, {ezg::SplitCopy::Copy24, &out24}}) {
    std::size_t at = 0;
    const auto streamed = ezg::streamCopy(
        [&](std::span<std::uint8_t> into) -> std::size_t {
          if (at == size) return 0;
          const std::size_t n = std::min({size - at, into.size(), std::size_t{1} + data[at % size] * 3u});
          std::copy_n(data + at, n, into.begin());
          at += n;
          return n;
        },
        which, *out);
    if (streamed != n) std::abort();
  }
  if (out13.data() != ezg::asChars(copy13) || out24.data() != ezg::asChars(copy24)) std::abort();
  return 0;
}
