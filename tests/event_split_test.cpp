// The split by note and by bar: velocities set to 0, tempos scaled, a track
// that ran on past its chunk made whole.
#include <gtest/gtest.h>

#include <array>

#include "fixtures/midi_builder.h"
#include "splitter/event_split.h"

namespace ezg {
namespace {

struct Copies {
  EventSplitFacts facts;
  Bytes copy13, copy24;
};

Copies split(const Bytes& in, SplitUnit unit, std::int64_t every = 1, int tempo = 0) {
  EventSplitPlan plan;
  EXPECT_FALSE(planEventSplit(in, {unit, every, tempo}, plan).has_value());
  return {plan.facts, writeEventCopy(in, plan.copy13), writeEventCopy(in, plan.copy24)};
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

// The keys of the note events a copy silenced, in file order.
std::vector<int> silentKeys(const Bytes& in, const Bytes& copy) {
  std::vector<int> keys;
  for (std::size_t at : zeroed(in, copy)) keys.push_back(in[at - 1]);
  return keys;
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

TEST(EventSplit, ByNoteSilencesEveryOtherNoteOrGroupInTimeOrderOverTracksAndChannels) {
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
  // By twos: copy 13 sounds notes 1, 2 and 5, the last group cut short.
  const Copies twos = split(kTwoTracks, SplitUnit::Note, 2);
  EXPECT_EQ(twos.facts.sounding13, 3);
  EXPECT_EQ(zeroed(kTwoTracks, twos.copy13), (std::vector<std::size_t>{39, 62, 70}));
  EXPECT_EQ(zeroed(kTwoTracks, twos.copy24), (std::vector<std::size_t>{32, 59, 67, 74, 79}));
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
  EXPECT_EQ(silentKeys(in, c.copy13), (std::vector<int>{62, 62, 64, 64, 65, 65}));
  // 61's note-off in bar 2 goes with it.
  EXPECT_EQ(silentKeys(in, c.copy24), (std::vector<int>{60, 60, 61, 61, 63, 63}));
  EXPECT_EQ(silentKeys(in, split(in, SplitUnit::Bar, 2).copy13), (std::vector<int>{63, 63, 64, 64, 65, 65}));

  // Without a time signature bars are 4/4: 10 quarter notes make 3 bars.
  const Copies p = split(build::makeFile({notesEvery(0, 480, 240, 10)}), SplitUnit::Bar);
  EXPECT_EQ(p.facts.bars, 3);
  EXPECT_EQ(p.facts.sounding13, 6);  // bars 1 and 3
}

void setTempo(Bytes& file, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 3; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (16 - 8 * i));
}

TEST(EventSplit, TempoIsScaledClampedToItsFieldOrInsertedWithTheLengthFixed) {
  // 1 s, 10.5 s and 1 us a quarter note; their data at 26, 33 and 40.
  const Bytes tempos = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x51, 0x03, 0xA0, 0x00,
                        0x00, 0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x2F, 0x00};
  const Bytes in = build::makeFile({tempos, notesEvery(0, 480, 240, 3)});
  const Copies same = split(in, SplitUnit::Note);
  const std::pair<int, std::array<std::uint32_t, 3>> runs[] = {
      {50, {2'000'000, 0xFFFFFF, 2}}, {400, {250'000, 2'621'440, 1}}, {75, {1'333'333, 13'981'013, 1}}};
  for (const auto& [percent, values] : runs) {
    const Copies c = split(in, SplitUnit::Note, 1, percent);
    EXPECT_EQ(c.facts.tempos, 3);
    EXPECT_FALSE(c.facts.tempoInserted);
    Copies want = same;
    for (Bytes* copy : {&want.copy13, &want.copy24})
      for (std::size_t i = 0; i < 3; ++i) setTempo(*copy, 26 + 7 * i, values[i]);
    EXPECT_EQ(c.copy13, want.copy13) << percent;
    EXPECT_EQ(c.copy24, want.copy24) << percent;
  }
  // No tempo at all: 500,000 us scaled, first in the first track.
  const Bytes none = build::makeFile({notesEvery(0, 480, 240, 4), notesEvery(240, 480, 240, 2)});
  const Copies c = split(none, SplitUnit::Bar, 1, 50), plain = split(none, SplitUnit::Bar);
  EXPECT_TRUE(c.facts.tempoInserted);
  for (auto [copy, want] : {std::pair{c.copy13, plain.copy13}, {c.copy24, plain.copy24}}) {
    want.insert(want.begin() + 22, {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40});
    want[21] += 7;  // the track's length
    EXPECT_EQ(copy, want);
  }
}

// A note track whose chunk ends early, its other events after the file's
// last chunk up to a second end of track (`lengthless`: the first lacks its
// length byte); and the same track written whole.
std::pair<Bytes, Bytes> continuedTrack(bool lengthless) {
  const Bytes conductor = {0x00, 0xFF, 0x58, 0x04, 0x02, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00};
  Bytes notes = notesEvery(0, 480, 240, 3);  // ends with its end of track at tick 1200
  Bytes in = build::makeFile({conductor, notes});
  Bytes more = {0x81, 0x70, 0xE0, 0x00, 0x40, 0x00, 0x90, 0x45, 0x50, 0x81, 0x70, 0x80, 0x45, 0x40, 0x00, 0xFF,
                0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x90, 0x46, 0x50, 0x00, 0x46, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  if (lengthless) more.erase(more.begin(), more.begin() + 2);  // its delta time 0 is the length byte
  in.insert(in.end(), more.begin(), more.end());
  notes.resize(notes.size() - (lengthless ? 3 : 4));  // the early end of track, but for a delta time 0
  notes.insert(notes.end(), more.begin(), more.end());
  return {in, build::makeFile({conductor, notes})};
}

TEST(EventSplit, ATrackThatRunsOnPastItsChunkIsMadeWholeInBothCopies) {
  for (bool lengthless : {true, false}) {
    const auto [in, whole] = continuedTrack(lengthless);
    for (SplitUnit unit : {SplitUnit::Note, SplitUnit::Bar}) {
      const Copies c = split(in, unit, 1, 50), want = split(whole, unit, 1, 50);
      ASSERT_TRUE(c.facts.continued) << lengthless;
      EXPECT_EQ(c.facts.continued->track, 1);
      EXPECT_EQ(c.facts.continued->notes, 2);
      EXPECT_EQ(c.facts.notes, 5);
      EXPECT_EQ(c.facts.tempos, 1);  // the one past the chunk
      EXPECT_EQ(c.copy13, want.copy13) << lengthless;
      EXPECT_EQ(c.copy24, want.copy24) << lengthless;
    }
  }
  // Bytes after the chunk that are no clean track stay as they were and
  // count for nothing: here the second end of track is missing.
  Bytes in = continuedTrack(true).first;
  in.resize(in.size() - 4);
  const Copies c = split(in, SplitUnit::Note);
  EXPECT_FALSE(c.facts.continued);
  EXPECT_FALSE(c.facts.firstTrouble);
  EXPECT_EQ(c.facts.notes, 3);
  EXPECT_EQ(silentKeys(in, c.copy13), (std::vector<int>{51, 51}));
}

TEST(EventSplit, WhatIsNoMidiOrHasNoBarsIsRefusedAndABrokenTrackIsTold) {
  EventSplitPlan plan;
  const Bytes notMidi = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'M', 'I', 'D', 'I'};
  EXPECT_EQ(planEventSplit(notMidi, {SplitUnit::Note}, plan), EventSplitRefusal::NotMidi);
  Bytes smpte = build::makeFile({notesEvery(0, 480, 240, 2)});
  smpte[12] = 0xE7;  // 25 frames a second
  EXPECT_EQ(planEventSplit(smpte, {SplitUnit::Bar}, plan), EventSplitRefusal::NoBeats);
  EXPECT_FALSE(planEventSplit(smpte, {SplitUnit::Note}, plan));
  // No ticks a quarter note, and a time signature after the start.
  Bytes none = build::makeFile(
      {{0x87, 0x40, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00}, notesEvery(0, 480, 240, 2)});
  none[12] = none[13] = 0;
  EXPECT_EQ(planEventSplit(none, {SplitUnit::Bar}, plan), EventSplitRefusal::NoBeats);
  EXPECT_FALSE(planEventSplit(none, {SplitUnit::Note}, plan));

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

}  // namespace
}  // namespace ezg
