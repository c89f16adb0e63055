#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Parametric modulators, as the dialog parameter "modulators" gives them: an events column whose
// numbers weight the events of each condition. A term is COLUMN, COLUMN:demean or COLUMN:scale,
// terms separated by commas ("rt:demean, rating"); the column's name as the events file's header
// row has it. The plug-in models them, brindle-bids names their predictors before it runs.
namespace contract {

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

// The predictor name of the modulator `column` on `condition`: "faces_x_rt".
std::string modulatedName(std::string_view condition, std::string_view column);

}  // namespace contract
