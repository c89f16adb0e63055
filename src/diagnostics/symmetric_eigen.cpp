#include "diagnostics/symmetric_eigen.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/parallel.h"
#include "diagnostics/vector_kernels.h"

namespace diagnostics {

namespace {

struct Tridiagonal {
  std::vector<double> diagonal;     // m values
  std::vector<double> offDiagonal;  // m - 1 values
};

// The Euclidean length of `x`, scaled by its largest magnitude so that no square overflows.
double length(const double* x, std::size_t p) {
  double largest = 0.0;
  for (std::size_t i = 0; i < p; ++i) largest = std::max(largest, std::fabs(x[i]));
  if (largest == 0.0) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < p; ++i) {
    const double y = x[i] / largest;
    sum = sum + y * y;
  }
  return largest * std::sqrt(sum);
}

// Rows and columns of a trailing block below which one step of the reduction runs on one
// thread: its work (about size^2 multiplies and adds) is then shorter than handing it out.
constexpr std::size_t parallelSize = 192;

// The parts one step's work is split into: one per thread of the team for a large block.
std::size_t stepParts(std::size_t size, const base::WorkerTeam& team) {
  return base::threadsFor(size, parallelSize) > 1 ? team.size() : 1;
}

// p = A v over the trailing block (lower triangle only, `block` its first row at column 0, row
// stride m): entry j is the dot product of row j's part left of the diagonal and v, then plus
// A[i][j] v[i] for every row i below j in order. Each part of the team takes a strip of columns
// (the same work for every column: size multiplies and adds) and runs through the rows below
// the strip's start, so that every entry gets its sums in the order of one thread.
void blockTimesVector(const double* block, std::size_t m, std::size_t size, const double* v,
                      double* p, base::WorkerTeam& team, const VectorKernels& kernels) {
  const std::size_t parts = stepParts(size, team);
  team.forEach(parts, [&](std::size_t part) {
    const std::size_t j0 = base::partBegin(size, parts, part),
                      j1 = base::partBegin(size, parts, part + 1);
    // The strip's sums in memory of its own: the ends of neighbouring strips share a cache line.
    std::vector<double> strip(j1 - j0, 0.0);
    for (std::size_t i = j0; i < size; ++i) {
      const double* row = block + i * m;
      const std::size_t left = std::min(i, j1);
      if (left > j0) kernels.addScaled(strip.data(), v[i], row + j0, left - j0);
      if (i < j1) strip[i - j0] = strip[i - j0] + kernels.dot(row, v, i + 1);
    }
    std::copy(strip.begin(), strip.end(), p + j0);
  });
}

// A <- A - v w^T - w v^T on the lower triangle of the trailing block, row by row: each part of
// the team takes rows of about equal area (row i holds i + 1 entries).
void rankTwoUpdate(double* block, std::size_t m, std::size_t size, const double* v, const double* w,
                   base::WorkerTeam& team, const VectorKernels& kernels) {
  const std::size_t parts = stepParts(size, team);
  const auto rowBegin = [&](std::size_t part) {
    if (part == parts) return size;
    const double share = static_cast<double>(part) / static_cast<double>(parts);
    return static_cast<std::size_t>(static_cast<double>(size) * std::sqrt(share));
  };
  team.forEach(parts, [&](std::size_t part) {
    for (std::size_t i = rowBegin(part); i < rowBegin(part + 1); ++i)
      kernels.subtractTwo(block + i * m, v[i], w, w[i], v, i + 1);
  });
}

// Step k maps column k below the diagonal onto its first place by the reflection
// H = I - tau v v^T and applies H to the trailing block from both sides:
// A <- A - v w^T - w v^T with p = tau A v and w = p - (tau / 2)(p^T v) v. Only the lower
// triangle is read and written.
Tridiagonal tridiagonalise(std::vector<double>& a, std::size_t m, base::WorkerTeam& team) {
  Tridiagonal t{std::vector<double>(m), std::vector<double>(m > 0 ? m - 1 : 0)};
  std::vector<double> v(m), p(m);
  const VectorKernels kernels = vectorKernels();
  for (std::size_t k = 0; k + 2 < m; ++k) {
    const std::size_t first = k + 1, size = m - first;
    t.diagonal[k] = a[k * m + k];
    for (std::size_t i = 0; i < size; ++i) v[i] = a[(first + i) * m + k];
    const double norm = length(v.data(), size);
    if (norm == 0.0) {
      t.offDiagonal[k] = 0.0;
      continue;
    }
    const double x0 = v[0];
    const double alpha = x0 > 0.0 ? -norm : norm;
    v[0] = x0 - alpha;
    // v^T v = 2 (norm^2 - alpha x0) = 2 norm (norm + |x0|).
    const double tau = 1.0 / (norm * (norm + std::fabs(x0)));
    t.offDiagonal[k] = alpha;

    double* block = a.data() + first * m + first;
    blockTimesVector(block, m, size, v.data(), p.data(), team, kernels);
    double pv = 0.0;
    for (std::size_t i = 0; i < size; ++i) {
      p[i] = tau * p[i];
      pv = pv + p[i] * v[i];
    }
    const double half = 0.5 * tau * pv;
    for (std::size_t i = 0; i < size; ++i) p[i] = p[i] - half * v[i];  // p is now w
    rankTwoUpdate(block, m, size, v.data(), p.data(), team, kernels);
  }
  if (m >= 2) {
    t.diagonal[m - 2] = a[(m - 2) * m + (m - 2)];
    t.offDiagonal[m - 2] = a[(m - 1) * m + (m - 2)];
  }
  if (m >= 1) t.diagonal[m - 1] = a[(m - 1) * m + (m - 1)];
  return t;
}

// The number of eigenvalues below x: the negative pivots of T - x I (Sturm). A pivot that
// comes out zero is replaced by a tiny negative one, as a perturbation of T far below its
// rounding.
std::size_t countBelow(const Tridiagonal& t, double x, double tiny) {
  std::size_t count = 0;
  double q = t.diagonal[0] - x;
  for (std::size_t i = 0;; ++i) {
    if (std::fabs(q) < tiny) q = -tiny;
    if (q < 0.0) ++count;
    if (i + 1 == t.diagonal.size()) break;
    const double e = t.offDiagonal[i];
    q = (t.diagonal[i + 1] - x) - (e * e) / q;
  }
  return count;
}

// The x where the count of eigenvalues below it reaches `rank`, between `low` (count below
// rank) and `high` (count at least rank): halves the interval until it is a few units in the
// last place wide, or at most 200 times (eigenvalues near zero then are known to 2^-200 of
// the starting interval).
double bisect(const Tridiagonal& t, std::size_t rank, double low, double high, double tiny) {
  for (int step = 0; step < 200; ++step) {
    const double middle = low + 0.5 * (high - low);
    if (middle <= low || middle >= high) break;
    if (high - low <=
        4.0 * std::numeric_limits<double>::epsilon() * std::max(std::fabs(low), std::fabs(high)))
      break;
    if (countBelow(t, middle, tiny) >= rank)
      high = middle;
    else
      low = middle;
  }
  return low + 0.5 * (high - low);
}

}  // namespace

EigenvalueRange extremeEigenvalues(std::vector<double>& a, std::size_t m) {
  base::WorkerTeam team(base::threadsFor(m, parallelSize));
  return extremeEigenvalues(a, m, team);
}

EigenvalueRange extremeEigenvalues(std::vector<double>& a, std::size_t m, base::WorkerTeam& team) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  if (m == 0 || a.size() < m * m) return {nan, nan};
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      if (!std::isfinite(a[i * m + j])) return {nan, nan};
    }
  }
  const Tridiagonal t = tridiagonalise(a, m, team);

  // Gershgorin's discs hold every eigenvalue; widened a little so that the ends count right.
  double low = std::numeric_limits<double>::infinity(), high = -low, largestSquare = 0.0;
  for (std::size_t i = 0; i < m; ++i) {
    const double left = i > 0 ? std::fabs(t.offDiagonal[i - 1]) : 0.0;
    const double right = i + 1 < m ? std::fabs(t.offDiagonal[i]) : 0.0;
    low = std::min(low, t.diagonal[i] - left - right);
    high = std::max(high, t.diagonal[i] + left + right);
    largestSquare = std::max(largestSquare, right * right);
  }
  const double margin =
      2.0 * std::numeric_limits<double>::epsilon() * std::max(std::fabs(low), std::fabs(high)) +
      std::numeric_limits<double>::min();
  low -= margin;
  high += margin;
  const double tiny = std::numeric_limits<double>::min() * std::max(1.0, largestSquare);
  return {bisect(t, 1, low, high, tiny), bisect(t, m, low, high, tiny)};
}

}  // namespace diagnostics
