#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "events/event_grid.h"

// Parametric modulators: an events column whose numbers weight the events of each condition.
// A term is COLUMN, COLUMN:demean or COLUMN:scale, terms separated by commas ("rt:demean,
// rating"); the column's name as the events file's header row has it.
namespace events {

// How a modulator's numbers become amplitudes, over the events of one condition.
enum class Centring {
  none,    // the numbers as they are
  demean,  // about their mean
  scale,   // about their mean, in sample standard deviations (n - 1)
};

struct Modulator {
  std::string column;
  Centring centring = Centring::none;
  bool operator==(const Modulator&) const = default;
};

// A modulator term that cannot be read; what() names it and says how to write one.
class ModulatorTermError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The modulators of `terms` (blanks around a term, and empty terms, ignored), in order. Throws
// ModulatorTermError for a term without a column, with a centring other than demean or scale, or
// a column named twice.
std::vector<Modulator> parseModulators(std::string_view terms);

// The predictor name of `modulator` on `condition`: "faces_x_rt".
std::string modulatedName(const std::string& condition, const Modulator& modulator);

// `events` with their amplitudes centred as `centring` says, over all of them. Scaling leaves
// amplitudes that do not vary (or a single event) at 0 about their mean.
std::vector<Event> centred(std::vector<Event> events, Centring centring);

}  // namespace events
