#pragma once

#include <cstddef>
#include <vector>

namespace base {
class WorkerTeam;
}

// The condition number of a design: sqrt(lambda_max / lambda_min) of the correlation matrix of
// its predictors (centred columns of unit length; the constant is not one of them). It measures
// collinearity among the regressors, not with the intercept, which a GLM in double precision
// absorbs. From 30 on a design is called ill-conditioned.
namespace diagnostics {

// The condition number of the m x m correlation matrix `correlations` (row-major, unit
// diagonal; only the lower triangle is read), in double precision: the square root of the ratio
// of its extreme eigenvalues. NaN when m is 0 or a cell is not finite. For a matrix whose
// smallest eigenvalue rounding cannot tell from zero the ratio is taken against m x 2^-52 x
// lambda_max, so the result is finite; whether the predictors are linearly dependent is for the
// caller to say (see VarianceInflation). Overwrites `correlations`. Time about 2/3 m^3. The
// second form runs on `team` (see extremeEigenvalues).
double conditionNumber(std::vector<double>& correlations, std::size_t m);
double conditionNumber(std::vector<double>& correlations, std::size_t m, base::WorkerTeam& team);

}  // namespace diagnostics
