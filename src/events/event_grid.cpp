#include "events/event_grid.h"

#include <algorithm>
#include <cmath>

namespace events {

namespace {

// `index` (a whole number, or an infinity) cut to first .. points, as an integer.
int64_t clampToGrid(double index, int64_t first, int64_t points) {
  const double clamped = std::clamp(index, static_cast<double>(first), static_cast<double>(points));
  return static_cast<int64_t>(clamped);
}

}  // namespace

EventGrid::EventGrid(const RunTiming& run)
    : run_(run),
      step_(run.repetitionTime / pointsPerVolume),
      first_(-static_cast<int64_t>(std::ceil(leadIn / step_))),
      points_(pointsPerVolume * (run.volumes - 1) +
              static_cast<int64_t>(std::round(pointsPerVolume * run.sliceReference)) + 1) {}

GridSpan EventGrid::span(const Event& event) const {
  // In double until cut to the grid: an onset far beyond it must not overflow an integer.
  const double start = std::round(event.onset / step_);
  double end = std::round((event.onset + event.duration) / step_);
  if (!(end > start)) end = start + 1.0;
  const int64_t first = clampToGrid(start, first_, points_);
  return {first, std::max(first, clampToGrid(end, first_, points_))};
}

}  // namespace events
