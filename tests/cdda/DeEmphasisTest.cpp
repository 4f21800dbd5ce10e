// The de-emphasis filter measured from its output: tones generated here go through it as 16-bit
// samples, and the amplitude and phase of what comes out are fitted and compared with the
// analogue 50/15 us de-emphasis; full-scale signals show that it never needs limiting.
#include "cdda/DeEmphasis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace qvr {
namespace {

constexpr double kRate = 44100;
constexpr double kPi = std::numbers::pi;

// The analogue response (1 + j w 15us) / (1 + j w 50us).
std::complex<double> Analogue(double hz) {
  const double w = 2 * kPi * hz;
  return std::complex<double>(1, w * 15e-6) / std::complex<double>(1, w * 50e-6);
}

// The phasor of the tone `hz` in `samples` (one channel) from index `from` on, fitted by least
// squares to a*sin + b*cos + c.
std::complex<double> Phasor(const std::vector<double>& samples, std::size_t from, double hz) {
  // Normal equations of [sin, cos, 1].
  double m[3][4] = {};
  for (std::size_t n = from; n < samples.size(); ++n) {
    const double t = 2 * kPi * hz * static_cast<double>(n) / kRate;
    const double basis[3] = {std::sin(t), std::cos(t), 1};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += basis[i] * basis[j];
      m[i][3] += basis[i] * samples[n];
    }
  }
  for (int i = 0; i < 3; ++i) {
    for (int k = i + 1; k < 3; ++k) {
      const double f = m[k][i] / m[i][i];
      for (int j = i; j < 4; ++j) m[k][j] -= f * m[i][j];
    }
  }
  double x[3];
  for (int i = 2; i >= 0; --i) {
    double sum = m[i][3];
    for (int j = i + 1; j < 3; ++j) sum -= m[i][j] * x[j];
    x[i] = sum / m[i][i];
  }
  // a*sin(t) + b*cos(t) = Re((b - j a) e^{jt}).
  return {x[1], -x[0]};
}

struct Measured {
  double gainDb;       // the filter's gain less the analogue gain
  double leadDegrees;  // the filter's phase less the analogue phase
};

// Left and right carry a tone each (two measurements per run), at 0.4 of full scale.
std::pair<Measured, Measured> Measure(double left, double right) {
  constexpr std::size_t kFrames = 22050;
  constexpr double kAmplitude = 13000;
  std::vector<std::int16_t> samples(kFrames * 2);
  for (std::size_t n = 0; n < kFrames; ++n) {
    const double t = static_cast<double>(n) / kRate;
    samples[2 * n] = static_cast<std::int16_t>(std::lround(kAmplitude * std::sin(2 * kPi * left * t)));
    samples[2 * n + 1] = static_cast<std::int16_t>(std::lround(kAmplitude * std::sin(2 * kPi * right * t)));
  }
  std::vector<double> in[2], out[2];
  for (std::size_t n = 0; n < samples.size(); ++n) in[n % 2].push_back(samples[n]);
  DeEmphasis filter;
  // In pieces of a sector, as the player hands them over.
  for (std::size_t at = 0; at < samples.size(); at += 1176) {
    filter.Process(std::span<std::int16_t>(samples).subspan(at, std::min<std::size_t>(1176, samples.size() - at)));
  }
  for (std::size_t n = 0; n < samples.size(); ++n) out[n % 2].push_back(samples[n]);
  auto measure = [&](int channel, double hz) {
    // The first 50 ms hold the filter's settling: the fit begins after it.
    const std::size_t from = 2205;
    const std::complex<double> ratio = Phasor(out[channel], from, hz) / Phasor(in[channel], from, hz) / Analogue(hz);
    return Measured{20 * std::log10(std::abs(ratio)), std::arg(ratio) * 180 / kPi};
  };
  return {measure(0, left), measure(1, right)};
}

// Within 0.05 dB of the analogue curve from 20 Hz to 16 kHz and 0.2 dB up to 20 kHz; the phase
// leads the analogue filter's by at most 0.76 degrees per kHz (a time advance of 2.1 us).
TEST(DeEmphasisTest, ResponseFollowsTheAnalogueCurve) {
  const std::vector<double> tones = {20,    31.5,  63,    125,   250,   500,   1000,  2000,  3150,
                                     4000,  5000,  6300,  8000,  10000, 11000, 12500, 14000, 15000,
                                     16000, 17000, 18000, 19000, 20000, 997,   7919,  13001};
  for (std::size_t n = 0; n + 1 < tones.size(); n += 2) {
    const auto [left, right] = Measure(tones[n], tones[n + 1]);
    for (auto [hz, measured] : {std::pair{tones[n], left}, std::pair{tones[n + 1], right}}) {
      SCOPED_TRACE(testing::Message() << hz << " Hz: " << measured.gainDb << " dB, " << measured.leadDegrees << " deg");
      EXPECT_LE(std::abs(measured.gainDb), hz <= 16000 ? 0.05 : 0.2);
      EXPECT_GE(measured.leadDegrees, -0.05);
      EXPECT_LE(measured.leadDegrees, 0.76 * hz / 1000 + 0.05);
    }
  }
}

// The proof of the header, checked: the impulse response is never negative and sums to 1 (its
// L1 norm, the largest gain any signal can see, is 1).
TEST(DeEmphasisTest, ImpulseResponseIsAWeightedMean) {
  const std::vector<double> response = DeEmphasis::ImpulseResponse(400);
  double sum = 0;
  for (double value : response) {
    EXPECT_GE(value, 0);
    sum += value;
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
  EXPECT_LT(response.back(), 1e-60);  // nothing left beyond
}

// Full-scale signals of every kind come through without a sample being limited; full-scale DC
// comes out unchanged from the first sample (the filter starts settled, with no step).
TEST(DeEmphasisTest, FullScaleSignalsNeverClip) {
  std::mt19937 random(27);
  struct Case {
    const char* name;
    std::function<std::int16_t(std::size_t)> sample;
  };
  const std::vector<Case> cases = {
      {"DC high", [](std::size_t) { return std::int16_t{32767}; }},
      {"DC low", [](std::size_t) { return std::int16_t{-32768}; }},
      {"Nyquist square", [](std::size_t n) { return static_cast<std::int16_t>(n % 2 ? -32768 : 32767); }},
      {"square of 3", [](std::size_t n) { return static_cast<std::int16_t>(n / 3 % 2 ? -32768 : 32767); }},
      {"square of 7", [](std::size_t n) { return static_cast<std::int16_t>(n / 7 % 2 ? -32768 : 32767); }},
      {"square of 50", [](std::size_t n) { return static_cast<std::int16_t>(n / 50 % 2 ? -32768 : 32767); }},
      {"random extremes", [&](std::size_t) { return static_cast<std::int16_t>(random() % 2 ? -32768 : 32767); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::int16_t> samples(2 * 44100);
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = c.sample(n / 2);
    const std::vector<std::int16_t> input = samples;
    DeEmphasis filter;
    filter.Process(samples);
    EXPECT_EQ(filter.Limited(), 0u);
    if (c.name[0] == 'D') {
      EXPECT_EQ(samples, input);
    }
  }
}

}  // namespace
}  // namespace qvr
