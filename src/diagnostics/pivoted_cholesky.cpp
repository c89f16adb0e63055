#include "diagnostics/pivoted_cholesky.h"

#include <algorithm>
#include <cmath>

#include "base/parallel.h"

namespace diagnostics {

using base::partBegin;
using base::threadsFor;
using base::WorkerTeam;

std::vector<double> memberCorrelations(std::span<const double> gram,
                                       const std::vector<std::size_t>& members, std::size_t k,
                                       WorkerTeam& team) {
  const std::size_t m = members.size();
  std::vector<double> scale(m);
  for (std::size_t a = 0; a < m; ++a) scale[a] = std::sqrt(gram[members[a] * k + members[a]]);
  std::vector<double> r(m * m);
  const std::size_t parts = std::min(m, 4 * team.size());
  team.forEach(parts, [&](std::size_t part) {
    for (std::size_t a = partBegin(m, parts, part); a < partBegin(m, parts, part + 1); ++a) {
      for (std::size_t b = 0; b < m; ++b)
        r[a * m + b] = gram[members[a] * k + members[b]] / (scale[a] * scale[b]);
      r[a * m + a] = 1.0;
    }
  });
  return r;
}

// A member set aside is a combination of earlier ones, as regression programs set aside the
// later of two aliased columns; it keeps receiving entries, for its coefficients. The members
// of a column are split into parts of the team's work: each entry is one member's own sum.
PivotedCholesky pivotedCholesky(std::vector<double> r, std::size_t m, DotKernel dot,
                                WorkerTeam& team) {
  PivotedCholesky f;
  f.m = m;
  f.factor.assign(m * m, 0.0);
  f.unexplained.resize(m);
  for (std::size_t a = 0; a < m; ++a) f.unexplained[a] = r[a * m + a];
  f.isChosen.assign(m, false);
  for (std::size_t next = 0; next < m; ++next) {
    if (!(f.unexplained[next] > unexplainedFloor)) continue;
    const std::size_t step = f.chosen.size();
    const double pivot = std::sqrt(f.unexplained[next]);
    const double* pivotRow = f.factor.data() + next * m;
    const std::size_t parts = threadsFor(m * step, parallelFactorWork) > 1 ? team.size() : 1;
    team.forEach(parts, [&](std::size_t part) {
      for (std::size_t a = partBegin(m, parts, part); a < partBegin(m, parts, part + 1); ++a) {
        if (f.isChosen[a] || a == next) continue;
        double* row = f.factor.data() + a * m;
        row[step] = (r[a * m + next] - dot(row, pivotRow, step)) / pivot;
        f.unexplained[a] = f.unexplained[a] - row[step] * row[step];
      }
    });
    f.factor[next * m + step] = pivot;
    f.chosen.push_back(next);
    f.isChosen[next] = true;
  }
  return f;
}

}  // namespace diagnostics
