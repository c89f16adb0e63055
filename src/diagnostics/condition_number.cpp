#include "diagnostics/condition_number.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "diagnostics/symmetric_eigen.h"

namespace diagnostics {

namespace {

// The condition number from the extreme eigenvalues of an m x m correlation matrix.
double fromRange(const EigenvalueRange& range, std::size_t m) {
  if (std::isnan(range.smallest) || std::isnan(range.largest))
    return std::numeric_limits<double>::quiet_NaN();
  // Eigenvalues are known to about m x 2^-52 x lambda_max: a smaller one is that bound.
  const double resolution = static_cast<double>(m) * 0x1p-52 * range.largest;
  return std::sqrt(range.largest / std::max(range.smallest, resolution));
}

}  // namespace

double conditionNumber(std::vector<double>& correlations, std::size_t m) {
  return fromRange(extremeEigenvalues(correlations, m), m);
}

double conditionNumber(std::vector<double>& correlations, std::size_t m, base::WorkerTeam& team) {
  return fromRange(extremeEigenvalues(correlations, m, team), m);
}

}  // namespace diagnostics
