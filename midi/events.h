// A Standard MIDI File read as what it is: chunks, delta times, channel
// messages of every channel (running status kept), meta events, system
// exclusive messages and the bytes after the last chunk, each with its byte
// position. Fed in pieces of any size, so a file of any length is read with
// a few bytes of memory; it never fails: where the structure stops making
// sense it says so, and the bytes it cannot read still come out, as skipped.
//
// Every byte of the input lands in exactly one event, and the events come
// in file order, so any byte can be named: "the velocity of the note-on of
// key 62 on channel 1 at tick 480", "a tempo's data", "a delta time".
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ezg::midi {

enum class EventKind : std::uint8_t {
  ChunkHead,    // a chunk's tag and length: 8 bytes, fewer when cut
  HeaderData,   // the header chunk's data (format, tracks, division)
  ChunkData,    // the data of a chunk that is neither header nor track
  Channel,      // a delta time and a channel message
  Meta,         // a delta time, 0xFF, the type and the length; the data follows as MetaData
  MetaData,
  SysEx,        // a delta time, 0xF0 or 0xF7 and the length; the data follows as SysExData
  SysExData,
  Delta,        // a delta time with no event after it: cut short, or the track stops making sense there
  Skipped,      // the rest of a track chunk after it stopped making sense
  AfterChunks,  // bytes where a chunk should start but none does
};

enum class ChunkKind : std::uint8_t { None, Header, Track, Other };

// Where the structure stops making sense, and what the reader did.
enum class Trouble : std::uint8_t {
  NoHeader,          // the file does not start with a header chunk
  DataWithoutStatus, // a data byte where a status byte is needed: the rest of the track is skipped
  UnknownStatus,     // a status byte that has no place in a file: the rest of the track is skipped
  StatusInData,      // a status byte inside a channel message: the rest of the track is skipped
  LongNumber,        // a delta time or length of more than four bytes: the rest of the track is skipped
  PastChunkEnd,      // an event runs past its chunk's end: it is cut there
  AfterEndOfTrack,   // bytes after the end-of-track event: skipped
  CutByFileEnd,      // the file ends inside an event or a chunk
};

struct TroubleAt {
  Trouble what;
  std::int64_t offset;  // 0-based: the byte where it shows
};

// One event. The delta time, where there is one, is its first bytes.
struct Event {
  std::int64_t offset = 0;      // 0-based offset of its first byte
  std::int64_t tick = 0;        // track events: ticks from the start of the track, its delta included
  std::int64_t dataOffset = 0;  // data events: where in the data this slice starts
  const std::uint8_t* bytes = nullptr;  // its bytes; valid only while the events are handed out
  std::uint32_t length = 0;     // at least 1
  std::int32_t track = -1;      // 0-based number of the track chunk; -1 outside tracks
  EventKind kind = EventKind::AfterChunks;
  ChunkKind chunk = ChunkKind::None;  // the chunk it lies in
  std::uint8_t deltaLength = 0;
  std::uint8_t status = 0;      // channel message: the status in effect; 0xFF meta; 0xF0 or 0xF7
  std::uint8_t metaType = 0;    // meta events and their data
  bool running = false;         // a channel message without its own status byte
  bool cut = false;             // shorter than its structure says

  std::int64_t end() const { return offset + length; }
};

// What a byte of the file is, for naming it.
enum class ByteRole : std::uint8_t {
  ChunkTag, ChunkLength,
  HeaderFormat, HeaderTracks, HeaderDivision, HeaderExtra,
  ChunkData,
  DeltaLead,  // a delta-time byte with more to follow
  DeltaLast,
  Status, Data1, Data2,  // of a channel message
  MetaStatus, MetaType, MetaLength, MetaData,
  SysExStatus, SysExLength, SysExData,
  Skipped, AfterChunks,
};

// A byte's role and its event's particulars, kept after the event is gone.
struct ByteName {
  std::int64_t offset = 0;
  ByteRole role = ByteRole::AfterChunks;
  EventKind kind = EventKind::AfterChunks;
  ChunkKind chunk = ChunkKind::None;
  std::uint8_t status = 0;
  std::uint8_t metaType = 0;
  std::int16_t key = -1;  // a channel message's first data byte, -1 when not there
  std::int32_t track = -1;
  std::int64_t tick = 0;
  bool running = false;
};

// Precondition: e.offset <= offset < e.end(), while e.bytes is valid.
ByteName nameByte(const Event& e, std::int64_t offset);

// True when setting the byte to another value changes how the rest of its
// track reads: a status, type or length, a chunk head, a delta-time byte
// that says more follows.
bool structural(ByteRole role);

// Receives the events in file order, in batches.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void events(std::span<const Event> batch) = 0;
  virtual void trouble(const TroubleAt& /*at*/) {}
};

class EventReader {
 public:
  explicit EventReader(EventSink& sink);
  // The next bytes of the file. The events they complete are handed out
  // before it returns.
  void feed(std::span<const std::uint8_t> bytes);
  // The end of the file: what is left is handed out, cut where it must be.
  void finish();

 private:
  enum class Mode : std::uint8_t { ChunkHead, TrackEvent, Data, AfterChunks };
  static constexpr std::size_t kNeedMore = static_cast<std::size_t>(-1);

  std::size_t readAll(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t readUnit(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t chunkHead(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t trackEvent(const std::uint8_t* p, std::size_t n, bool final);
  std::size_t data(const std::uint8_t* p, std::size_t n);
  Event& add(EventKind kind, const std::uint8_t* p, std::size_t length);
  void startData(EventKind kind, std::int64_t length, std::uint8_t status, std::uint8_t metaType);
  void skipRest(Trouble why);
  void report(Trouble why, std::int64_t at);
  void flush();

  EventSink& sink_;
  std::vector<Event> batch_;
  std::uint8_t carry_[32] = {};
  std::size_t carrySize_ = 0;
  Mode mode_ = Mode::ChunkHead;
  std::int64_t offset_ = 0;     // of the next byte to read
  std::int64_t chunkLeft_ = 0;  // bytes left in the current chunk
  ChunkKind chunk_ = ChunkKind::None;
  bool sawChunk_ = false;
  bool endOfTrack_ = false;
  bool cutByEnd_ = false;
  std::int32_t track_ = -1;
  std::int64_t tick_ = 0;
  std::uint8_t running_ = 0;  // 0: none
  // The data being read: its kind, what is left, how far in, and its owner.
  EventKind dataKind_ = EventKind::Skipped;
  std::int64_t dataLeft_ = 0;
  std::int64_t dataDone_ = 0;
  std::uint8_t dataStatus_ = 0;
  std::uint8_t dataMetaType_ = 0;
};

}  // namespace ezg::midi
