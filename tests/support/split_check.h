// A split's copies held against their input in memory, for tests, fuzzing
// and benchmarks: each copy's changed bytes found by comparing, where the
// command line lists them as it writes the copies.
#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "splitter/copy_check.h"

namespace ezg::testing {

inline void listChanges(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy, ChangeList& changes) {
  const std::size_t n = std::min(input.size(), copy.size());
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a makam copy differs in about one byte of
  // twenty-five, so most blocks of sixteen are equal.
  for (; i + 16 <= n; i += 16) {
    __m128i a, b;
    std::memcpy(&a, input.data() + i, sizeof a);
    std::memcpy(&b, copy.data() + i, sizeof b);
    auto differ = static_cast<unsigned>(~_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) & 0xFFFF);
    for (; differ != 0; differ &= differ - 1) {
      const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(differ));
      changes.record(static_cast<std::int64_t>(k), copy[k]);
    }
  }
#endif
  for (; i < n; ++i)
    if (input[i] != copy[i]) changes.record(static_cast<std::int64_t>(i), copy[i]);
}

// Both copies against the input, read in the blocks the command line reads,
// so the check sees what it sees.
inline SplitCheck checkSplit(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy13,
                             std::span<const std::uint8_t> copy24) {
  ChangeList changes13, changes24;
  listChanges(input, copy13, changes13);
  listChanges(input, copy24, changes24);
  SplitChecker checker(changes13, changes24);
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  for (std::size_t at = 0; at < input.size(); at += kBlock)
    checker.feed(input.subspan(at, std::min(kBlock, input.size() - at)));
  return checker.finish();
}

}  // namespace ezg::testing
