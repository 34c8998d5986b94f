#include "report/report.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "midi/vocabulary.h"
#include "report/block_writer.h"
#include "report/cp1254.h"

namespace ezg {
namespace {

// Report texts, already in Windows-1254: 0xC7 is Ç, 0xFD ı, 0xFE ş.
constexpr std::string_view kHeaderTitle = "----------HEADER CHUNK--------------";
constexpr std::string_view kFourFixed = "Sabit 4 byte";
constexpr std::string_view kFormatTitle = "Midi Format tipi 2 byte";
constexpr std::string_view kFormatLegend = "0=single 1=Multi/syncron 2=Multi/asyncron ";
constexpr std::string_view kTrackCount = "Track say\xFDs\xFD";
constexpr std::string_view kTicksTitle =
    "\xC7"
    "eyrek nota Tick say\xFDs\xFD";
constexpr std::string_view kTrackTitle = "----------TRACK CHUNK--------------";
constexpr std::string_view kTrackLengthTitle = "byte olarak track uzunlugu";
constexpr std::string_view kTrackLength = "Bu trackde Byte say\xFDs\xFD=";
constexpr std::string_view kEventsTitle = "----------EVENTS--------------";
constexpr std::string_view kEndLabel = "SysExMsg biter";

// Indexed by the low nibble of 0xF0..0xFF; each exactly 16 characters.
constexpr std::array<std::string_view, 16> kSystemLabels = {
    "SysExMsg ba\xFEl.  ", "Time code       ", "Position pointer", "Song select     ",
    "Undefined       ",    "Undefined       ", "Tune request    ", "EOX biti\xFE       ",
    "Clock           ",    "(undefined)     ", "Start           ", "Continue        ",
    "Stop            ",    "Undefined       ", "Active Sensing  ", "SysExMsg ba\xFEl.  ",
};
static_assert([] {
  for (auto label : kSystemLabels)
    if (label.size() != 16) return false;
  return true;
}());

// "   HH   DDD   " for every byte value: the middle of each per-byte line,
// padded to 16 so that it is copied in one fixed-size move.
struct ByteFields {
  static constexpr std::size_t kUsed = 14;
  std::array<std::array<char, 16>, 256> text{};
  constexpr ByteFields() {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
      text[static_cast<std::size_t>(b)] = {' ',
                                           ' ',
                                           ' ',
                                           kHex[b >> 4],
                                           kHex[b & 15],
                                           ' ',
                                           ' ',
                                           ' ',
                                           static_cast<char>('0' + b / 100),
                                           static_cast<char>('0' + b / 10 % 10),
                                           static_cast<char>('0' + b % 10),
                                           ' ',
                                           ' ',
                                           ' ',
                                           ' ',
                                           ' '};
    }
  }
};
constexpr ByteFields kByteFields;

// Collects report text in blocks and hands full ones to the sink, written
// on a second thread, so the report is never held whole and the sink sees
// few, large writes. The per-byte line is the hot path: one line per input
// byte.
class ReportText {
 public:
  explicit ReportText(ByteSink& sink) : writer_(sink), buf_(writer_.block()), cur_(buf_) {}

  void text(std::string_view s) {
    while (s.size() > kSize - kSlack) {
      const std::size_t part = kSize - kSlack;
      text(s.substr(0, part));
      s.remove_prefix(part);
    }
    room(s.size());
    std::memcpy(cur_, s.data(), s.size());
    cur_ += s.size();
  }
  // Literals: their size is known here, so the copy is a few moves.
  template <std::size_t N>
  [[gnu::always_inline]] void lit(const char (&s)[N]) {
    room(N);
    std::memcpy(cur_, s, N - 1);
    cur_ += N - 1;
  }
  void line(std::string_view s) {
    text(s);
    lineEnd();
  }
  void put(char c) {
    room(1);
    *cur_++ = c;
  }
  void gap() { lit("   "); }
  void lineEnd() { lit("\r\n"); }

  // Joined to a label: a leading space stands where a minus sign would.
  void joined(std::int64_t n) {
    room(kSlack);
    *cur_++ = n < 0 ? '-' : ' ';
    cur_ = digits(cur_, n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n), 1);
  }
  // A number standing as an item of its own is also followed by a space.
  void separate(std::int64_t n) {
    joined(n);
    *cur_++ = ' ';
  }

  // Position, hex, decimal and `shown` in the character field, no line end.
  [[gnu::always_inline]] void perByte(std::int64_t p, std::uint8_t b, char shown) {
    room(kSlack);
    setPosition(p);
    std::memcpy(cur_, position_.data(), position_.size());
    cur_ += positionLength_;
    std::memcpy(cur_, kByteFields.text[b].data(), 16);
    cur_ += ByteFields::kUsed;
    *cur_++ = shown;
  }

  // Cents of a bend, "00.00": at least two whole digits, two decimals,
  // halves away from zero. One bend step is 100/4096 of a cent, so the
  // hundredths are bend * 10000 / 4096 = bend * 625 / 256 exactly; integers
  // keep the halves exact.
  void cents(std::int32_t bend, char separator) {
    const std::int64_t scaled = static_cast<std::int64_t>(bend) * 625;
    const std::uint64_t magnitude = static_cast<std::uint64_t>(std::llabs(scaled));
    const std::uint64_t hundredths = magnitude / 256 + (magnitude % 256 >= 128 ? 1 : 0);
    room(kSlack);
    if (scaled < 0) *cur_++ = '-';
    cur_ = digits(cur_, hundredths / 100, 2);
    *cur_++ = separator;
    cur_ = digits(cur_, hundredths % 100, 2);
  }

  [[gnu::noinline]] void flush() {
    if (cur_ == buf_) return;
    buf_ = writer_.handOver(static_cast<std::size_t>(cur_ - buf_));
    cur_ = buf_;
  }

  // Everything in the sink; what the sink threw is thrown here.
  void finish() {
    flush();
    writer_.drain();
  }

 private:
  static constexpr std::size_t kSize = BlockWriter::kBlockSize;
  // Room kept for one per-byte line or one number, whatever its length.
  static constexpr std::size_t kSlack = 64;

  [[gnu::always_inline]] void room(std::size_t n) {
    if (static_cast<std::size_t>(buf_ + kSize - cur_) < n + kSlack) flush();
  }

  // Lines mostly follow each other position by position, so the position
  // is counted up in its decimal text instead of being formatted anew.
  [[gnu::always_inline]] void setPosition(std::int64_t p) {
    if (p == positionValue_ + 1 && positionLength_ > 0) {
      std::size_t i = positionLength_;
      while (i > 0 && position_[i - 1] == '9') position_[--i] = '0';
      if (i > 0) {
        ++position_[i - 1];
      } else {
        std::memmove(position_.data() + 1, position_.data(), positionLength_);
        position_[0] = '1';
        ++positionLength_;
      }
    } else {
      positionLength_ =
          static_cast<std::size_t>(digits(position_.data(), static_cast<std::uint64_t>(p), 4) - position_.data());
    }
    positionValue_ = p;
  }

  // Writes v in decimal, zero-padded to `width`; returns the end.
  static char* digits(char* d, std::uint64_t v, int width) {
    char tmp[20];
    int n = 0;
    do {
      tmp[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (n < width) tmp[n++] = '0';
    while (n > 0) *d++ = tmp[--n];
    return d;
  }

  BlockWriter writer_;
  char* buf_;
  char* cur_;
  std::array<char, 24> position_{};
  std::size_t positionLength_ = 0;
  std::int64_t positionValue_ = 0;
};

// Header and track-head lines show only the bytes the file has; a short
// file still gets every label and blank line.
void byteLine(ReportText& t, const FileBuffer& file, std::int64_t p) {
  if (!file.has(p)) return;
  const std::uint8_t b = file.readByte(p);
  t.perByte(p, b, static_cast<char>(b));
  t.lineEnd();
}

// One byte of a number stored most significant first, with its weight.
void powerLine(ReportText& t, const FileBuffer& file, std::int64_t p, int k) {
  if (!file.has(p)) return;
  const std::uint8_t b = file.readByte(p);
  t.perByte(p, b, static_cast<char>(b));
  t.gap();
  t.lit("*256^");
  t.put(static_cast<char>('0' + k));
  t.lineEnd();
}

// Big-endian number over positions first..last; missing bytes add nothing.
std::int64_t numberAt(const FileBuffer& file, std::int64_t first, std::int64_t last) {
  std::int64_t n = 0;
  for (std::int64_t p = first; p <= last; ++p)
    if (file.has(p)) n += static_cast<std::int64_t>(file.readByte(p)) << (8 * (last - p));
  return n;
}

// "Sabit 4 byte", four byte lines from `first`, and a blank line.
void fourFixedBytes(ReportText& t, const FileBuffer& file, std::int64_t first) {
  t.line(kFourFixed);
  for (std::int64_t p = first; p < first + 4; ++p) byteLine(t, file, p);
  t.lineEnd();
}

void headerChunk(ReportText& t, const FileBuffer& file) {
  t.line(kHeaderTitle);
  fourFixedBytes(t, file, 1);
  fourFixedBytes(t, file, 5);
  t.line(kFormatTitle);
  byteLine(t, file, 9);
  byteLine(t, file, 10);
  t.line(kFormatLegend);
  t.lineEnd();
  t.line(kTrackCount);
  powerLine(t, file, 11, 1);
  powerLine(t, file, 12, 0);
  t.lineEnd();
  t.line(kTicksTitle);
  powerLine(t, file, 13, 1);
  powerLine(t, file, 14, 0);
  t.text(kTicksTitle);
  t.lit("=");
  t.joined(numberAt(file, 13, 14));
  t.lineEnd();
  t.lineEnd();
  t.lineEnd();
}

void trackHead(ReportText& t, const FileBuffer& file) {
  t.line(kTrackTitle);
  fourFixedBytes(t, file, 15);
  t.line(kTrackLengthTitle);
  for (int p = 19; p <= 22; ++p) powerLine(t, file, p, 22 - p);
  t.text(kTrackLength);
  // The length is a signed 32-bit number: a first byte of 0x80 or more
  // wraps to a negative length.
  t.joined(static_cast<std::int32_t>(static_cast<std::uint32_t>(numberAt(file, 19, 22))));
  t.lineEnd();
  t.lineEnd();
  t.lineEnd();
  t.line(kEventsTitle);
}

// Writes the walk: each visited byte on a line of its own, decoded events
// continuing or following it.
class ReportWalk final : public QuietWalk {
 public:
  ReportWalk(ReportText& t, const NoteNames& names, char separator, const TickWarning& warn)
      : t_(t), names_(names), separator_(separator), warn_(warn) {}

  void visit(std::int64_t p, std::uint8_t b) override {
    // Walk lines show three values as a space; data lines keep them raw.
    t_.perByte(p, b, midi::blankInWalkLine(b) ? ' ' : static_cast<char>(b));
    t_.gap();
  }
  void label(std::int16_t msb, std::int16_t lsb) override {
    t_.text(msb == midi::kSystemKind ? kSystemLabels[static_cast<std::size_t>(lsb)] : kEndLabel);
  }
  void noteStatus(bool on, std::int16_t channel) override { status(on ? "NOTE-ON" : "NOTE-OFF", channel); }
  void pitch(std::int64_t p, std::uint8_t n) override {
    dataLine(p, n, true);
    t_.lit("Pitch=");
    t_.text(names_[n % 12]);
    t_.lineEnd();
  }
  void velocity(std::int64_t p, std::uint8_t v) override {
    dataLine(p, v, true);
    t_.lit("Velo.=");
    t_.separate(v);
    t_.lineEnd();
  }
  // The first byte of a longer delta ends its line bare, the second with a gap.
  void deltaLead(std::int64_t p, std::uint8_t d, int index) override {
    dataLine(p, d, index > 0);
    t_.lineEnd();
  }
  void tick(std::int64_t p, std::uint8_t d, std::int32_t ticks) override {
    dataLine(p, d, true);
    t_.lit("Tik=");
    t_.joined(ticks);
  }
  void bendStatus(std::int16_t channel) override { status("PTCHBND", channel); }
  void bendLsb(std::int64_t p, std::uint8_t lsb) override {
    dataLine(p, lsb, false);
    t_.lineEnd();
  }
  void bendMsb(std::int64_t p, std::uint8_t msb, std::int32_t bend) override {
    dataLine(p, msb, true);
    t_.cents(bend, separator_);
    t_.lit(" Cent");
  }
  void tooLong(std::int64_t statusPosition) override {
    if (warn_) warn_(statusPosition);
  }
  void endLine() override { t_.lineEnd(); }

 private:
  void status(std::string_view name, std::int16_t channel) {
    t_.text(name);
    t_.gap();
    t_.lit("Kanal=");
    t_.joined(channel);
    t_.lineEnd();
  }
  // A byte read ahead by a decoder: its character field is always raw.
  void dataLine(std::int64_t p, std::uint8_t b, bool closingGap) {
    t_.perByte(p, b, static_cast<char>(b));
    if (closingGap) t_.gap();
  }

  ReportText& t_;
  const NoteNames& names_;
  char separator_;
  const TickWarning& warn_;
};

}  // namespace

const NoteNames& standardNoteNames() {
  static const NoteNames names = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};
  return names;
}

std::string reportFileName(std::string_view baseName) { return std::string(baseName) + ".txt"; }

std::int64_t TxtYaz(const FileBuffer& file, std::string_view reportName, const NoteNames& noteNames,
                    char decimalSeparator, ByteSink& sink, const TickWarning& warn) {
  ReportText t(sink);
  t.line(utf8ToWindows1254(reportName));
  t.lineEnd();
  headerChunk(t, file);
  trackHead(t, file);
  ReportWalk walk(t, noteNames, decimalSeparator, warn);
  const std::int64_t end = walkEvents(file, walk);
  t.lineEnd();
  t.lineEnd();
  t.finish();
  return end;
}

}  // namespace ezg
