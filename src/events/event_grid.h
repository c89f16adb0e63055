#pragma once

#include <cstdint>

namespace events {

// One event of a condition, in seconds from the start of the run's first volume.
struct Event {
  double onset = 0.0;
  double duration = 0.0;   // 0 or more
  double amplitude = 1.0;  // the height of its box
  int64_t line = 0;        // its line in the events file (1-based), for messages
};

// How a run is sampled: `volumes` volumes, one every `repetitionTime` seconds, each taken at
// `sliceReference` (a fraction of the TR, 0 to 1) after the start of its TR.
struct RunTiming {
  double repetitionTime = 0.0;
  int64_t volumes = 0;
  double sliceReference = 0.0;
};

// Grid points [first, end) that an event fills; empty when first == end.
struct GridSpan {
  int64_t first = 0;
  int64_t end = 0;
};

// Seconds before the run's first volume from which events count: the response of an event that
// ends earlier has all but gone by the run's start.
inline constexpr double leadIn = 24.0;

// The fine time grid events are placed and convolved on: step dt = TR / 50, points j dt for
// j = -ceil(24 s / dt) .. 50 (n - 1) + round(50 s), so that the responses of events shortly
// before the run reach into it. Outside it the signal is 0.
class EventGrid {
 public:
  // Grid points per TR.
  static constexpr int pointsPerVolume = 50;

  // `run` must hold a TR > 0, n >= 1 and s from 0 to 1 (the design checks them first).
  explicit EventGrid(const RunTiming& run);

  double step() const { return step_; }
  // The first point, -ceil(leadIn / dt), and one past the last.
  int64_t first() const { return first_; }
  int64_t points() const { return points_; }

  // The points the box of `event` covers: round(onset / dt) to round((onset + duration) / dt)
  // - 1, at least the first (rounding halves away from 0), cut to the grid; empty for an event
  // that ends before the grid begins or begins after it ends.
  GridSpan span(const Event& event) const;

  int64_t volumes() const { return run_.volumes; }

  // Where volume `volume` (0-based) is taken, in grid steps: 50 (i + s); never less for a
  // later volume.
  double samplePosition(int64_t volume) const {
    return pointsPerVolume * (static_cast<double>(volume) + run_.sliceReference);
  }

 private:
  RunTiming run_;
  double step_;
  int64_t first_;
  int64_t points_;
};

}  // namespace events
