#include "diagnostics/condition_number.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "diagnostics/symmetric_eigen.h"

double conditionNumber(std::vector<double>& correlations, std::size_t m) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  if (m == 0) return nan;
  const EigenvalueRange range = extremeEigenvalues(correlations, m);
  if (std::isnan(range.smallest) || std::isnan(range.largest)) return nan;
  // Eigenvalues are known to about m x 2^-52 x lambda_max: a smaller one is that bound.
  const double resolution = static_cast<double>(m) * 0x1p-52 * range.largest;
  return std::sqrt(range.largest / std::max(range.smallest, resolution));
}
