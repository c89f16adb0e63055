#pragma once

#include "sdm/design_matrix.h"

namespace merge {

// Appends every predictor of `other` to `matrix` (placed as DesignMatrix::addPredictor places
// it, confounds by `other`'s confound block) when the numbers of data points agree, and in
// every case extends `matrix.fileName` with the merge suffix built from both file names
// (merge/merge_names.h) and brings `matrix.firstConfoundPredictor` into 1..N+1 as
// addPredictor does. `other` may be `matrix` itself.
void append(sdm::DesignMatrix& matrix, const sdm::DesignMatrix& other);

// A copy of `first` with `second` appended: the result of merging two SDMs. Neither argument
// changes.
sdm::DesignMatrix concatenate(const sdm::DesignMatrix& first, const sdm::DesignMatrix& second);

}  // namespace merge
