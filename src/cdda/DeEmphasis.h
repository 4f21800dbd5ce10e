// The de-emphasis filter: undoes the 50/15 us pre-emphasis some discs were mastered with, on
// interleaved 16-bit stereo samples, in floating point with rounding to the nearest sample.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvr {

// Two first-order shelving sections in cascade, fitted (minimax over 20 Hz - 20 kHz) to the
// analogue response (1 + s*15us) / (1 + s*50us) at 44.1 kHz: within 0.025 dB of it up to 16 kHz
// and 0.1 dB up to 20 kHz, where a single bilinear section is 2.5 dB off. The phase leads the
// analogue filter's by about 0.5 degrees at 1 kHz, 6 at 10 kHz and 11 at 16 kHz: nearly a constant
// time advance of 2 us, far below anything audible.
//
// No clipping: each section is g * (1 - q/z) / (1 - p/z) with 1 > p > q and DC gain 1, so its
// impulse response (g, then g*(p-q)*p^(n-1)) is never negative and sums to 1. So does the
// cascade's, so every output sample is a weighted mean of input samples with weights summing to
// 1 and lies within the input's range: a full-scale input never needs headroom or limiting.
class DeEmphasis {
 public:
  // One first-order section: y = gain * (x - zero * x[-1]) + pole * y[-1].
  struct Section {
    double gain, zero, pole;
  };

  // Filters `samples` (interleaved left, right) in place, going on from the samples before.
  void Process(std::span<std::int16_t> samples);
  // Forgets the samples before: the next one starts the filter as if the signal had held its
  // value for ever (no step at the start).
  void Reset() { primed_ = false; }
  // Samples whose filtered value lay outside the 16-bit range and were limited to it; stays 0.
  std::uint64_t Limited() const { return limited_; }

  // The filter's impulse response in double precision, `length` samples long (for its proof).
  static std::vector<double> ImpulseResponse(std::size_t length);

 private:
  static const std::array<Section, 2> kSections;
  // Per channel and section: the last input and output.
  struct State {
    double input = 0, output = 0;
  };
  std::array<std::array<State, 2>, 2> state_{};
  bool primed_ = false;
  std::uint64_t limited_ = 0;
};

}  // namespace qvr
