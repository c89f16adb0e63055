#pragma once

#include <string>

#include "design_generator.h"
#include "sdm/design_matrix.h"

// Sizes and files shared by the microbenchmarks.

// The three sizes the benchmarks run: 0 typical (20 predictors x 300 points), 1 large
// (200 x 2,000), 2 very large (1,000 x 5,000). Each has a few predictors of interest, many
// confounds and a trailing constant.
tools::DesignShape benchShape(int size);

// The matrix of benchShape(size), made once per process and kept.
const sdm::DesignMatrix& benchMatrix(int size);

// A path `name` inside a folder of this process under the system's temporary folder; the
// folder is made on first use and removed with everything in it when the process ends.
std::string benchPath(const std::string& name);
