// The run log pars.bin: one 20-byte record per run that got through
// start-up. Records read from the file are written back byte for byte; only
// this run's record is made here.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/platform.h"

namespace ezg {

inline constexpr std::size_t kRunRecordSize = 20;

struct RunRecord {
  double start = 0;  // days since 1899-12-30 00:00, local time
  double end = 0;
  std::uint8_t status = 0;
  std::array<char, 3> code{{'0', '0', '0'}};

  bool operator==(const RunRecord&) const = default;
};

// n = L / 20 rounded to the nearest whole number, halves to even.
std::int64_t runLogRecordCount(std::int64_t length);

// Reads runLogRecordCount(bytes.size()) records in file order; a record the
// file holds only in part reads its missing bytes as zero.
std::vector<RunRecord> parseRunLog(std::span<const std::uint8_t> bytes);

// Little-endian, 20 bytes a record, nothing else.
std::string serializeRunLog(const std::vector<RunRecord>& records);

// Date-time as days since 1899-12-30 00:00 (the fraction is the time of day).
double toOleDate(const LocalDateTime& t);

// The log as the window holds it: loaded and extended at start-up, written
// once at shutdown.
class RunLog {
 public:
  // Start-up: read the file's records and append this run's record. On a
  // failure the log stays unloaded and the run flag false.
  [[nodiscard]] Status loadAndAppend(Platform& platform, const std::string& fileName);
  // Shutdown: stamp the end time and rewrite the file whole, safely. Does
  // nothing while the run flag is false.
  [[nodiscard]] Status save(Platform& platform);

  bool runFlag() const { return runFlag_; }

 private:
  std::string fileName_;
  // The file's records stay the bytes they were read as: they are written
  // back unchanged, and a large log then costs its own size once.
  Bytes read_;
  std::size_t readCount_ = 0;
  RunRecord current_;
  bool runFlag_ = false;
};

}  // namespace ezg
