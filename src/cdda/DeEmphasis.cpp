// The de-emphasis filter's sections and their running.
#include "cdda/DeEmphasis.h"

#include <cmath>
#include <limits>

namespace qvr {

namespace {
constexpr double kLowest = std::numeric_limits<std::int16_t>::min();
constexpr double kHighest = std::numeric_limits<std::int16_t>::max();
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
  for (std::size_t at = 0; at + 1 < samples.size(); at += 2) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      double value = samples[at + channel];
      for (std::size_t n = 0; n < kSections.size(); ++n) {
        const Section& section = kSections[n];
        State& state = state_[channel][n];
        const double output = section.gain * (value - section.zero * state.input) + section.pole * state.output;
        state = {value, output};
        value = output;
      }
      // Rounded to the nearest sample (ties to even); the limit is never reached (see the header).
      value = std::nearbyint(value);
      if (value < kLowest || value > kHighest) {
        ++limited_;
        value = value < kLowest ? kLowest : kHighest;
      }
      samples[at + channel] = static_cast<std::int16_t>(value);
    }
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
