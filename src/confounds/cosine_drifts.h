#pragma once

#include <cstdint>
#include <vector>

#include "sdm/design_matrix.h"

// The discrete cosine drifts that model slow signal changes in place of a high-pass filter, as
// preprocessing pipelines write them into their confound tables, for a design that has no such
// table: for n volumes of TR seconds and a cut-off of C seconds, K = floor(2 n TR / C) - 1 columns
// (none when that is 0 or less; never more than n - 1, past which the columns would repeat),
// named "cosine00", "cosine01", ... ("cosine100" past 99), column k - 1 holding
// sqrt(2 / n) cos(pi (2 i + 1) k / (2 n)) at volume i, for k = 1 .. K.
namespace confounds {

// K for `volumes` (n, 1 or more), `repetitionTime` (TR, above 0) and `cutoff` (C, above 0; 0 or
// less: none). Reads no memory: a caller checks K x n before the columns are made.
int64_t cosineDriftCount(int64_t volumes, double repetitionTime, double cutoff);

// The K columns as predictors of the kind cosine, computed in double and stored rounded to float,
// coloured by their place among the confounds (confoundColour of `firstPosition` + k - 1).
std::vector<sdm::Predictor> cosineDrifts(int64_t volumes, double repetitionTime, double cutoff,
                                         std::size_t firstPosition = 0);

}  // namespace confounds
