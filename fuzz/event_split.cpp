// Any bytes through the split by note and by bar, at the file's tempo or
// another: where no track had to be made whole and the tempo stays, each
// copy is the input with some bytes set to 0, and nothing else. The first
// byte picks the unit, how many make a group and the tempo.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "splitter/event_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr int kTempos[] = {0, 50, 133, 400};
  const int tempo = kTempos[data[0] / 6 % 4];
  const ezg::EventSplitOptions options{data[0] % 2 ? ezg::SplitUnit::Bar : ezg::SplitUnit::Note, 1 + data[0] / 2 % 3,
                                       tempo};
  const std::span<const std::uint8_t> in(data + 1, size - 1);
  ezg::EventSplitPlan plan;
  if (planEventSplit(in, options, plan)) return 0;
  for (const ezg::CopyEdits* edits : {&plan.copy13, &plan.copy24}) {
    const ezg::Bytes copy = ezg::writeEventCopy(in, *edits);
    if (tempo != 0 || plan.facts.continued) continue;  // tempos and a track made whole change more
    if (copy.size() != in.size()) std::abort();
    for (std::size_t i = 0; i < in.size(); ++i)
      if (copy[i] != in[i] && copy[i] != 0) std::abort();
  }
  // The byte rule at another tempo edits the same way.
  ezg::CopyEdits edits;
  ezg::EventSplitFacts facts;
  if (tempo != 0 && !ezg::planTempoOnly(in, tempo, edits, facts)) (void)ezg::writeEventCopy(in, edits);
  return 0;
}
