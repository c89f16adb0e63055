#include "diagnostics/variance_inflation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "diagnostics/vector_kernels.h"

namespace {

constexpr double unexplainedFloor = 1.0 / maxVarianceInflation;

// The predictors that take part: included, with a finite positive variance and finite
// correlations with every other one that takes part.
std::vector<std::size_t> takingPart(std::span<const double> gram, const std::vector<bool>& included,
                                    std::size_t k) {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < k; ++i) {
    const double variance = gram[i * k + i];
    if (included[i] && std::isfinite(variance) && variance > 0.0) candidates.push_back(i);
  }
  std::vector<std::size_t> members;
  for (const std::size_t i : candidates) {
    bool finite = true;
    for (const std::size_t j : candidates) finite = finite && std::isfinite(gram[i * k + j]);
    if (finite) members.push_back(i);
  }
  return members;
}

}  // namespace

VarianceInflation varianceInflation(std::span<const double> gram,
                                    const std::vector<bool>& included) {
  const std::size_t k = included.size();
  if (gram.size() != k * k) throw std::invalid_argument("correlations do not fit the predictors");
  VarianceInflation result;
  result.factors.assign(k, std::numeric_limits<double>::quiet_NaN());
  const std::vector<std::size_t> members = takingPart(gram, included, k);
  const std::size_t m = members.size();
  if (m == 0) return result;

  // The correlations of the members (unit diagonal), row-major m x m.
  std::vector<double> scale(m);
  for (std::size_t a = 0; a < m; ++a) scale[a] = std::sqrt(gram[members[a] * k + members[a]]);
  std::vector<double> r(m * m);
  for (std::size_t a = 0; a < m; ++a) {
    for (std::size_t b = 0; b < m; ++b)
      r[a * m + b] = gram[members[a] * k + members[b]] / (scale[a] * scale[b]);
    r[a * m + a] = 1.0;
  }

  // Cholesky in predictor order, one column per kept member: row a of `factor` holds member a's
  // entries of the columns so far, `unexplained` the variance of member a left after regressing
  // it on the members kept so far. A member whose turn comes with no more than the floor left is
  // a combination of earlier ones and is set aside, as regression programs set aside the later
  // of two aliased columns; it keeps receiving entries, for its coefficients below.
  const DotKernel dot = vectorKernels().dot;
  std::vector<double> factor(m * m, 0.0);
  std::vector<double> unexplained(m);
  for (std::size_t a = 0; a < m; ++a) unexplained[a] = r[a * m + a];
  std::vector<std::size_t> chosen;  // members kept, in order
  std::vector<bool> isChosen(m, false);
  for (std::size_t next = 0; next < m; ++next) {
    if (!(unexplained[next] > unexplainedFloor)) continue;
    const std::size_t step = chosen.size();
    const double pivot = std::sqrt(unexplained[next]);
    const double* pivotRow = factor.data() + next * m;
    for (std::size_t a = 0; a < m; ++a) {
      if (isChosen[a] || a == next) continue;
      double* row = factor.data() + a * m;
      row[step] = (r[a * m + next] - dot(row, pivotRow, step)) / pivot;
      unexplained[a] = unexplained[a] - row[step] * row[step];
    }
    factor[next * m + step] = pivot;
    chosen.push_back(next);
    isChosen[next] = true;
  }
  const std::size_t rank = chosen.size();

  std::vector<double>().swap(r);  // no longer needed: the memory goes back before more is taken

  // The kept members' triangular factor L: row c is the row of `factor` of the c-th kept member.
  const auto lower = [&](std::size_t row) { return factor.data() + chosen[row] * m; };

  // The inverse of L column by column, one column at a time in `x` (entries c ... rank - 1): the
  // diagonal of the inverse of the kept members' correlations holds each column's sum of squares.
  std::vector<double> x(rank), inflation(rank);
  for (std::size_t c = 0; c < rank; ++c) {
    x[c] = 1.0 / lower(c)[c];
    double squares = x[c] * x[c];
    for (std::size_t d = c + 1; d < rank; ++d) {
      const double* row = lower(d);
      x[d] = -dot(row + c, x.data() + c, d - c) / row[d];
      squares = squares + x[d] * x[d];
    }
    inflation[c] = squares;
  }

  // Each member left out is a combination of the chosen ones with coefficients
  // beta = L^-T (its row of `factor`). A chosen member belongs to that dependency when the
  // combination cannot do without it: dropping it would leave more than the floor unexplained,
  // and dropping raises the unexplained part by beta^2 / (its factor among the chosen).
  std::vector<bool> dependent(m, false);
  std::vector<double> beta(rank);
  for (std::size_t a = 0; a < m; ++a) {
    if (isChosen[a]) continue;
    dependent[a] = true;
    const double* y = factor.data() + a * m;
    for (std::size_t c = rank; c-- > 0;) {
      double sum = y[c];
      for (std::size_t d = c + 1; d < rank; ++d) sum = sum - lower(d)[c] * beta[d];
      beta[c] = sum / lower(c)[c];
    }
    std::vector<std::size_t> dependency{members[a]};
    std::vector<std::size_t> others;
    for (std::size_t c = 0; c < rank; ++c) {
      if (unexplained[a] + beta[c] * beta[c] / inflation[c] > unexplainedFloor) {
        others.push_back(members[chosen[c]]);
        dependent[chosen[c]] = true;
      }
    }
    std::sort(others.begin(), others.end());
    dependency.insert(dependency.end(), others.begin(), others.end());
    result.dependencies.push_back(std::move(dependency));
  }
  std::sort(result.dependencies.begin(), result.dependencies.end());

  constexpr double inf = std::numeric_limits<double>::infinity();
  for (std::size_t c = 0; c < rank; ++c) {
    const std::size_t a = chosen[c];
    result.factors[members[a]] =
        dependent[a] || !(inflation[c] < maxVarianceInflation) ? inf : inflation[c];
  }
  for (std::size_t a = 0; a < m; ++a) {
    if (!isChosen[a]) result.factors[members[a]] = inf;
  }
  return result;
}
