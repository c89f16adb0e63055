#pragma once

#include "sdm/design_matrix.h"

// A copy of `first` with `second` appended (DesignMatrix::append): the result of merging two
// SDMs. Neither argument changes.
DesignMatrix concatenate(const DesignMatrix& first, const DesignMatrix& second);
