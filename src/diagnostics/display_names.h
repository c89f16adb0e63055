#pragma once

#include <span>
#include <string>
#include <vector>

// Predictor names as the heatmap, the design picture and the log show them. A merge of several
// runs repeats every confound name; numbering the repeats keeps the predictors apart.
namespace diagnostics {

// `names` with every name that occurs more than once followed by " #" and the number of its
// occurrence, counted from 1 in order ("Tx", "Tx" become "Tx #1", "Tx #2"); a name that occurs
// once stays as it is. Names are compared byte for byte. A numbered name can equal another name
// of the file ("Tx #1" beside two "Tx"); that is left as it is.
std::vector<std::string> displayNames(std::span<const std::string> names);

}  // namespace diagnostics
