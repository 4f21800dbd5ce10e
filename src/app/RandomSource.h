// Random numbers for random play: seeded from the clock by default; tests fix the sequence.
#pragma once

#include <cstddef>
#include <memory>
#include <random>

namespace qvr {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Seed() = 0;                          // from the clock
  virtual std::size_t Draw(std::size_t count) = 0;  // uniformly in 1 .. count (count >= 1)
  // A source that draws what this one will draw from here on, so that a draw can be known ahead
  // without being taken; none when this source cannot tell.
  virtual std::unique_ptr<RandomSource> Fork() const { return nullptr; }
};

// The standard generator, seeded from the system clock once: seeding again keeps the sequence,
// so that the draws a fork looked at ahead are still the ones to come.
class ClockRandomSource : public RandomSource {
 public:
  void Seed() override {
    if (seeded_) return;
    seeded_ = true;
    engine_.seed(static_cast<std::mt19937::result_type>(std::random_device{}()));
  }
  std::size_t Draw(std::size_t count) override { return std::uniform_int_distribution<std::size_t>(1, count)(engine_); }
  std::unique_ptr<RandomSource> Fork() const override { return std::make_unique<ClockRandomSource>(*this); }

 private:
  std::mt19937 engine_;
  bool seeded_ = false;
};

}  // namespace qvr
