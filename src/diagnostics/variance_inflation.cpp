#include "diagnostics/variance_inflation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "base/parallel.h"
#include "diagnostics/condition_number.h"
#include "diagnostics/pivoted_cholesky.h"
#include "diagnostics/vector_kernels.h"

namespace diagnostics {

using base::threadsFor;
using base::WorkerTeam;

namespace {

using Factorisation = PivotedCholesky;

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

// The diagonal of the inverse of the kept members' correlations: the inverse of L column by
// column, each column's sum of squares. The columns are independent: each part of the team
// takes every parts-th column (the first ones cost the most), with a column of its own in `x`
// (entries c ... rank - 1).
std::vector<double> inverseDiagonal(const Factorisation& f, DotKernel dot, WorkerTeam& team) {
  const std::size_t rank = f.chosen.size();
  std::vector<double> inflation(rank);
  const std::size_t parts = threadsFor(rank * rank, parallelFactorWork) > 1 ? 4 * team.size() : 1;
  team.forEach(parts, [&](std::size_t part) {
    std::vector<double> x(rank);
    for (std::size_t c = part; c < rank; c += parts) {
      x[c] = 1.0 / f.lower(c)[c];
      double squares = x[c] * x[c];
      for (std::size_t d = c + 1; d < rank; ++d) {
        const double* row = f.lower(d);
        x[d] = -dot(row + c, x.data() + c, d - c) / row[d];
        squares = squares + x[d] * x[d];
      }
      inflation[c] = squares;
    }
  });
  return inflation;
}

// Each member left out is a combination of the chosen ones with coefficients
// beta = L^-T (its row of `factor`). A chosen member belongs to that dependency when the
// combination cannot do without it: dropping it would leave more than the floor unexplained,
// and dropping raises the unexplained part by beta^2 / (its factor among the chosen). Adds the
// dependencies to `dependencies` in order and returns which members are in one.
std::vector<bool> findDependencies(const Factorisation& f, const std::vector<double>& inflation,
                                   const std::vector<std::size_t>& members,
                                   std::vector<std::vector<std::size_t>>& dependencies) {
  const std::size_t m = f.m;
  const std::size_t rank = f.chosen.size();
  std::vector<bool> dependent(m, false);
  std::vector<double> beta(rank);
  for (std::size_t a = 0; a < m; ++a) {
    if (f.isChosen[a]) continue;
    dependent[a] = true;
    const double* y = f.factor.data() + a * m;
    for (std::size_t c = rank; c-- > 0;) {
      double sum = y[c];
      for (std::size_t d = c + 1; d < rank; ++d) sum = sum - f.lower(d)[c] * beta[d];
      beta[c] = sum / f.lower(c)[c];
    }
    std::vector<std::size_t> dependency{members[a]};
    std::vector<std::size_t> others;
    for (std::size_t c = 0; c < rank; ++c) {
      if (f.unexplained[a] + beta[c] * beta[c] / inflation[c] > unexplainedFloor) {
        others.push_back(members[f.chosen[c]]);
        dependent[f.chosen[c]] = true;
      }
    }
    std::sort(others.begin(), others.end());
    dependency.insert(dependency.end(), others.begin(), others.end());
    dependencies.push_back(std::move(dependency));
  }
  std::sort(dependencies.begin(), dependencies.end());
  return dependent;
}

}  // namespace

VarianceInflation varianceInflation(std::span<const double> gram,
                                    const std::vector<bool>& included) {
  const std::size_t k = included.size();
  if (gram.size() != k * k) throw std::invalid_argument("correlations do not fit the predictors");
  VarianceInflation result;
  result.factors.assign(k, std::numeric_limits<double>::quiet_NaN());
  result.conditionNumber = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::size_t> members = takingPart(gram, included, k);
  const std::size_t m = members.size();
  if (m == 0) return result;

  const DotKernel dot = vectorKernels().dot;
  WorkerTeam team(threadsFor(m * m, parallelFactorWork));
  std::vector<double> r = memberCorrelations(gram, members, k, team);
  {
    // The copy goes before the factorisation takes its own table.
    std::vector<double> copy = r;
    result.conditionNumber = conditionNumber(copy, m, team);
  }
  const Factorisation f = diagnostics::pivotedCholesky(std::move(r), m, dot, team);
  const std::vector<double> inflation = inverseDiagonal(f, dot, team);
  const std::vector<bool> dependent = findDependencies(f, inflation, members, result.dependencies);

  constexpr double inf = std::numeric_limits<double>::infinity();
  if (!result.dependencies.empty()) result.conditionNumber = inf;
  for (std::size_t c = 0; c < f.chosen.size(); ++c) {
    const std::size_t a = f.chosen[c];
    result.factors[members[a]] = dependent[a] ? inf : inflation[c];
  }
  for (std::size_t a = 0; a < m; ++a) {
    if (!f.isChosen[a]) result.factors[members[a]] = inf;
  }
  return result;
}

}  // namespace diagnostics
