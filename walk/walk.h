// The event walk from position 23 to the last byte: which positions are
// visited, what is decoded at each, and where the walk goes next. The report
// and the test run both run this one walk, so they cannot disagree on where
// they stop or where they warn; they differ only in what their listener does.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <type_traits>

#include "midi/bytes.h"
#include "midi/vocabulary.h"

namespace ezg {

// The walk starts after the 14-byte header chunk and the 8-byte track head.
inline constexpr std::int64_t kFirstEventPosition = 23;

// Called with the position of a note's status byte whose delta time runs to
// four or more bytes. The walk goes on when it returns.
using TickWarning = std::function<void(std::int64_t statusPosition)>;

// What the user reads for such a delta time, in UTF-8: the window's box and
// the command line's line after the file and the position.
inline constexpr const char* kTickWarningText = "Çok büyük Tick ! !";

// A listener that ignores everything. Listeners derive from it, are final,
// and override the hooks they care about: `override` turns a misspelt hook
// or a wrong signature into a compile error instead of a hook never called.
// The walk takes the final type, so every call is direct and a hook left
// empty costs nothing.
struct QuietWalk {
  virtual void visit(std::int64_t /*p*/, std::uint8_t /*b*/) {}      // every visited position
  virtual void label(std::int16_t /*msb*/, std::int16_t /*lsb*/) {}  // 0x2F and 0xF0..0xFF
  virtual void noteStatus(bool /*on*/, std::int16_t /*channel*/) {}
  virtual void pitch(std::int64_t /*p*/, std::uint8_t /*n*/) {}
  virtual void velocity(std::int64_t /*p*/, std::uint8_t /*v*/) {}
  virtual void deltaLead(std::int64_t /*p*/, std::uint8_t /*d*/, int /*index*/) {}      // a delta byte >= 0x80
  virtual void tick(std::int64_t /*p*/, std::uint8_t /*d*/, std::int32_t /*ticks*/) {}  // the delta's last byte
  virtual void bendStatus(std::int16_t /*channel*/) {}
  virtual void bendLsb(std::int64_t /*p*/, std::uint8_t /*lsb*/) {}
  virtual void bendMsb(std::int64_t /*p*/, std::uint8_t /*msb*/, std::int32_t /*bend*/) {}
  virtual void tooLong(std::int64_t /*statusPosition*/) {}
  virtual void endLine() {}  // closes the visited position's line

 protected:
  QuietWalk() = default;
  QuietWalk(const QuietWalk&) = default;
  QuietWalk& operator=(const QuietWalk&) = default;
  ~QuietWalk() = default;
};

// What `walkEvents` accepts: a final listener built on QuietWalk.
template <class L>
concept WalkListener = std::derived_from<L, QuietWalk> && std::is_final_v<L>;

namespace walk_detail {

// Note-off or note-on at p: pitch, velocity and a delta time of one to three
// bytes. Moves p to the delta's last byte; on a longer delta it warns and
// leaves p where it was, so the walk lists those bytes again one by one.
// False when a byte it needs lies past the end of the file.
template <WalkListener Listener>
bool note(const FileBuffer& file, std::int64_t& p, bool on, std::int16_t channel, Listener& out) {
  out.noteStatus(on, channel);
  if (!file.has(p + 1)) return false;
  out.pitch(p + 1, file.readByte(p + 1));
  if (!file.has(p + 2)) return false;
  out.velocity(p + 2, file.readByte(p + 2));
  std::int32_t ticks = 0;
  for (int i = 0; i < 3; ++i) {
    const std::int64_t q = p + 3 + i;
    if (!file.has(q)) return false;
    const std::uint8_t d = file.readByte(q);
    if (d < midi::kDataLimit) {
      ticks = ticks * 128 + d;
      out.tick(q, d, ticks);
      p = q;
      return true;
    }
    ticks = ticks * 128 + (d - midi::kDataLimit);
    // The third byte of 0x80 or more is not shown: the walk reaches it again.
    if (i < 2) out.deltaLead(q, d, i);
  }
  out.tooLong(p);
  return true;
}

// Pitch bend at p: two data bytes, no delta time. Moves p to the second.
template <WalkListener Listener>
bool bend(const FileBuffer& file, std::int64_t& p, std::int16_t channel, Listener& out) {
  out.bendStatus(channel);
  if (!file.has(p + 1)) return false;
  const std::uint8_t lsb = file.readByte(p + 1);
  out.bendLsb(p + 1, lsb);
  if (!file.has(p + 2)) return false;
  const std::uint8_t msb = file.readByte(p + 2);
  out.bendMsb(p + 2, msb, msb * 128 + lsb - 8192);
  p += 2;
  return true;
}

}  // namespace walk_detail

// Walks every position from 23 to the end of the file, treating each byte it
// lands on as a possible status byte: only note-off, note-on and pitch bend
// of the first channel are decoded, the end byte and the system bytes are
// labelled, all else is only
// visited. A decoder cut short by the end of the file ends the walk after
// closing its line. Positions are 64-bit, so any file is walked to its end.
// Returns the position after the walk: one past the last byte.
template <WalkListener Listener>
std::int64_t walkEvents(const FileBuffer& file, Listener& out) {
  const std::int64_t last = file.length();
  for (std::int64_t p = kFirstEventPosition; p <= last; ++p) {
    const std::uint8_t b = file.readByte(p);
    out.visit(p, b);
    bool whole = true;
    if (b != 0) {
      std::int16_t msb = 0, lsb = 0;
      Nibblize(b, msb, lsb);
      using namespace midi;
      if (msb == kSystemKind || b == kEndByte)
        out.label(msb, lsb);
      else if ((msb == kNoteOffKind || msb == kNoteOnKind) && lsb == kFirstChannel)
        whole = walk_detail::note(file, p, msb == kNoteOnKind, lsb, out);
      else if (msb == kPitchBendKind && lsb == kFirstChannel)
        whole = walk_detail::bend(file, p, lsb, out);
    }
    out.endLine();
    if (!whole) break;
  }
  return last + 1;
}

}  // namespace ezg
