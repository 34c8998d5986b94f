// MIDI files in the shapes other programs write, built in code, for the
// split's checks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

#include "splitter/note_splitter.h"
#include "fixtures/midi_builder.h"

namespace ezg::testing {

// A tempo that puts the first event after it at position 30, its status
// byte at 31, where the split starts looking.
inline const Bytes kLeadTempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};

// `count` notes: a pitch bend with `bend` as its status byte, a note-on and
// a note-off written as `off` with `offVelocity`, each after its delta time.
inline Bytes splitNotesEvents(int count, std::uint8_t bend = 0xE0, std::uint8_t off = 0x80,
                              std::uint8_t offVelocity = 0x40) {
  Bytes ev;
  for (int i = 0; i < count; ++i) {
    const auto key = static_cast<std::uint8_t>(60 + i % 12);
    ev.insert(ev.end(), {0x00, bend, 0x00, 0x40, 0x00, 0x90, key, 0x50, 0x83, 0x60, off, key, offVelocity});
  }
  return ev;
}

// One track of these events and an end of track.
inline Bytes trackOf(std::initializer_list<Bytes> parts) {
  Bytes ev;
  for (const Bytes& p : parts) ev.insert(ev.end(), p.begin(), p.end());
  ev.insert(ev.end(), {0x00, 0xFF, 0x2F, 0x00});
  return build::wrapTrack(ev);
}

// Files on which the byte rule misfires, each in its own way, by name: the
// split warns over each and writes its copies all the same.
inline std::map<std::string, Bytes> misfiringFiles() {
  Bytes tail = build::makeMidi(std::vector<build::Note>(4));
  tail.insert(tail.end(), {0x00, 0x90, 0x3C, 0x40});
  return {
      {"bare", trackOf({kLeadTempo, {0x00, 0x90, 60, 0x50, 0x83, 0x60, 0x80, 60, 0x40}})},
      {"other", trackOf({kLeadTempo, splitNotesEvents(4, 0xE1), splitNotesEvents(2, 0xE4)})},
      {"offs", trackOf({kLeadTempo, splitNotesEvents(4, 0xE0, 0x90, 0x00)})},
      {"running", trackOf({{0x00, 0xE0, 0x00, 0x40, 0x00, 0x00, 0x41, 0x00, 0x00, 0x41, 0x00, 0x00, 0x41},
                           {0x00, 0x90, 60, 0x50, 0x83, 0x60, 60, 0x00, 0x00, 62, 0x50, 0x83, 0x60, 62, 0x00}})},
      {"text", trackOf({kLeadTempo, splitNotesEvents(1), {0x90, 0x00, 0xFF, 0x01, 0x01, 'a'}, splitNotesEvents(3)})},
      {"tempo",
       trackOf({kLeadTempo, splitNotesEvents(2), {0x00, 0xFF, 0x51, 0x03, 0x0A, 0x2C, 0xE0}, splitNotesEvents(2)})},
      {"tail", tail},
  };
}

// Both copies of `in`, one after the other as the window makes them.
struct BothCopies {
  Bytes copy13, copy24;
};
inline BothCopies splitBoth(const Bytes& in) {
  const FileBuffer file(in);
  return {splitOneCopy(file, SplitCopy::Copy13), splitOneCopy(file, SplitCopy::Copy24)};
}

}  // namespace ezg::testing
