#include "diagnostics/condition_number.h"

#include <cmath>
#include <limits>
#include <vector>

#include "diagnostics/symmetric_eigen.h"

double conditionNumber(const CrossProducts& products) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  const std::size_t m = products.count;
  const auto n = static_cast<double>(products.dataPoints);
  if (m == 0 || products.dataPoints == 0) return nan;

  // Sums of products about zero: about the means plus n times the product of the means (the
  // sums of the values about their means are zero to rounding).
  std::vector<double> scaled(m * m);
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j) {
      scaled[i * m + j] = products.centred[i * m + j] + n * products.means[i] * products.means[j];
    }
  }
  std::vector<double> length(m);
  for (std::size_t i = 0; i < m; ++i) {
    const double square = scaled[i * m + i];
    if (!std::isfinite(square)) return nan;
    if (square <= 0.0) return inf;  // a column of zeros
    length[i] = std::sqrt(square);
  }
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j)
      scaled[i * m + j] = scaled[i * m + j] / (length[i] * length[j]);
  }
  const EigenvalueRange range = extremeEigenvalues(scaled, m);
  if (std::isnan(range.smallest) || std::isnan(range.largest)) return nan;
  // Eigenvalues are squared singular values.
  if (!(range.smallest > range.largest / (maxConditionNumber * maxConditionNumber))) return inf;
  const double ratio = std::sqrt(range.largest / range.smallest);
  return ratio < maxConditionNumber ? ratio : inf;
}
