#include "events/modulators.h"

#include <cmath>

#include "contract/terms.h"

namespace events {

std::vector<Modulator> parseModulators(std::string_view terms) {
  std::vector<Modulator> modulators;
  for (const std::string_view term : contract::splitTerms(terms)) {
    const std::size_t colon = term.rfind(':');
    Modulator modulator{std::string(contract::withoutBlanks(term.substr(0, colon))),
                        Centring::none};
    if (colon != std::string_view::npos) {
      const std::string_view how = contract::withoutBlanks(term.substr(colon + 1));
      if (how == "demean")
        modulator.centring = Centring::demean;
      else if (how == "scale")
        modulator.centring = Centring::scale;
      else
        throw ModulatorTermError("modulator \"" + std::string(term) +
                                 "\": write COLUMN, COLUMN:demean or COLUMN:scale");
    }
    if (modulator.column.empty())
      throw ModulatorTermError("modulator \"" + std::string(term) +
                               "\" names no column; write COLUMN, COLUMN:demean or COLUMN:scale");
    for (const Modulator& earlier : modulators) {
      if (earlier.column == modulator.column)
        throw ModulatorTermError("modulator column \"" + modulator.column +
                                 "\" is named twice; name each column once");
    }
    modulators.push_back(std::move(modulator));
  }
  return modulators;
}

std::string modulatedName(const std::string& condition, const Modulator& modulator) {
  return condition + "_x_" + modulator.column;
}

std::vector<Event> centred(std::vector<Event> events, Centring centring) {
  if (centring == Centring::none || events.empty()) return events;
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
  if (centring == Centring::scale && sd > 0.0) {
    for (Event& event : events) event.amplitude = event.amplitude / sd;
  }
  return events;
}

}  // namespace events
