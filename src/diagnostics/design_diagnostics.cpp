#include "diagnostics/design_diagnostics.h"

#include <algorithm>
#include <limits>
#include <span>

#include "base/parallel.h"
#include "diagnostics/cross_products.h"
#include "diagnostics/variance_inflation.h"
#include "sdm/design_matrix.h"

namespace diagnostics {

DesignDiagnostics diagnoseDesign(const sdm::DesignMatrix& matrix) {
  const std::size_t k = matrix.predictors.size();
  const std::vector<std::span<const float>> predictors = sdm::valuesOf(matrix.predictors);
  DesignDiagnostics result;
  result.conditionNumber = std::numeric_limits<double>::quiet_NaN();
  result.varianceInflation.assign(k, std::numeric_limits<double>::quiet_NaN());

  const std::size_t firstConfound = correlation::confoundStart(matrix, k);
  std::vector<bool> included(k);
  // Each predictor's statistics are its own sums: the predictors are split among the threads.
  result.stats.resize(k);
  std::size_t values = 0;
  for (const auto& p : predictors) values += p.size();
  const std::size_t parts = std::min<std::size_t>(k, 64);
  base::parallelFor(
      parts,
      [&](std::size_t part) {
        for (std::size_t i = base::partBegin(k, parts, part);
             i < base::partBegin(k, parts, part + 1); ++i)
          result.stats[i] = correlation::predictorStats(predictors[i]);
      },
      base::threadsFor(values, std::size_t{1} << 18));
  for (std::size_t i = 0; i < k; ++i) {
    result.roles.push_back(correlation::roleOf(predictors[i], result.stats[i], i, firstConfound));
    included[i] = correlation::correlates(result.roles[i]);
  }

  const bool sameLength = std::all_of(predictors.begin(), predictors.end(), [&](const auto& p) {
    return p.size() == predictors.front().size();
  });
  result.tooManyPredictors = k > maxDiagnosedPredictors;
  if (k == 0 || result.tooManyPredictors || !sameLength) return result;
  const CrossProducts products = centredCrossProducts(predictors);
  VarianceInflation inflation = varianceInflation(products.centred, included);
  result.varianceInflation = std::move(inflation.factors);
  result.dependencies = std::move(inflation.dependencies);
  result.conditionNumber = inflation.conditionNumber;
  result.computed = true;
  return result;
}

}  // namespace diagnostics
