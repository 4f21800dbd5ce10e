// The de-emphasis filter's sections and their running.
#include "cdda/DeEmphasis.h"

#include <cmath>
#include <limits>

namespace qvr {

namespace {
constexpr double kLowest = std::numeric_limits<std::int16_t>::min();
constexpr double kHighest = std::numeric_limits<std::int16_t>::max();
constexpr double kRounding = 6755399441055744.0;  // 1.5 * 2^52
}  // namespace

// Poles and zeros of the fit; the gain makes each section's DC gain 1.
constexpr DeEmphasis::Section MakeSection(double pole, double zero) { return {(1 - pole) / (1 - zero), zero, pole}; }
const std::array<DeEmphasis::Section, 2> DeEmphasis::kSections{
    MakeSection(0.6432543673722388, 0.3666314326941056),
    MakeSection(0.2989730866372439, 0.14357573621477696),
};

void DeEmphasis::Process(std::span<std::int16_t> samples) {
  if (!primed_ && samples.size() >= 2) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      const double first = samples[channel];
      for (State& state : state_[channel]) state = {first, first};
    }
    primed_ = true;
  }
  const Section first = kSections[0], second = kSections[1];
  for (std::size_t channel = 0; channel < 2; ++channel) {
    // The state in locals, so that it stays in registers through the loop.
    double in1 = state_[channel][0].input, out1 = state_[channel][0].output;
    double in2 = state_[channel][1].input, out2 = state_[channel][1].output;
    for (std::size_t at = channel; at < samples.size(); at += 2) {
      const double value = samples[at];
      out1 = first.gain * (value - first.zero * in1) + first.pole * out1;
      in1 = value;
      out2 = second.gain * (out1 - second.zero * in2) + second.pole * out2;
      in2 = out1;
      // Rounded to the nearest sample, ties to even, as nearbyint does but without a library call:
      // adding 1.5 * 2^52 leaves no bits below the unit (exact for any |x| < 2^51). The limit is
      // never reached (see the header).
      double rounded = (out2 + kRounding) - kRounding;
      if (rounded < kLowest || rounded > kHighest) [[unlikely]] {
        ++limited_;
        rounded = rounded < kLowest ? kLowest : kHighest;
      }
      samples[at] = static_cast<std::int16_t>(rounded);
    }
    state_[channel][0] = {in1, out1};
    state_[channel][1] = {in2, out2};
  }
}

std::vector<double> DeEmphasis::ImpulseResponse(std::size_t length) {
  std::vector<double> response(length);
  std::array<State, 2> state{};
  for (std::size_t n = 0; n < length; ++n) {
    double value = n == 0 ? 1.0 : 0.0;
    for (std::size_t k = 0; k < kSections.size(); ++k) {
      const double output =
          kSections[k].gain * (value - kSections[k].zero * state[k].input) + kSections[k].pole * state[k].output;
      state[k] = {value, output};
      value = output;
    }
    response[n] = value;
  }
  return response;
}

}  // namespace qvr
