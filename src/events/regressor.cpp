#include "events/regressor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace events {

namespace {

// The running sums of a kernel: the response at grid point j to a box over points [lo, hi) of
// height 1 is P(j - lo) - P(j - hi), with P(m) = kernel[0] + ... + kernel[min(m, K)] (0 for
// m < 0). It is 0 before lo, P(K) (about 1) from lo + K to hi, and 0 again from hi + K on.
class KernelSums {
 public:
  explicit KernelSums(std::span<const double> kernel) : sums_(kernel.size()) {
    double sum = 0.0;
    for (std::size_t k = 0; k < kernel.size(); ++k) sums_[k] = sum += kernel[k];
  }

  int64_t last() const { return static_cast<int64_t>(sums_.size()) - 1; }
  double total() const { return sums_.back(); }

  double at(int64_t m) const {
    if (m < 0) return 0.0;
    return m >= last() ? total() : sums_[static_cast<std::size_t>(m)];
  }

 private:
  std::vector<double> sums_;
};

// The regressor at every volume, built up event by event: each volume reads the response at
// the grid points below and above its sample position, weighted by its distance to them.
class VolumeResponses {
 public:
  VolumeResponses(const EventGrid& grid, std::span<const double> kernel)
      : grid_(grid),
        sums_(kernel),
        values_(static_cast<std::size_t>(grid.volumes())),
        steps_(values_.size() + 1) {}

  // Adds the box [lo, hi) of height `amplitude`. Volumes whose two points both lie on the
  // plateau (from lo + K to hi) get amplitude x P(K), added to the whole stretch at once; only
  // volumes near the rise and the fall are evaluated one by one.
  void addBox(int64_t lo, int64_t hi, double amplitude) {
    const int64_t plateau = std::min(lo + sums_.last(), hi);
    const std::size_t start = firstBelowFrom(lo - 1), end = firstBelowFrom(hi + sums_.last());
    const std::size_t flat = firstBelowFrom(plateau), fall = firstBelowFrom(hi - 1);
    if (flat >= fall) return addEach(start, end, lo, hi, amplitude);
    addEach(start, flat, lo, hi, amplitude);
    steps_[flat] += amplitude * sums_.total();
    steps_[fall] -= amplitude * sums_.total();
    addEach(fall, end, lo, hi, amplitude);
  }

  // The regressor, one value per volume.
  std::vector<double> values() && {
    double plateau = 0.0;
    for (std::size_t i = 0; i < values_.size(); ++i) values_[i] += plateau += steps_[i];
    return std::move(values_);
  }

 private:
  int64_t below(std::size_t volume) const {
    return static_cast<int64_t>(std::floor(grid_.samplePosition(static_cast<int64_t>(volume))));
  }

  // The first volume whose point below lies at or after `point` (the volume count when none).
  std::size_t firstBelowFrom(int64_t point) const {
    std::size_t low = 0, high = values_.size();
    while (low < high) {
      const std::size_t middle = low + (high - low) / 2;
      if (below(middle) < point) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low;
  }

  void addEach(std::size_t first, std::size_t end, int64_t lo, int64_t hi, double amplitude) {
    const auto response = [&](int64_t j) { return sums_.at(j - lo) - sums_.at(j - hi); };
    for (std::size_t i = first; i < end; ++i) {
      const double position = grid_.samplePosition(static_cast<int64_t>(i));
      const double weight = position - std::floor(position);
      const int64_t j = below(i);
      double value = response(j);
      if (weight > 0.0) value = (1.0 - weight) * value + weight * response(j + 1);
      values_[i] += amplitude * value;
    }
  }

  const EventGrid& grid_;
  KernelSums sums_;
  std::vector<double> values_;
  std::vector<double> steps_;  // plateau changes from each volume on
};

}  // namespace

std::vector<double> sampledRegressor(const EventGrid& grid, std::span<const double> kernel,
                                     std::span<const Event> events) {
  VolumeResponses responses(grid, kernel);
  for (const Event& event : events) {
    const GridSpan span = grid.span(event);
    if (span.first < span.end) responses.addBox(span.first, span.end, event.amplitude);
  }
  return std::move(responses).values();
}

}  // namespace events
