// Random numbers for random play: seeded from the clock by default; tests fix the sequence.
#pragma once

#include <cstddef>
#include <random>

namespace qvr {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Seed() = 0;                          // from the clock
  virtual std::size_t Draw(std::size_t count) = 0;  // uniformly in 1 .. count (count >= 1)
};

// The standard generator, seeded from the system clock.
class ClockRandomSource : public RandomSource {
 public:
  void Seed() override { engine_.seed(static_cast<std::mt19937::result_type>(std::random_device{}())); }
  std::size_t Draw(std::size_t count) override { return std::uniform_int_distribution<std::size_t>(1, count)(engine_); }

 private:
  std::mt19937 engine_;
};

}  // namespace qvr
