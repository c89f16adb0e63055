#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "diagnostics/variance_inflation.h"
#include "diagnostics/vector_kernels.h"

namespace base {
class WorkerTeam;
}  // namespace base

// The Cholesky factorisation of a correlation matrix in predictor order that sets aside every
// predictor the ones kept before it explain: what the variance inflation factors, the listed
// dependencies and the contrasts' estimates all stand on, so that they agree on what depends.

namespace diagnostics {

// A predictor left with no more than this of its variance by the kept ones before it is set
// aside as a combination of them.
inline constexpr double unexplainedFloor = 1.0 / maxVarianceInflation;

// Members times kept columns below which a column of the factorisation (or of an inverse of its
// factor) is computed on one thread: shorter work than handing it out.
inline constexpr std::size_t parallelFactorWork = std::size_t{1} << 15;

// The factorisation of m members' correlations, one column per kept member: row a of `factor`
// (m x m, row-major) holds member a's entries of the columns so far, `unexplained` the variance
// of member a left after regressing it on the members kept before it. For a member set aside,
// its row's first chosen.size() entries y give its coefficients on the kept ones, L^-T y.
struct PivotedCholesky {
  std::size_t m = 0;
  std::vector<double> factor;
  std::vector<double> unexplained;
  std::vector<std::size_t> chosen;  // members kept, in order
  std::vector<bool> isChosen;
  // Row `row` of the kept members' triangular factor L: the row of `factor` of the row-th kept
  // member (entries 0 ... row).
  const double* lower(std::size_t row) const { return factor.data() + chosen[row] * m; }
};

// The correlations (unit diagonal) of the `members`, row-major members.size() squared, from the
// K x K sums of products `gram`, whose members' diagonal cells must be positive. Rows split
// among `team`: the same bits for every size.
std::vector<double> memberCorrelations(std::span<const double> gram,
                                       const std::vector<std::size_t>& members, std::size_t k,
                                       base::WorkerTeam& team);

// Factorises the m x m correlations `r` (taken by value: its memory goes back before the
// factor's is used). A member whose turn comes with no more than unexplainedFloor left is set
// aside. Time about m^3 / 3 on `team`, the same bits for every size.
PivotedCholesky pivotedCholesky(std::vector<double> r, std::size_t m, DotKernel dot,
                                base::WorkerTeam& team);

}  // namespace diagnostics
