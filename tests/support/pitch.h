// Measuring rendered sound: a WAV's samples, a note's fundamental and a
// stretch's loudness, written here so the tests need nothing beyond the
// standard library.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace ezg::testing {

inline constexpr double kRate = 44'100;

// The left and right channels of a 16-bit stereo WAV, averaged.
inline std::vector<double> monoSamples(std::string_view wav) {
  if (wav.size() < 44 || wav.substr(0, 4) != "RIFF" || wav.substr(36, 4) != "data")
    throw std::runtime_error("not our WAV");
  std::vector<double> mono;
  mono.reserve((wav.size() - 44) / 4);
  auto sample = [&](std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[at]) | static_cast<std::uint8_t>(wav[at + 1]) << 8);
  };
  for (std::size_t at = 44; at + 4 <= wav.size(); at += 4) mono.push_back((sample(at) + sample(at + 2)) / 65536.0);
  return mono;
}

inline void fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(len));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
}

// The strongest frequency within a semitone of `near`, in Hz, over the
// seconds [from, to): a Hann window, zero-padded to a fine grid, and the
// peak placed between bins by a parabola through the log magnitudes, which
// for a Hann window is exact to far below a cent.
inline double fundamental(const std::vector<double>& mono, double from, double to, double near) {
  const auto first = static_cast<std::size_t>(from * kRate);
  const auto count = static_cast<std::size_t>((to - from) * kRate);
  if (first + count > mono.size()) throw std::runtime_error("the note is past the end of the sound");
  constexpr std::size_t kSize = std::size_t{1} << 18;  // 0.17 Hz a bin
  std::vector<std::complex<double>> a(kSize);
  for (std::size_t i = 0; i < count; ++i) {
    const double hann =
        0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count - 1));
    a[i] = mono[first + i] * hann;
  }
  fft(a);
  const double binHz = kRate / kSize;
  const auto low = static_cast<std::size_t>(near * std::pow(2.0, -1.0 / 12) / binHz);
  const auto high = static_cast<std::size_t>(near * std::pow(2.0, 1.0 / 12) / binHz);
  std::size_t peak = low;
  for (std::size_t k = low; k <= high; ++k)
    if (std::abs(a[k]) > std::abs(a[peak])) peak = k;
  if (peak == low || peak == high) return 0;  // no peak inside: nothing sounds there
  const double l = std::log(std::abs(a[peak - 1])), c = std::log(std::abs(a[peak])),
               r = std::log(std::abs(a[peak + 1]));
  return (static_cast<double>(peak) + 0.5 * (l - r) / (l - 2 * c + r)) * binHz;
}

inline double cents(double from, double to) { return 1200 * std::log2(to / from); }

inline double keyHz(int key) { return 440 * std::pow(2.0, (key - 69) / 12.0); }

// Mean square over the seconds [from, to), in dB of full scale.
inline double loudness(const std::vector<double>& mono, double from, double to) {
  const auto first = static_cast<std::size_t>(from * kRate), last = static_cast<std::size_t>(to * kRate);
  double sum = 0;
  for (std::size_t i = first; i < last && i < mono.size(); ++i) sum += mono[i] * mono[i];
  return 10 * std::log10(sum / static_cast<double>(last - first) + 1e-30);
}

}  // namespace ezg::testing
