#pragma once

#include <vector>

#include "contract/modulators.h"
#include "events/event_grid.h"

// The amplitudes of a modulated condition's events, as its modulator's term asks for them.
namespace events {

// `events` with their amplitudes centred as `centring` says, over all of them: about their mean,
// or about it in sample standard deviations (n - 1). Scaling leaves amplitudes that do not vary
// (or a single event) at 0 about their mean.
std::vector<Event> centred(std::vector<Event> events, contract::Centring centring);

}  // namespace events
