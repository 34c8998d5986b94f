// A MIDI file read as events: what each byte is, and where reading stops
// making sense, on files built here.
#include <gtest/gtest.h>

#include "midi/events.h"
#include "midi/vocabulary.h"
#include "fixtures/midi_builder.h"

namespace ezg::midi {
namespace {

struct Read {
  std::vector<ByteName> names;  // one per byte
  std::vector<TroubleAt> troubles;
  void event(const Event& e) {
    for (std::int64_t at = e.offset; at < e.end(); ++at) names.push_back(nameByte(e, at));
  }
  void trouble(const TroubleAt& t) { troubles.push_back(t); }
};

Read readInPieces(const Bytes& file, std::size_t piece) {
  Read out;
  EventReader<Read> reader(out);
  for (std::size_t at = 0; at < file.size(); at += piece)
    reader.feed(std::span(file).subspan(at, std::min(piece, file.size() - at)));
  reader.finish();
  return out;
}

// Track events from offset 22 on.
constexpr std::int64_t kTrack = 22;

TEST(Events, NameEveryByteOfATrackWithRunningStatusMetaAndSysEx) {
  const Bytes file = build::wrapTrack({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 22: tempo
                                       0x00, 0xE0, 0x00, 0x40,                    // 29: pitch bend, channel 1
                                       0x83, 0x60, 0x90, 0x3E, 0x50,              // 33: tick 480, note-on key 62
                                       0x81, 0x70, 0x3E, 0x00,                    // 38: running status, velocity 0
                                       0x00, 0xF0, 0x02, 0x7E, 0xF7,              // 42: system exclusive
                                       0x00, 0xC1, 0x05,                          // 47: program change, channel 2
                                       0x00, 0xFF, 0x2F, 0x00});                  // 50: end of track
  // offset, role, status, key, tick
  const std::tuple<std::int64_t, ByteRole, std::uint8_t, std::int16_t, std::int64_t> wants[] = {
      {0, ByteRole::ChunkTag, 0, -1, 0},          {12, ByteRole::HeaderDivision, 0, -1, 0},
      {18, ByteRole::ChunkLength, 0, -1, 0},      {kTrack, ByteRole::DeltaLast, kMeta, -1, 0},
      {23, ByteRole::MetaStatus, kMeta, -1, 0},   {24, ByteRole::MetaType, kMeta, -1, 0},
      {25, ByteRole::MetaLength, kMeta, -1, 0},   {27, ByteRole::MetaData, kMeta, -1, 0},
      {30, ByteRole::Status, 0xE0, 0, 0},         {33, ByteRole::DeltaLead, 0x90, -1, 480},
      {37, ByteRole::Data2, 0x90, 62, 480},       {40, ByteRole::Data1, 0x90, 62, 720},
      {41, ByteRole::Data2, 0x90, 62, 720},       {44, ByteRole::SysExLength, kSysEx, -1, 720},
      {46, ByteRole::SysExData, kSysEx, -1, 720}, {49, ByteRole::Data1, 0xC1, 5, 720},
      {53, ByteRole::MetaLength, kMeta, -1, 720},
  };
  const Read read = readInPieces(file, file.size());
  ASSERT_EQ(read.names.size(), file.size());
  EXPECT_TRUE(read.troubles.empty());
  for (const auto& [offset, role, status, key, tick] : wants) {
    const ByteName& n = read.names[static_cast<std::size_t>(offset)];
    EXPECT_EQ(std::tuple(n.role, n.status, n.key, n.tick), std::tuple(role, status, key, tick)) << offset;
  }
  EXPECT_EQ(read.names[27].metaType, kTempo);
  EXPECT_TRUE(read.names[40].running);
  // The same names however the file arrives.
  for (std::size_t piece : {1u, 2u, 7u}) EXPECT_TRUE(readInPieces(file, piece).names == read.names) << piece;
}

TEST(Events, SayWhereTheStructureStopsAndSkipTheRest) {
  const Bytes melody = build::makeMidi(build::makamMelody(2, 1));
  Bytes tail = melody;
  tail.insert(tail.end(), {0x00, 0x90, 0x3C});
  struct Case {
    const char* what;
    Bytes file;
    Trouble trouble;
    std::int64_t at;
    std::int64_t firstSkipped;  // -1: nothing skipped
    ByteRole skippedAs;
  };
  const Case cases[] = {
      {"not a MIDI file", {0x00, 0xE0, 0x90, 0x80, 1, 2, 3, 4, 5}, Trouble::NoHeader, 0, 0, ByteRole::AfterChunks},
      {"a data byte first", build::wrapTrack({0x00, 0x3C, 0x40, 0x00}), Trouble::DataWithoutStatus, kTrack + 1,
       kTrack + 1, ByteRole::Skipped},
      {"a status with no place in a file", build::wrapTrack({0x00, 0xF4, 0x00, 0x90}), Trouble::UnknownStatus,
       kTrack + 1, kTrack + 1, ByteRole::Skipped},
      {"a status inside a message", build::wrapTrack({0x00, 0x90, 0x3C, 0xE0, 0x00}), Trouble::StatusInData, kTrack + 3,
       kTrack + 3, ByteRole::Skipped},
      {"a delta time of five bytes", build::wrapTrack({0x81, 0x81, 0x81, 0x81, 0x01}), Trouble::LongNumber, kTrack + 4,
       kTrack + 4, ByteRole::Skipped},
      {"bytes after the end of the track", build::wrapTrack({0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90}),
       Trouble::AfterEndOfTrack, kTrack + 4, kTrack + 4, ByteRole::Skipped},
      {"a meta event longer than its chunk", build::wrapTrack({0x00, 0xFF, 0x01, 0x09, 'a'}), Trouble::PastChunkEnd,
       kTrack, -1, ByteRole::MetaData},
      {"a file cut inside a note", Bytes(melody.begin(), melody.end() - 6), Trouble::CutByFileEnd,
       static_cast<std::int64_t>(melody.size() - 6), -1, ByteRole::Status},
      {"bytes after the last chunk", tail, Trouble::NoHeader, -1, static_cast<std::int64_t>(melody.size()),
       ByteRole::AfterChunks},
  };
  for (const Case& c : cases) {
    const Read read = readInPieces(c.file, 5);
    ASSERT_EQ(read.names.size(), c.file.size()) << c.what;
    ASSERT_EQ(read.troubles.empty(), c.at < 0) << c.what;  // trailing bytes are no trouble of a chunk
    EXPECT_TRUE(c.at < 0 || (read.troubles[0].what == c.trouble && read.troubles[0].offset == c.at)) << c.what;
    // From the first skipped byte to the end, or the last byte only.
    const auto from = static_cast<std::size_t>(c.firstSkipped < 0 ? std::ssize(c.file) - 1 : c.firstSkipped);
    EXPECT_TRUE(c.firstSkipped <= 0 || read.names[from - 1].role != c.skippedAs) << c.what;
    for (std::size_t k = from; k < c.file.size(); ++k) EXPECT_EQ(read.names[k].role, c.skippedAs) << c.what << k;
  }
}

}  // namespace
}  // namespace ezg::midi
