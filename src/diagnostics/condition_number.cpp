#include "diagnostics/condition_number.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/parallel.h"
#include "diagnostics/symmetric_eigen.h"

double conditionNumber(const CrossProducts& products) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  const std::size_t m = products.count;
  const auto n = static_cast<double>(products.dataPoints);
  if (m == 0 || products.dataPoints == 0) return nan;

  // Sums of products about zero: about the means plus n times the product of the means (the
  // sums of the values about their means are zero to rounding). The columns' lengths first.
  const auto aboutZero = [&](std::size_t i, std::size_t j) {
    return products.centred[i * m + j] + n * products.means[i] * products.means[j];
  };
  std::vector<double> length(m);
  for (std::size_t i = 0; i < m; ++i) {
    const double square = aboutZero(i, i);
    if (!std::isfinite(square)) return nan;
    if (square <= 0.0) return inf;  // a column of zeros
    length[i] = std::sqrt(square);
  }
  // Then every cell scaled by the lengths of its row and column, rows split among the threads.
  std::vector<double> scaled(m * m);
  const std::size_t parts = std::min<std::size_t>(m, 64);
  parallelFor(
      parts,
      [&](std::size_t part) {
        for (std::size_t i = partBegin(m, parts, part); i < partBegin(m, parts, part + 1); ++i) {
          for (std::size_t j = 0; j < m; ++j)
            scaled[i * m + j] = aboutZero(i, j) / (length[i] * length[j]);
        }
      },
      threadsFor(m * m, std::size_t{1} << 16));
  const EigenvalueRange range = extremeEigenvalues(scaled, m);
  if (std::isnan(range.smallest) || std::isnan(range.largest)) return nan;
  // Eigenvalues are squared singular values.
  if (!(range.smallest > range.largest / (maxConditionNumber * maxConditionNumber))) return inf;
  const double ratio = std::sqrt(range.largest / range.smallest);
  return ratio < maxConditionNumber ? ratio : inf;
}
