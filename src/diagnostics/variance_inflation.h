#pragma once

#include <cstddef>
#include <span>
#include <vector>

// Variance inflation factors: for each predictor 1 / (1 - R^2), R^2 from regressing it on all
// the other predictors, which is the diagonal of the inverse of their correlation matrix. A
// predictor that pairs show nothing wrong with can still be (nearly) a combination of several
// others; its factor then grows without bound.
namespace diagnostics {

// A predictor whose variance the predictors before it explain to within 1 / this of it counts as
// linearly dependent on them: closer than values written with six decimals tell apart.
inline constexpr double maxVarianceInflation = 1e6;

struct VarianceInflation {
  // Per predictor: the factor (1 or more up to rounding), 1 / (1 - R^2) on all the other
  // predictors that take part; +inf exactly for a predictor in a listed dependency; NaN for a
  // predictor left out: not included, or a correlation of it that is not finite.
  std::vector<double> factors;
  // The dependencies found, each a predictor that is (to within 1 / maxVarianceInflation of its
  // variance) a combination of predictors before it, followed by the predictors that combination
  // cannot do without, in increasing order. Ordered by their first entry.
  std::vector<std::vector<std::size_t>> dependencies;
  // The condition number (conditionNumber) of the correlation matrix of the predictors that
  // have a factor: +inf exactly when `dependencies` is not empty, NaN when none has a factor.
  double conditionNumber = 0.0;
};

// The factors of the predictors whose `included` flag is set, from `gram`: K x K cells
// row-major, symmetric, the correlations of the K predictors or anything that is a correlation
// matrix with rows and columns scaled (covariances, sums of products about the means). Works in
// double precision: a Cholesky factorisation in predictor order that sets aside every predictor
// whose variance the ones kept before it explain to within 1 / maxVarianceInflation (the
// dependent ones); the factors of the kept ones come from the inverse of the factor, the
// condition number from the extreme eigenvalues of the same correlations. Throws
// std::invalid_argument when the sizes do not fit. Time about K^3 multiplies and adds, on up to
// threadCount() threads (base/thread_count.h) for large K, split by members and by columns of the
// inverse: the same bits for every count.
VarianceInflation varianceInflation(std::span<const double> gram,
                                    const std::vector<bool>& included);

}  // namespace diagnostics
