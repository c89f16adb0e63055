#pragma once

#include <cstddef>
#include <vector>

#include "correlation/correlation.h"
#include "correlation/predictor_role.h"

namespace sdm {
class DesignMatrix;
}

// Collinearity of a whole design beyond pairs: each predictor's role and statistics, its
// variance inflation factor, the linear dependencies found, and the condition number.
namespace diagnostics {

// The most predictors diagnosed: the work grows with the cube of their number (about 0.3 s for
// a thousand), the memory with the square (at most three K x K tables of doubles, 96 MiB here).
inline constexpr std::size_t maxDiagnosedPredictors = 2048;

struct DesignDiagnostics {
  // Per predictor of the matrix, in order.
  std::vector<correlation::PredictorRole> roles;
  std::vector<correlation::PredictorStats> stats;  // predictorStats, as the report computes them
  // Variance inflation factors (see VarianceInflation) of the predictors of interest and the
  // confounds, from their correlations computed in double precision; NaN for constant and flat
  // predictors, for predictors with a value that is not finite, and for all when not computed.
  std::vector<double> varianceInflation;
  // Linear dependencies, as predictor indices (see VarianceInflation::dependencies).
  std::vector<std::vector<std::size_t>> dependencies;
  // The condition number of the correlation matrix of the predictors that have a factor (see
  // VarianceInflation::conditionNumber): +inf exactly when `dependencies` is not empty; NaN when
  // not computed or when no predictor has a factor.
  double conditionNumber = 0.0;
  // False when the predictors are more than maxDiagnosedPredictors or differ in length: then
  // only the roles and statistics are filled in.
  bool computed = false;
  // The predictors are more than maxDiagnosedPredictors: the diagnostics were skipped.
  bool tooManyPredictors = false;
};

// Everything above for `matrix`, in one pass over its values in double precision plus about
// K^3 / 3 (factors) and 2/3 K^3 (condition number) multiplies and adds.
DesignDiagnostics diagnoseDesign(const sdm::DesignMatrix& matrix);

}  // namespace diagnostics
