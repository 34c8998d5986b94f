// The split by note and by bar: each copy, read back by the tests' own
// decoder, holds the input's events in the same order, with velocity 0 on
// exactly the silenced notes, tempos scaled, and a track that ran on past
// its chunk made whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "fixtures/midi_builder.h"
#include "splitter/event_split.h"
#include "splitter/note_splitter.h"
#include "tests/support/midi_decoder.h"
#include "tests/support/split_files.h"

namespace ezg {
namespace {

using testing::DecodedFile;
using testing::decodeMidi;
using testing::silencedEvents;
using testing::Unit;
using Set = std::set<std::size_t>;

struct Copies {
  EventSplitFacts facts;
  Bytes copy13, copy24;
};

Copies split(const Bytes& in, SplitUnit unit, std::int64_t every = 1, int tempo = 0) {
  EventSplitPlan plan;
  EXPECT_FALSE(planEventSplit(in, {unit, every, tempo}, plan).has_value());
  return {plan.facts, writeEventCopy(in, plan.copy13), writeEventCopy(in, plan.copy24)};
}

std::uint32_t tempoOf(const Bytes& data) {
  return std::uint32_t{data[0]} << 16 | std::uint32_t{data[1]} << 8 | data[2];
}

// The copy has the input's events, `silent` ones with velocity 0, tempos at
// `percent`; `inserted`: one tempo was put first in the first track.
void expectSameEvents(const DecodedFile& in, const Bytes& copyBytes, const Set& silent, int percent = 0,
                      bool inserted = false) {
  const DecodedFile copy = decodeMidi(copyBytes);
  EXPECT_TRUE(copy.whole);
  EXPECT_EQ(copy.afterChunks, in.afterChunks);
  std::size_t skip = 0;
  if (inserted) {
    ASSERT_FALSE(copy.events.empty());
    const testing::Decoded& t = copy.events[0];
    EXPECT_TRUE(t.track == 0 && t.tick == 0 && t.status == 0xFF && t.type == 0x51);
    EXPECT_EQ(tempoOf(t.data), (500'000u * 100 + percent / 2) / percent);
    skip = 1;
  }
  ASSERT_EQ(copy.events.size(), in.events.size() + skip);
  for (std::size_t i = 0; i < in.events.size(); ++i) {
    testing::Decoded want = in.events[i];
    if (silent.contains(i)) want.data[1] = 0;
    if (percent != 0 && want.status == 0xFF && want.type == 0x51) {
      const std::uint64_t scaled = (std::uint64_t{tempoOf(want.data)} * 100 + percent / 2) / percent;
      const auto value = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(scaled, 1, 0xFFFFFF));
      want.data = {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value)};
    }
    EXPECT_EQ(copy.events[i + skip], want) << "event " << i;
  }
}

void expectSplitAsTheRuleSays(const Bytes& in, SplitUnit unit, std::int64_t every = 1) {
  const Copies c = split(in, unit, every);
  const DecodedFile decoded = decodeMidi(in);
  const auto [in13, in24] = silencedEvents(decoded, unit == SplitUnit::Bar ? Unit::Bar : Unit::Note, every);
  expectSameEvents(decoded, c.copy13, in13);
  expectSameEvents(decoded, c.copy24, in24);
}

// Positions where the copy differs from the input; each must be 0 there.
std::vector<std::size_t> zeroed(const Bytes& in, const Bytes& copy) {
  EXPECT_EQ(copy.size(), in.size());
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < std::min(in.size(), copy.size()); ++i)
    if (in[i] != copy[i]) {
      EXPECT_EQ(copy[i], 0) << i;
      at.push_back(i);
    }
  return at;
}

// Two tracks, three channels, running status, note-offs both ways, and a
// chord: in time order the notes are 3C (track 1), 40 and 43 (the chord of
// track 2) at tick 0, then 3E and 45 at 480.
const Bytes kTwoTracks = build::makeFile({
    {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,                                                  // tempo
     0x00, 0x90, 0x3C, 0x50, 0x83, 0x60, 0x3C, 0x00, 0x00, 0x3E, 0x50, 0x83, 0x60, 0x3E, 0x00,  // running status
     0x00, 0xFF, 0x2F, 0x00},
    {0x00, 0x92, 0x40, 0x51, 0x00, 0x43, 0x52,              // the chord, channel 3
     0x83, 0x60, 0x82, 0x40, 0x41, 0x00, 0x43, 0x42,        // real note-offs, running
     0x00, 0x95, 0x45, 0x53, 0x83, 0x60, 0x85, 0x45, 0x43,  // channel 6
     0x00, 0xFF, 0x2F, 0x00},
});

TEST(EventSplit, ByNoteSilencesEveryOtherNoteInTimeOrderOverTracksAndChannels) {
  const Copies c = split(kTwoTracks, SplitUnit::Note);
  EXPECT_EQ(c.facts.notes, 5);
  EXPECT_EQ(c.facts.units, 5);
  EXPECT_EQ(c.facts.sounding13, 3);
  EXPECT_EQ(c.facts.sounding24, 2);
  // Offsets: track 1's data from 22, track 2's from 22 + 26 + 8 = 56.
  // Copy 13 silences 40 (note-on and release) and 3E (its note-off is a
  // note-on with velocity 0 already).
  EXPECT_EQ(zeroed(kTwoTracks, c.copy13), (std::vector<std::size_t>{39, 59, 67}));
  // Copy 24: 3C, 43 with its running note-off, 45 with its note-off.
  EXPECT_EQ(zeroed(kTwoTracks, c.copy24), (std::vector<std::size_t>{32, 62, 70, 74, 79}));
  expectSplitAsTheRuleSays(kTwoTracks, SplitUnit::Note);
  expectSplitAsTheRuleSays(kTwoTracks, SplitUnit::Note, 2);
}

// A note every `step` ticks from `first`, `length` long, keys rising.
Bytes notesEvery(std::uint32_t first, std::uint32_t step, std::uint32_t length, int count) {
  Bytes ev;
  for (int i = 0; i < count; ++i) {
    build::putDelta(ev, i == 0 ? first : step - length);
    ev.insert(ev.end(), {0x90, static_cast<std::uint8_t>(50 + i), 0x50});
    build::putDelta(ev, length);
    ev.insert(ev.end(), {0x80, static_cast<std::uint8_t>(50 + i), 0x40});
  }
  ev.insert(ev.end(), {0x00, 0xFF, 0x2F, 0x00});
  return ev;
}

TEST(EventSplit, ByBarFollowsTheTimeSignaturesAndTakesANoteByItsStart) {
  // 3/4 (1440 ticks) from 0; at 2400, mid-way through bar 2, 2/4 (960)
  // starts bar 3. Notes at 0, 1200 (held into bar 2), 1920, 2400, 3360, 3840.
  const Bytes meters = {0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, 0x92, 0x60, 0xFF, 0x58,
                        0x04, 0x02, 0x02, 0x18, 0x08, 0x8F, 0x00, 0xFF, 0x2F, 0x00};  // the end at 2400 + 1920 = 4320
  Bytes notes;
  const std::pair<std::uint32_t, std::uint8_t> starts[] = {{0, 60},    {1200, 61}, {1920, 62},
                                                           {2400, 63}, {3360, 64}, {3840, 65}};
  std::uint32_t now = 0;
  for (const auto& [tick, key] : starts) {
    build::putDelta(notes, tick - now);
    notes.insert(notes.end(), {0x90, key, 0x50, 0x83, 0x60, 0x80, key, 0x40});  // 480 long
    now = tick + 480;
  }
  notes.insert(notes.end(), {0x00, 0xFF, 0x2F, 0x00});
  const Bytes in = build::makeFile({meters, notes});
  const Copies c = split(in, SplitUnit::Bar);
  EXPECT_EQ(c.facts.bars, 4);
  EXPECT_EQ(c.facts.sounding13, 3);  // bars 1 and 3: 60, 61, 63
  EXPECT_EQ(c.facts.sounding24, 3);  // bars 2 and 4: 62, 64, 65
  const DecodedFile decoded = decodeMidi(in);
  const auto [in13, in24] = silencedEvents(decoded, Unit::Bar);
  std::set<int> silentKeys13, silentKeys24;
  for (std::size_t i : in13) silentKeys13.insert(decoded.events[i].data[0]);
  for (std::size_t i : in24) silentKeys24.insert(decoded.events[i].data[0]);
  EXPECT_EQ(silentKeys13, (std::set<int>{62, 64, 65}));
  EXPECT_EQ(silentKeys24, (std::set<int>{60, 61, 63}));  // 61's note-off in bar 2 goes with it
  expectSplitAsTheRuleSays(in, SplitUnit::Bar);
  expectSplitAsTheRuleSays(in, SplitUnit::Bar, 2);

  // Without a time signature bars are 4/4: 10 quarter notes make 3 bars.
  const Bytes plain = build::makeFile({notesEvery(0, 480, 240, 10)});
  const Copies p = split(plain, SplitUnit::Bar);
  EXPECT_EQ(p.facts.bars, 3);
  EXPECT_EQ(p.facts.sounding13, 6);  // bars 1 and 3
  expectSplitAsTheRuleSays(plain, SplitUnit::Bar);
}

TEST(EventSplit, EveryNAlternatesGroupsOfNUnits) {
  const Bytes in = build::makeFile({notesEvery(0, 120, 96, 7)});
  const Copies c = split(in, SplitUnit::Note, 2);
  EXPECT_EQ(c.facts.sounding13, 4);  // notes 1, 2, 5 and 6; 7 starts a silent group
  EXPECT_EQ(c.facts.sounding24, 3);  // 3, 4 and 7
  // makeFile's single track: each note 8 bytes from 22, velocity at +3.
  std::vector<std::size_t> silent13, silent24;
  for (std::size_t n : {2, 3, 6}) silent13.insert(silent13.end(), {22 + 8 * n + 3, 22 + 8 * n + 7});
  for (std::size_t n : {0, 1, 4, 5}) silent24.insert(silent24.end(), {22 + 8 * n + 3, 22 + 8 * n + 7});
  EXPECT_EQ(zeroed(in, c.copy13), silent13);
  EXPECT_EQ(zeroed(in, c.copy24), silent24);
}

TEST(EventSplit, TempoIsScaledClampedToItsFieldOrInsertedWithTheLengthFixed) {
  // 1 s, 10.5 s and 1 us a quarter note.
  const Bytes tempos = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x51, 0x03, 0xA0, 0x00,
                        0x00, 0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x2F, 0x00};
  const Bytes in = build::makeFile({tempos, notesEvery(0, 480, 240, 3)});
  for (int percent : {50, 400, 75}) {
    const Copies c = split(in, SplitUnit::Note, 1, percent);
    EXPECT_EQ(c.facts.tempos, 3);
    EXPECT_FALSE(c.facts.tempoInserted);
    const DecodedFile copy = decodeMidi(c.copy13);
    ASSERT_GE(copy.events.size(), 3u);
    const std::uint32_t want[][3] = {{2'000'000, 0xFFFFFF, 2}, {250'000, 2'621'440, 1}, {1'333'333, 13'981'013, 1}};
    const auto& w = want[percent == 50 ? 0 : percent == 400 ? 1 : 2];
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(tempoOf(copy.events[i].data), w[i]) << percent;
    const DecodedFile decoded = decodeMidi(in);
    const auto [in13, in24] = silencedEvents(decoded, Unit::Note);
    expectSameEvents(decoded, c.copy13, in13, percent);
    expectSameEvents(decoded, c.copy24, in24, percent);
  }
  // No tempo at all: 500,000 us scaled, first in the first track.
  const Bytes none = build::makeFile({notesEvery(0, 480, 240, 4), notesEvery(240, 480, 240, 2)});
  const Copies c = split(none, SplitUnit::Bar, 1, 50);
  EXPECT_TRUE(c.facts.tempoInserted);
  EXPECT_EQ(c.copy13.size(), none.size() + 7);
  const DecodedFile decoded = decodeMidi(none);
  const auto [in13, in24] = silencedEvents(decoded, Unit::Bar);
  expectSameEvents(decoded, c.copy13, in13, 50, true);
  expectSameEvents(decoded, c.copy24, in24, 50, true);
}

// A note track as some collections write it: its chunk ends with an end of
// track, and more of its events follow after the file's last chunk, up to
// a second one. `lengthless`: the first end of track lacks its length
// byte, so the next event's delta time 0 reads as its length.
Bytes continuedTrack(bool lengthless) {
  const Bytes conductor = {0x00, 0xFF, 0x58, 0x04, 0x02, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00};
  Bytes notes = notesEvery(0, 480, 240, 3);  // ends with its end of track at tick 1200
  Bytes in = build::makeFile({conductor, notes});
  Bytes more = {0x81, 0x70, 0xE0, 0x00, 0x40, 0x00, 0x90, 0x45, 0x50, 0x81, 0x70, 0x80, 0x45, 0x40, 0x00, 0xFF,
                0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x90, 0x46, 0x50, 0x00, 0x46, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  if (lengthless) more.erase(more.begin(), more.begin() + 2);  // its delta time 0 is the length byte
  in.insert(in.end(), more.begin(), more.end());
  return in;
}

TEST(EventSplit, ATrackThatRunsOnPastItsChunkIsMadeWholeInBothCopies) {
  for (bool lengthless : {true, false}) {
    const Bytes in = continuedTrack(lengthless);
    const DecodedFile plain = decodeMidi(in);
    ASSERT_GT(plain.afterChunks, 0u);
    const std::size_t chunkEnd = in.size() - plain.afterChunks;
    const DecodedFile whole = decodeMidi(in, lengthless ? chunkEnd - 1 : chunkEnd);
    ASSERT_TRUE(whole.whole);
    for (SplitUnit unit : {SplitUnit::Note, SplitUnit::Bar}) {
      const Copies c = split(in, unit, 1, 50);
      ASSERT_TRUE(c.facts.continued) << lengthless;
      EXPECT_EQ(c.facts.continued->track, 1);
      EXPECT_EQ(c.facts.continued->notes, 2);
      EXPECT_EQ(c.facts.notes, 5);
      EXPECT_EQ(c.facts.tempos, 1);  // the one past the chunk
      const auto [in13, in24] = silencedEvents(whole, unit == SplitUnit::Bar ? Unit::Bar : Unit::Note);
      expectSameEvents(whole, c.copy13, in13, 50);
      expectSameEvents(whole, c.copy24, in24, 50);
    }
  }
  // Bytes after the chunk that are no clean track stay as they were and
  // count for nothing: here the second end of track is missing.
  Bytes in = continuedTrack(true);
  in.resize(in.size() - 4);
  const Copies c = split(in, SplitUnit::Note);
  EXPECT_FALSE(c.facts.continued);
  EXPECT_FALSE(c.facts.firstTrouble);
  EXPECT_EQ(c.facts.notes, 3);
  const DecodedFile decoded = decodeMidi(in);
  const auto [in13, in24] = silencedEvents(decoded, Unit::Note);
  expectSameEvents(decoded, c.copy13, in13);
  EXPECT_TRUE(std::equal(in.end() - static_cast<std::ptrdiff_t>(decoded.afterChunks), in.end(),
                         c.copy13.end() - static_cast<std::ptrdiff_t>(decoded.afterChunks)));
}

TEST(EventSplit, WhatIsNoMidiOrHasNoBarsIsRefusedAndABrokenTrackIsTold) {
  EventSplitPlan plan;
  const Bytes notMidi = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'M', 'I', 'D', 'I'};
  EXPECT_EQ(planEventSplit(notMidi, {SplitUnit::Note}, plan), EventSplitRefusal::NotMidi);
  Bytes smpte = build::makeFile({notesEvery(0, 480, 240, 2)});
  smpte[12] = 0xE7;  // 25 frames a second
  EXPECT_EQ(planEventSplit(smpte, {SplitUnit::Bar}, plan), EventSplitRefusal::NoBeats);
  EXPECT_FALSE(planEventSplit(smpte, {SplitUnit::Note}, plan));

  // A data byte where a status byte is needed, after two notes: those are
  // split, the rest is left as it is.
  Bytes broken = notesEvery(0, 480, 240, 2);
  broken.insert(broken.end() - 4, {0x00, 0xF4, 0x00, 0x90, 0x3C, 0x50});
  const Bytes in = build::makeFile({broken});
  ASSERT_FALSE(planEventSplit(in, {SplitUnit::Note}, plan));
  EXPECT_EQ(plan.facts.notes, 2);
  ASSERT_TRUE(plan.facts.firstTrouble);
  EXPECT_EQ(plan.facts.firstTrouble->what, midi::Trouble::UnknownStatus);
}

// Whatever the bytes, a copy without a track to make whole differs from its
// input only in bytes set to 0.
TEST(EventSplit, OnDamagedFilesACopyOnlyEverSetsBytesToZero) {
  const Bytes good = build::makeFile({notesEvery(0, 120, 96, 40), notesEvery(60, 120, 96, 40)});
  std::mt19937 rng(30);
  for (int round = 0; round < 300; ++round) {
    Bytes in = good;
    for (int k = 0; k < 1 + round % 8; ++k) in[rng() % in.size()] = static_cast<std::uint8_t>(rng());
    in.resize(in.size() - rng() % 20);
    for (SplitUnit unit : {SplitUnit::Note, SplitUnit::Bar}) {
      EventSplitPlan plan;
      if (planEventSplit(in, {unit, 1 + round % 3, 0}, plan) || plan.facts.continued) continue;
      zeroed(in, writeEventCopy(in, plan.copy13));
      zeroed(in, writeEventCopy(in, plan.copy24));
    }
  }
}

// The byte rule at another tempo: its late patches land where the tempo's
// splices moved them.
TEST(EventSplit, AnEditedSinkMovesPatchesPastItsSplices) {
  CopyEdits edits;
  edits.zeroes = {1, 14};
  edits.splices = {{5, 0, {0xA, 0xB, 0xC}}, {10, 2, {0xD}}};
  MemorySink memory;
  EditedSink sink(edits, memory);
  Bytes in(20);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(0x40 + i);
  for (std::size_t at = 0; at < in.size(); at += 3)
    sink.write(asChars(std::span(in).subspan(at, std::min<std::size_t>(3, in.size() - at))));
  sink.finish();
  for (std::uint64_t at : {2u, 7u, 10u, 15u}) sink.patch(at, 0x7F);
  const Bytes want = {0x40, 0x00, 0x7F, 0x43, 0x44, 0xA,  0xB,  0xC,  0x45, 0x46, 0x7F,
                      0x48, 0x49, 0xD,  0x4C, 0x4D, 0x00, 0x7F, 0x50, 0x51, 0x52, 0x53};
  EXPECT_EQ(memory.data(), asChars(want));
}

// The real collection, where it is at hand: every copy whole, each long
// track to its end, where the byte rule's copies may not be.
TEST(EventSplit, CorpusCopiesAreWholeAndLongTracksPlayToTheirEnd) {
  const std::filesystem::path corpus = EZGITAR_CORPUS;
  std::error_code ec;
  if (!std::filesystem::is_directory(corpus, ec)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0, longTracks = 0, damagedByBytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".mid") continue;
    std::ifstream f(entry.path(), std::ios::binary);
    const Bytes in((std::istreambuf_iterator<char>(f)), {});
    ++files;
    const DecodedFile plain = decodeMidi(in);
    // The collection's long tracks lack the first end of track's length byte.
    const std::size_t chunksEnd = in.size() - plain.afterChunks;
    const DecodedFile whole = plain.afterChunks > 0 ? decodeMidi(in, chunksEnd - 1) : plain;
    ASSERT_TRUE(whole.whole) << entry.path();
    for (SplitUnit unit : {SplitUnit::Note, SplitUnit::Bar}) {
      const Copies c = split(in, unit);
      EXPECT_EQ(c.facts.continued.has_value(), plain.afterChunks > 0) << entry.path();
      const auto [in13, in24] = silencedEvents(whole, unit == SplitUnit::Bar ? Unit::Bar : Unit::Note);
      expectSameEvents(whole, c.copy13, in13);
      expectSameEvents(whole, c.copy24, in24);
    }
    longTracks += plain.afterChunks > 0;
    const testing::BothCopies bytes = testing::splitBoth(in);
    for (const Bytes* copy : {&bytes.copy13, &bytes.copy24}) {
      const DecodedFile d = decodeMidi(*copy);
      bool same = d.whole == plain.whole && d.events.size() == plain.events.size();
      for (std::size_t i = 0; same && i < d.events.size(); ++i)
        same = d.events[i].status == plain.events[i].status && d.events[i].tick == plain.events[i].tick;
      damagedByBytes += !same;
    }
  }
  std::printf("corpus: %d files, %d long tracks made whole, %d byte-rule copies read differently\n", files, longTracks,
              damagedByBytes);
}

}  // namespace
}  // namespace ezg
