#pragma once

#include <cstddef>
#include <vector>

namespace base {
class WorkerTeam;
}

// The extreme eigenvalues of a real symmetric matrix, for the condition number of a design.
namespace diagnostics {

struct EigenvalueRange {
  double smallest;
  double largest;
};

// The smallest and largest eigenvalue of the symmetric m x m matrix `a` (row-major; only the
// lower triangle, diagonal included, is read): Householder reflections reduce it to tridiagonal
// form, bisection on Sturm counts finds the two ends. Each is found to within a few units in the
// last place of the tridiagonal form, which is exact for a matrix within about m * 2^-52 * |a| of
// `a`. Overwrites `a`. Both are NaN when m is 0 or a cell is not finite. Time about 2/3 m^3
// multiplies and adds; the steps on 192 rows or more run on up to threadCount() threads
// (base/parallel.h), split by columns and rows so that every entry keeps the sums of one thread:
// the same bits for every count. The second form runs them on `team`, which the caller has
// started for work of its own.
EigenvalueRange extremeEigenvalues(std::vector<double>& a, std::size_t m);
EigenvalueRange extremeEigenvalues(std::vector<double>& a, std::size_t m, base::WorkerTeam& team);

}  // namespace diagnostics
