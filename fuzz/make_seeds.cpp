// Writes a small seed corpus for one fuzz target, built in code.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/safe_write.h"
#include "fixtures/midi_builder.h"

namespace {

using ezg::Bytes;

std::vector<Bytes> midiSeeds() {
  namespace b = ezg::build;
  std::vector<Bytes> seeds;
  seeds.push_back(b::makeMidi(b::makamMelody(6, 1)));
  seeds.push_back(b::makeMidi(b::makamMelody(1, 2)));
  seeds.push_back(b::makeMidi({}));
  Bytes longDelta = b::makeMidi({b::Note{60, 64, 0x2000, 0x0FFFFFFF, 0x1FFFFF}});
  seeds.push_back(longDelta);
  Bytes sysex = b::wrapTrack({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xFF, 0x01, 0x03, 0x90, 0xF8,
                              0x41, 0x00, 0xE0, 0x00, 0x40, 0x00, 0x91, 0x3C, 0x0D, 0x00, 0xFF, 0x2F, 0x00});
  seeds.push_back(sysex);
  seeds.push_back(Bytes(seeds[0].begin(), seeds[0].begin() + 22));
  seeds.push_back(Bytes(seeds[0].begin(), seeds[0].end() - 2));  // ends inside a note
  // For the splitter, 0xF7 n is 256 (n + 1) zeros: packets past 64 KiB.
  Bytes stretched = seeds[0];
  stretched.insert(stretched.begin() + 36, {0xF7, 0x40});
  stretched.insert(stretched.begin() + 70, {0xF7, 0xFF, 0xF7, 0x3F});
  seeds.push_back(stretched);
  return seeds;
}

std::vector<Bytes> runLogSeeds() {
  std::vector<Bytes> seeds;
  for (std::size_t len : {0, 10, 20, 25, 35, 50, 70}) {
    Bytes s(len);
    for (std::size_t i = 0; i < len; ++i) s[i] = static_cast<std::uint8_t>(i * 37 + 11);
    seeds.push_back(s);
  }
  return seeds;
}

std::vector<Bytes> stripSeeds() {
  std::vector<Bytes> seeds;
  for (std::int64_t i : {1LL, 11LL, 1021LL, 1023LL, 1029LL, -1LL, 0LL, 1LL << 40}) {
    Bytes s(8);
    for (int k = 0; k < 8; ++k)
      s[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(i) >> (8 * k));
    seeds.push_back(s);
  }
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds TARGET FOLDER\n");
    return 2;
  }
  const std::string target = argv[1];
  const std::filesystem::path dir = argv[2];
  std::filesystem::create_directories(dir);
  auto seeds = target == "runlog" ? runLogSeeds() : target == "strip" ? stripSeeds() : midiSeeds();
  // The split by unit reads its options from a first byte: each unit, group
  // and tempo in turn.
  if (target == "event_split")
    for (std::size_t i = 0; i < seeds.size(); ++i)
      seeds[i].insert(seeds[i].begin(), static_cast<std::uint8_t>(i * 7 % 24));
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    if (!ezg::writeOrSay("make_fuzz_seeds", dir / ("seed-" + std::to_string(i)), ezg::asChars(seeds[i]))) return 1;
  }
  return 0;
}
