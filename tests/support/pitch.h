// Measuring rendered sound: a WAV's samples, a note's fundamental and a
// stretch's loudness, written here so the tests need nothing beyond the
// standard library.
#pragma once

#include <algorithm>
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

// The strongest frequency within a semitone of `near`, in Hz, over the
// seconds [from, to): a Hann window's transform at the bins it would have
// zero-padded to 2^18 samples (0.17 Hz apart), the peak placed between bins
// by a parabola through the log magnitudes, which for a Hann window is exact
// to far below a cent.
inline double fundamental(const std::vector<double>& mono, double from, double to, double near) {
  const auto first = static_cast<std::size_t>(from * kRate);
  const auto count = static_cast<std::size_t>((to - from) * kRate);
  if (first + count > mono.size()) throw std::runtime_error("the note is past the end of the sound");
  std::vector<double> windowed(count);
  for (std::size_t i = 0; i < count; ++i)
    windowed[i] =
        mono[first + i] *
        (0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count - 1)));
  const double binHz = kRate / (1 << 18);
  const auto low = static_cast<std::size_t>(near * std::pow(2.0, -1.0 / 12) / binHz);
  std::vector<double> magnitudes;
  for (auto bin = low; bin <= static_cast<std::size_t>(near * std::pow(2.0, 1.0 / 12) / binHz); ++bin) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(bin) * binHz / kRate);
    std::complex<double> sum = 0, turn = 1;
    for (std::size_t i = 0; i < count; ++i, turn *= step) sum += windowed[i] * turn;
    magnitudes.push_back(std::log(std::abs(sum)));
  }
  const auto peak =
      static_cast<std::size_t>(std::max_element(magnitudes.begin(), magnitudes.end()) - magnitudes.begin());
  if (peak == 0 || peak + 1 == magnitudes.size()) return 0;  // no peak inside: nothing sounds there
  const double l = magnitudes[peak - 1], c = magnitudes[peak], r = magnitudes[peak + 1];
  return (static_cast<double>(low + peak) + 0.5 * (l - r) / (l - 2 * c + r)) * binHz;
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
