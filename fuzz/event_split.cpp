// Any bytes through the split by note and by bar: where no track had to be
// made whole, each copy is the input with some bytes set to 0, and nothing
// else. The first byte picks the unit and how many make a group.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "splitter/event_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const ezg::EventSplitOptions options{data[0] % 2 ? ezg::SplitUnit::Bar : ezg::SplitUnit::Note, 1 + data[0] / 2 % 3,
                                       0};
  const std::span<const std::uint8_t> in(data + 1, size - 1);
  ezg::EventSplitPlan plan;
  if (planEventSplit(in, options, plan) || plan.facts.continued) return 0;
  for (const ezg::CopyEdits* edits : {&plan.copy13, &plan.copy24}) {
    const ezg::Bytes copy = ezg::writeEventCopy(in, *edits);
    if (copy.size() != in.size()) std::abort();
    for (std::size_t i = 0; i < in.size(); ++i)
      if (copy[i] != in[i] && copy[i] != 0) std::abort();
  }
  return 0;
}
