// Byte-level access to a loaded MIDI file: one byte sequence, read by
// 1-based position (the walks) or by 0-based offset (the splitter's copies).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ezg {

using Bytes = std::vector<std::uint8_t>;

// The same bytes as characters, for sinks and files.
inline std::string_view asChars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Splits a value into its high nibble (message kind) and low nibble
// (channel, or system-message number). Division truncates toward zero, so
// the rule holds for negative values too: -17 gives Msb -1, Lsb -1.
void Nibblize(std::int32_t Value, std::int16_t& Msb, std::int16_t& Lsb);

// The bytes of one file. Positions are 64-bit: no file is limited by the
// width of a position, offset or count.
class FileBuffer {
 public:
  FileBuffer() = default;
  explicit FileBuffer(Bytes bytes) : bytes_(std::move(bytes)) {}

  std::int64_t length() const { return static_cast<std::int64_t>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }

  // True when 1 <= p <= length(): a walk must ask before it reads.
  bool has(std::int64_t p) const { return p >= 1 && p <= length(); }

  // The byte at 1-based position p. Precondition: has(p).
  std::uint8_t readByte(std::int64_t p) const { return bytes_[static_cast<std::size_t>(p - 1)]; }

  // The raw byte copy, 0-based.
  const Bytes& raw() const { return bytes_; }
  std::span<const std::uint8_t> span() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace ezg
