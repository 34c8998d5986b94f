#include "app/run_log.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>

namespace ezg {
namespace {

constexpr double kSecondsPerDay = 86400.0;

std::chrono::sys_days epoch() { return std::chrono::sys_days{std::chrono::year{1899} / std::chrono::December / 30}; }

void putDouble(std::string& out, double v) {
  auto bits = std::bit_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

double getDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

}  // namespace

std::int64_t runLogRecordCount(std::int64_t length) {
  if (length <= 0) return 0;
  std::int64_t q = length / 20, r = length % 20;
  if (r > 10 || (r == 10 && q % 2 == 1)) ++q;
  return q;
}

std::vector<RunRecord> parseRunLog(std::span<const std::uint8_t> bytes) {
  const auto n = static_cast<std::size_t>(runLogRecordCount(static_cast<std::int64_t>(bytes.size())));
  std::vector<RunRecord> records(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t raw[kRunRecordSize] = {};
    std::size_t from = i * kRunRecordSize;
    std::size_t have = std::min(kRunRecordSize, bytes.size() - from);
    std::memcpy(raw, bytes.data() + from, have);
    RunRecord& r = records[i];
    r.start = getDouble(raw);
    r.end = getDouble(raw + 8);
    r.status = raw[16];
    r.code = {static_cast<char>(raw[17]), static_cast<char>(raw[18]), static_cast<char>(raw[19])};
  }
  return records;
}

std::string serializeRunLog(const std::vector<RunRecord>& records) {
  std::string out;
  out.reserve(records.size() * kRunRecordSize);
  for (const RunRecord& r : records) {
    putDouble(out, r.start);
    putDouble(out, r.end);
    out.push_back(static_cast<char>(r.status));
    out.append(r.code.data(), r.code.size());
  }
  return out;
}

double toOleDate(const LocalDateTime& t) {
  using namespace std::chrono;
  sys_days day{year{t.year} / month{static_cast<unsigned>(t.month)} / static_cast<unsigned>(t.day)};
  double days = static_cast<double>((day - epoch()).count());
  return days + (t.hour * 3600 + t.minute * 60 + t.second) / kSecondsPerDay;
}

Status RunLog::loadAndAppend(Platform& platform, const std::string& fileName) {
  fileName_ = fileName;
  Bytes bytes;
  if (Status failed = platform.readFile(fileName, bytes)) return failed;
  readCount_ = static_cast<std::size_t>(runLogRecordCount(static_cast<std::int64_t>(bytes.size())));
  // Bytes past the last whole record are not read as one: the save
  // overwrites them.
  bytes.resize(std::min(bytes.size(), readCount_ * kRunRecordSize));
  read_ = std::move(bytes);
  current_ = RunRecord{};
  current_.start = toOleDate(platform.now());
  current_.end = toOleDate(platform.now());
  runFlag_ = true;
  return {};
}

Status RunLog::save(Platform& platform) {
  if (!runFlag_) return {};
  current_.end = toOleDate(platform.now());
  auto out = platform.createOutput(fileName_);
  out->write(asChars(read_));
  // A last record the file held only in part reads the rest as zero.
  out->write(std::string(readCount_ * kRunRecordSize - read_.size(), '\0'));
  out->write(serializeRunLog({current_}));
  return out->commit();
}

}  // namespace ezg
