#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "contract/contrasts.h"
#include "correlation/predictor_role.h"

// Contrasts as weights on the predictors of one design: the definitions' predictor names
// resolved against the design's names, or the contrasts tested when none are defined.

namespace diagnostics {

// A design as the contrasts see it. Everything is borrowed from the caller for the length of a
// call; the three spans hold one entry per predictor, K in all.
struct ContrastDesign {
  std::span<const std::span<const float>> columns;    // the values, n per predictor
  std::span<const std::string> names;                 // as the design matrix names them
  std::span<const correlation::PredictorRole> roles;  // see roleOf
  // Where the confounds start: a flat predictor before it is a condition without events.
  std::size_t firstConfound = 0;
};

// One weight of a contrast row: predictor index (into the design) and weight.
struct ContrastWeight {
  std::size_t predictor = 0;
  double weight = 0.0;
  bool operator==(const ContrastWeight&) const = default;
};

// A contrast on a design: its name, whether it is an F contrast, and its rows (one for a t
// contrast), each naming a predictor at most once. A predictor a row leaves out has weight 0.
struct ContrastWeights {
  std::string name;
  bool fTest = false;
  std::vector<std::vector<ContrastWeight>> rows;
  bool operator==(const ContrastWeights&) const = default;
};

// A contrast that names a predictor the design cannot give it. what() names the contrast and the
// predictor and says what is wrong, in a sentence fit for a usage error or the dialog.
class ContrastResolutionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The `definitions` as weights on `design`, in order, their terms in order. Throws
// ContrastResolutionError for a name no predictor has, one that several share, or the
// constant's. Time and memory in proportion to the definitions' terms and the names' bytes.
std::vector<ContrastWeights> resolveContrasts(
    std::span<const contract::ContrastDefinition> definitions, const ContrastDesign& design);

// The contrasts tested when none are defined: for every predictor of interest (flat ones before
// the first confound included), a t contrast of weight 1 named after it (see displayNames).
std::vector<ContrastWeights> defaultContrasts(const ContrastDesign& design);

}  // namespace diagnostics
