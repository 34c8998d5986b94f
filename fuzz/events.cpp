// Any bytes through the event reading: it never crashes, its events follow
// each other without gap or overlap from the first byte to the last, so each
// byte belongs to exactly one, and each byte is named the same however the
// input is cut into pieces. The copy check that reads the split's copies
// this way counts the packets the byte rule counts and every changed byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "midi/events.h"
#include "tests/support/split_check.h"
#include "splitter/note_splitter.h"

namespace {

using ezg::midi::ByteName;

struct Names {
  const std::uint8_t* data;
  std::size_t size;
  std::int64_t next = 0;
  std::vector<ByteName> names;

  void event(const ezg::midi::Event& e) {
    if (e.offset != next || e.length == 0 || e.end() > static_cast<std::int64_t>(size)) std::abort();
    if (!std::equal(e.bytes, e.bytes + e.length, data + e.offset)) std::abort();
    for (std::int64_t at = e.offset; at < e.end(); ++at) {
      names.push_back(ezg::midi::nameByte(e, at));
      if (names.back().offset != at) std::abort();
    }
    next = e.end();
  }
  void trouble(const ezg::midi::TroubleAt& t) {
    if (t.offset < 0 || t.offset > static_cast<std::int64_t>(size)) std::abort();
  }
};

// The names of every byte, the input fed in pieces of the lengths `cut` gives.
template <class Cut>
std::vector<ByteName> nameAll(const std::uint8_t* data, std::size_t size, Cut cut) {
  Names sink{data, size, 0, {}};
  ezg::midi::EventReader<Names> reader(sink);
  for (std::size_t at = 0; at < size;) {
    const std::size_t n = std::min(size - at, cut(at));
    reader.feed({data + at, n});
    at += n;
  }
  reader.finish();
  if (sink.next != static_cast<std::int64_t>(size) || sink.names.size() != size) std::abort();
  return std::move(sink.names);
}

std::int64_t differing(const ezg::Bytes& a, const std::uint8_t* b) {
  std::int64_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto whole = nameAll(data, size, [size](std::size_t) { return size; });
  const auto pieces = nameAll(data, size, [&](std::size_t at) { return std::size_t{1} + data[at] % 23u; });
  if (whole != pieces) std::abort();

  const ezg::FileBuffer file(ezg::Bytes(data, data + size));
  const ezg::Bytes copy13 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy13);
  const ezg::Bytes copy24 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy24);
  const ezg::SplitCheck found = ezg::testing::checkSplit(file.span(), copy13, copy24);
  if (found.input.packets != ezg::scanPackets(file.span(), [](const ezg::Packet&, bool) {})) std::abort();
  if (found.copy13.changedBytes != differing(copy13, data)) std::abort();
  if (found.copy24.changedBytes != differing(copy24, data)) std::abort();
  for (const ezg::CopyFacts* copy : {&found.copy13, &found.copy24})
    if (copy->silencedNotes > copy->changedBytes || copy->strayChanges > copy->changedBytes) std::abort();
  return 0;
}
