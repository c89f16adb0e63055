#pragma once

#include <span>
#include <vector>

#include "events/event_grid.h"

// The predictor of one condition: its events as boxes on the grid (x[j] += amplitude over each
// event's span), convolved with a kernel (y[j] = sum over k <= j of kernel[k] x[j - k]) and
// taken at every volume's sample position, linearly between the two grid points around a
// position that is not whole; a point just past the grid's end is evaluated the same way (x is
// 0 there). Only volumes near an event's rise and fall are evaluated one by one, its plateau is
// added at once: the work grows with events and volumes, not with the grid or the durations.
namespace events {

// The predictor of `events` under `kernel`, in double, one value per volume of `grid`.
std::vector<double> sampledRegressor(const EventGrid& grid, std::span<const double> kernel,
                                     std::span<const Event> events);

}  // namespace events
