#pragma once

#include <cstddef>
#include <span>
#include <vector>

// Sums of products of the predictors about their means in double precision: the one pass over
// the data that the variance inflation factors and the condition number share. Every product
// of two values about their means is rounded to double before it is added, every sum runs in
// data-point order into one accumulator, so the results are the bits of the plain loops
// whichever kernel ran (see blockKernel for the choice and the switch that forces the portable
// one).
namespace diagnostics {

struct CrossProducts {
  std::size_t count = 0;       // predictors, K
  std::size_t dataPoints = 0;  // values per predictor, n
  // Per predictor the mean, (sum of its values in order) / n, in double: NaN when n is 0 or a
  // value is NaN.
  std::vector<double> means;
  // K x K, row-major: cell i * K + j is the sum over t of (x_i[t] - mean_i) * (x_j[t] - mean_j).
  // Exactly symmetric.
  std::vector<double> centred;
};

// The cross products of `predictors` (views of their values, as sdm::valuesOf makes them),
// which must all hold the same number of values (throws std::invalid_argument "predictors
// differ in length" otherwise). Allocates K x K doubles plus about 8 KiB per predictor. Runs on
// up to threadCount() threads (base/thread_count.h), split by predictors and by blocks of rows:
// the same bits for every count.
CrossProducts centredCrossProducts(std::span<const std::span<const float>> predictors);

// The same sums by the literal loops, one cell at a time: the reference that the fast version is
// tested against.
CrossProducts centredCrossProductsReference(std::span<const std::span<const float>> predictors);

}  // namespace diagnostics
