// Any bytes as pars.bin: load, append this run, save. The log holds its
// length / 20 records, rounded to the nearest, halves to even; the saved log
// is exactly 20 x (n + 1) bytes, keeps every byte it read, ends with this
// run's times, status 0 and code "000", and reads back the same records.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "app/run_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> in(data, size);
  auto records = ezg::parseRunLog(in);
  const std::size_t n = records.size();
  // The default rounding of the floating-point unit: to nearest, halves to
  // even; the quotient is exact where it is a half.
  if (n != static_cast<std::size_t>(std::nearbyint(static_cast<double>(size) / 20.0))) std::abort();

  ezg::RunRecord current;
  current.start = ezg::toOleDate({2026, 12, 6, 10, 0, 0});
  current.end = ezg::toOleDate({2026, 12, 6, 10, 0, 1});
  records.push_back(current);
  std::string saved = ezg::serializeRunLog(records);

  if (saved.size() != 20 * (n + 1)) std::abort();
  const std::size_t kept = std::min(size, 20 * n);
  if (std::memcmp(saved.data(), data, kept) != 0) std::abort();
  for (std::size_t i = kept; i < 20 * n; ++i)
    if (saved[i] != 0) std::abort();  // a short last record reads as zeros
  char last[20];
  std::memcpy(last, &current.start, 8);
  std::memcpy(last + 8, &current.end, 8);
  std::memcpy(last + 16,
              "\0"
              "000",
              4);
  if (saved.compare(20 * n, 20, last, 20) != 0) std::abort();

  // Reading the saved log gives the same records back, bit for bit.
  std::span<const std::uint8_t> again(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size());
  if (ezg::serializeRunLog(ezg::parseRunLog(again)) != saved) std::abort();

  // Dates: whatever the clock says, the days since 1899-12-30 and the
  // second of the day, counted here day by day.
  if (size >= 6) {
    const ezg::LocalDateTime t{1900 + data[0] % 200, 1 + data[1] % 12, 1 + data[2] % 28,
                               data[3] % 24,         data[4] % 60,     data[5] % 60};
    auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    long days = 2;  // 30 and 31 December 1899
    for (int y = 1900; y < t.year; ++y) days += leap(y) ? 366 : 365;
    constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m < t.month; ++m) days += kMonthDays[m - 1] + (m == 2 && leap(t.year));
    days += t.day - 1;
    const long long seconds = days * 86400LL + t.hour * 3600 + t.minute * 60 + t.second;
    if (std::llround(ezg::toOleDate(t) * 86400.0) != seconds) std::abort();
  }
  return 0;
}
