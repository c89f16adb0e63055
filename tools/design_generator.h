#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"

// Realistic single-study design matrices for examples, tests and benchmarks, the same for the
// same options on every platform.
namespace tools {

struct DesignShape {
  int interest = 3;       // predictors of interest: block designs convolved with a response
  int confounds = 6;      // confounds: slowly drifting random walks within about +-3
  int points = 120;       // data points
  bool constant = false;  // a trailing "Constant" predictor (all 1.0)
  bool motion = false;    // the first six confounds named as rigid-body motion parameters
  uint64_t seed = 1;      // the same seed gives the same matrix
  std::string confoundPrefix = "Confound";  // confound names: prefix, a space and a number
  std::vector<std::string> interestNames;   // names of the first predictors of interest; the
                                            // others are "Condition " and a number
  // Not empty: one more confound of this name after the others, the sum of the first three (a
  // linear dependency that no pair of predictors shows). Needs three confounds.
  std::string sumName;
};

// The fewest data points over which each of `interest` predictors of interest gets an event, a
// whole block whose response shows (from the data point after the block's start): one for the
// rest before the first block, one for each condition's block and one for the last response.
// 0 without predictors of interest.
int shortestRun(int interest);

// A matrix of that shape with every header entry present (widths 24, as the host writes them)
// and `fileName` empty; its predictors of kind interest, motion (the six motion parameters),
// confound (the other drifts and the sum) and constant. Each predictor of interest has at least one
// whole block when `shape.points` is shortestRun(shape.interest) or more. Returns an empty matrix
// when a count is negative.
sdm::DesignMatrix generateDesignMatrix(const DesignShape& shape);

}  // namespace tools
