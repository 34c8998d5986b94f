#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <random>

#include "midi/safe_write.h"
#include "splitter/note_splitter.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::TempDir;

// 30 bytes the scan never looks at, then `tail` from position 31 (offset 30).
// The head is non-zero so a stray store at a low offset would show.
Bytes afterHead(std::initializer_list<std::uint8_t> tail) {
  Bytes b(30 + tail.size(), 0x11);
  std::copy(tail.begin(), tail.end(), b.begin() + 30);
  return b;
}

// Offsets where two byte sequences differ.
std::vector<std::size_t> diff(const Bytes& a, const Bytes& b) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) out.push_back(i);
  return out;
}

using Offsets = std::vector<std::size_t>;

// makeMidi lays each default note out in 13 bytes from offset 30:
// E0 lsb msb | 00 90 key vel | 81 70 | 80 key 40 | next delta.
std::size_t noteOnVelocity(std::size_t note) { return 30 + 13 * note + 6; }
std::size_t noteOffVelocity(std::size_t note) { return 30 + 13 * note + 11; }

TEST(Splitter, FourPacketsAreSilencedAlternatelyInExactlyTheirVelocityBytes) {
  const Bytes in = build::makeMidi(std::vector<build::Note>(4));
  const SplitResult r = splitNotes(FileBuffer(in));
  ASSERT_EQ(r.packets.size(), 4u);
  ASSERT_EQ(r.copy13.size(), in.size());
  ASSERT_EQ(r.copy24.size(), in.size());
  EXPECT_EQ(diff(in, r.copy13),
            (Offsets{noteOnVelocity(1), noteOffVelocity(1), noteOnVelocity(3), noteOffVelocity(3)}));
  EXPECT_EQ(diff(in, r.copy24),
            (Offsets{noteOnVelocity(0), noteOffVelocity(0), noteOnVelocity(2), noteOffVelocity(2)}));
  for (std::size_t at : diff(in, r.copy13)) EXPECT_EQ(r.copy13[at], 0);
  for (std::size_t at : diff(in, r.copy24)) EXPECT_EQ(r.copy24[at], 0);
}

TEST(Splitter, VelocityIsTheThirdByteOfTheMessage) {
  // Note-on at position 40 (offset 39): key at 41, velocity at 42.
  Bytes in = afterHead({0xE0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0x90, 60, 100, 0, 0xE0, 0, 0x40});
  ASSERT_EQ(in[39], 0x90);
  const SplitResult r = splitNotes(FileBuffer(in));
  EXPECT_EQ(r.copy24[41], 0);
  EXPECT_EQ(r.copy13[41], 100);
  EXPECT_EQ(r.copy24[40], 60);
  EXPECT_EQ(r.copy13[40], 60);
  EXPECT_EQ(r.packets[0].bendOffset, 30);
  EXPECT_EQ(r.packets[0].noteOnOffset, 39);
  EXPECT_EQ(r.packets[0].noteOffOffset, 0);
}

TEST(Splitter, UnpairedLastPacketSoundsInBothCopies) {
  const Bytes in = build::makeMidi(std::vector<build::Note>(3));
  const SplitResult r = splitNotes(FileBuffer(in));
  ASSERT_EQ(r.packets.size(), 3u);
  EXPECT_EQ(diff(in, r.copy24), (Offsets{noteOnVelocity(0), noteOffVelocity(0)}));
  EXPECT_EQ(diff(in, r.copy13), (Offsets{noteOnVelocity(1), noteOffVelocity(1)}));
}

TEST(Splitter, OnlyTheLastNoteOnAndNoteOffOfAPacketAreSilenced) {
  const Bytes in = afterHead({0xE0, 0, 0x40,                   // packet 1
                              0x90, 60, 90, 0x90, 64, 91,      // two note-ons
                              0x80, 60, 92, 0x80, 64, 93,      // two note-offs
                              0xE0, 0, 0x40});                 // packet 2
  const SplitResult r = splitNotes(FileBuffer(in));
  EXPECT_EQ(diff(in, r.copy24), (Offsets{38, 44}));
  EXPECT_EQ(diff(in, r.copy13), Offsets{});
}

TEST(Splitter, NoteOnWithoutNoteOffChangesOneByteAndTheZeroFieldStoresNothing) {
  // Packet 2 has a note-on only; its empty note-off field must not zero
  // offset 2 (0 + 2) of the copy.
  const Bytes in = afterHead({0xE0, 0, 0x40, 0xE0, 0, 0x40, 0x90, 62, 70, 0x7F});
  const SplitResult r = splitNotes(FileBuffer(in));
  EXPECT_EQ(diff(in, r.copy13), Offsets{38});
  EXPECT_EQ(diff(in, r.copy24), Offsets{});
}

TEST(Splitter, IgnoresNotesBeforePosition31AndBeforeTheFirstPitchBend) {
  Bytes in = afterHead({0x90, 60, 100, 0x80, 60, 64,  // before any pitch bend
                        0xE0, 0, 0x40, 0xE0, 0, 0x40});
  in[10] = 0x90;  // inside the head
  in[12] = 0x55;
  const SplitResult r = splitNotes(FileBuffer(in));
  EXPECT_EQ(r.packets.size(), 2u);
  EXPECT_EQ(r.copy13, in);
  EXPECT_EQ(r.copy24, in);
}

TEST(Splitter, OtherChannelsAreNeverSilenced) {
  const Bytes in = afterHead({0xE0, 0, 0x40, 0x91, 60, 100, 0x81, 60, 64,
                              0xE1, 0, 0x40,  // opens no packet either
                              0x9F, 61, 100, 0xE0, 0, 0x40, 0x92, 62, 100});
  const SplitResult r = splitNotes(FileBuffer(in));
  EXPECT_EQ(r.packets.size(), 2u);
  EXPECT_EQ(r.copy13, in);
  EXPECT_EQ(r.copy24, in);
}

TEST(Splitter, FilesWithFewerThanTwoPacketsAreCopiedUnchanged) {
  int calls = 0;
  const PairDone count = [&](std::int64_t) { ++calls; };
  for (const Bytes& in : {afterHead({0x90, 60, 100, 0x80, 60, 0}),  // no pitch bend
                          build::makeMidi(std::vector<build::Note>(1)), Bytes{}}) {
    const SplitResult r = splitNotes(FileBuffer(in), count);
    EXPECT_LE(r.packets.size(), 1u);
    EXPECT_EQ(r.copy13, in);
    EXPECT_EQ(r.copy24, in);
  }
  EXPECT_EQ(calls, 0);
}

TEST(Splitter, VelocityPastTheEndIsSkipped) {
  for (const Bytes& in : {afterHead({0xE0, 0xE0, 0x90}), afterHead({0xE0, 0xE0, 0x80, 1})}) {
    const SplitResult r = splitNotes(FileBuffer(in));
    EXPECT_EQ(r.copy13, in);
    EXPECT_EQ(r.copy24, in);
  }
}

TEST(Splitter, ReportsTheOddPacketNumberAfterEachPair) {
  std::vector<std::int64_t> seen;
  splitNotes(FileBuffer(build::makeMidi(std::vector<build::Note>(7))),
             [&](std::int64_t i) { seen.push_back(i); });
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 3, 5}));
}

TEST(Splitter, SplitsFilesFarBeyondSixteenBitOffsets) {
  Bytes in(1 << 20, 0x00);
  const std::size_t first = 40'000, second = 900'000;
  for (std::size_t at : {first, second}) {
    in[at] = 0xE0;
    in[at + 3] = 0x90;
    in[at + 5] = 99;
  }
  const SplitResult r = splitNotes(FileBuffer(in));
  ASSERT_EQ(r.packets.size(), 2u);
  EXPECT_EQ(r.packets[1].bendOffset, static_cast<std::int64_t>(second));
  EXPECT_EQ(diff(in, r.copy24), Offsets{first + 5});
  EXPECT_EQ(diff(in, r.copy13), Offsets{second + 5});
}

// The scan's rule, one byte at a time, to check the fast scan against.
std::vector<Packet> referenceScan(const Bytes& in) {
  std::vector<Packet> packets;
  for (std::size_t off = 30; off < in.size(); ++off) {
    if (in[off] == 0xE0) packets.push_back({static_cast<std::int64_t>(off), 0, 0});
    if (packets.empty()) continue;
    if (in[off] == 0x90) packets.back().noteOnOffset = static_cast<std::int64_t>(off);
    if (in[off] == 0x80) packets.back().noteOffOffset = static_cast<std::int64_t>(off);
  }
  return packets;
}

TEST(Splitter, ScanAgreesWithTheByteByByteRuleOnDenseRandomFiles) {
  // Status bytes packed close together, in every block position, with
  // several bends in one block and packets spanning blocks.
  std::mt19937 rng(4);
  const std::uint8_t kinds[] = {0xE0, 0x90, 0x80, 0x91, 0x00, 0x7F, 0xFF};
  for (std::size_t size : {0u, 31u, 63u, 64u, 94u, 95u, 200u, 1000u, 4099u}) {
    Bytes in(size);
    for (auto& b : in) b = kinds[rng() % std::size(kinds)];
    const auto got = scanPackets(FileBuffer(in));
    const auto want = referenceScan(in);
    ASSERT_EQ(got.size(), want.size()) << size;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].bendOffset, want[i].bendOffset) << size << " packet " << i;
      EXPECT_EQ(got[i].noteOnOffset, want[i].noteOnOffset) << size << " packet " << i;
      EXPECT_EQ(got[i].noteOffOffset, want[i].noteOffOffset) << size << " packet " << i;
    }
  }
}

TEST(Splitter, ReusedStorageGivesTheSameResult) {
  SplitResult reused;
  splitNotes(FileBuffer(build::makeMidi(std::vector<build::Note>(40))), reused);
  const Bytes small = build::makeMidi(std::vector<build::Note>(3));
  splitNotes(FileBuffer(small), reused);
  const SplitResult fresh = splitNotes(FileBuffer(small));
  EXPECT_EQ(reused.packets.size(), 3u);
  EXPECT_EQ(reused.copy13, fresh.copy13);
  EXPECT_EQ(reused.copy24, fresh.copy24);
}

// Outputs written through real safe files in a temporary folder.
struct SplitFiles : ::testing::Test {
  TempDir dir;
  OutputFactory files = [this](const std::string& name) { return std::make_unique<SafeFile>(dir / name); };
  SplitResult split = splitNotes(FileBuffer(build::makeMidi(std::vector<build::Note>(4))));

  std::vector<std::string> folder() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SplitFiles, WritesBothCopiesWholeAndRewritingLeavesNoTail) {
  dir.write("a_13.mid", std::string(5000, 'x'));
  WriteFailure failure;
  ASSERT_TRUE(writeSplitFiles(files, "a_13.mid", "a_24.mid", split, failure));
  const std::string first13 = dir.read("a_13.mid");
  EXPECT_EQ(first13, testing::asString(split.copy13));
  EXPECT_EQ(dir.read("a_24.mid"), testing::asString(split.copy24));

  ASSERT_TRUE(writeSplitFiles(files, "a_13.mid", "a_24.mid", split, failure));
  EXPECT_EQ(dir.read("a_13.mid"), first13);
  EXPECT_EQ(folder(), (std::vector<std::string>{"a_13.mid", "a_24.mid"}));
}

TEST_F(SplitFiles, AFailedSecondOutputLeavesBothOldFilesAndNoTemporaries) {
  dir.write("a_13.mid", "old 13");
  dir.write("a_24.mid", "old 24");
  // The second output points into a folder that does not exist.
  OutputFactory broken = [this](const std::string& name) {
    return std::make_unique<SafeFile>(name == "a_24.mid" ? dir / "missing" / name : dir / name);
  };
  WriteFailure failure;
  EXPECT_FALSE(writeSplitFiles(broken, "a_13.mid", "a_24.mid", split, failure));
  EXPECT_EQ(failure.name, "a_24.mid");
  EXPECT_FALSE(failure.reason.empty());
  EXPECT_EQ(dir.read("a_13.mid"), "old 13");
  EXPECT_EQ(dir.read("a_24.mid"), "old 24");
  EXPECT_EQ(folder(), (std::vector<std::string>{"a_13.mid", "a_24.mid"}));
}

TEST(SplitNames, AppendToTheBaseName) {
  EXPECT_EQ(splitOutputName13("ney_13"), "ney_13_13.mid");
  EXPECT_EQ(splitOutputName24("ney"), "ney_24.mid");
}

}  // namespace
}  // namespace ezg
