#include "events/centring.h"

#include <cmath>

namespace events {

std::vector<Event> centred(std::vector<Event> events, contract::Centring centring) {
  if (centring == contract::Centring::none || events.empty()) return events;
  double sum = 0.0;
  for (const Event& event : events) sum = sum + event.amplitude;
  const double count = static_cast<double>(events.size());
  const double mean = sum / count;
  double squares = 0.0;
  for (Event& event : events) {
    event.amplitude = event.amplitude - mean;
    squares = squares + event.amplitude * event.amplitude;
  }
  const double sd = events.size() > 1 ? std::sqrt(squares / (count - 1.0)) : 0.0;
  if (centring == contract::Centring::scale && sd > 0.0) {
    for (Event& event : events) event.amplitude = event.amplitude / sd;
  }
  return events;
}

}  // namespace events
