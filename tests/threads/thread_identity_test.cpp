// The parallel steps give the bits of one thread for any count: the correlation cells (whole,
// in bands, in column pieces), every step of the eigenvalue reduction, and the design diagnostics
// (cross products, variance inflation factors, condition number), on shapes that fit no block
// size (K and n odd, K below the thread count, K = 1, n = 1), compared bit for bit for 1, 2 and
// 7 threads. (The other unit tests, run on all cores, compare the fast paths with the literal
// ones.)

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "correlation/block_kernel.h"
#include "correlation/correlation_matrix.h"
#include "correlation/random_predictors.h"
#include "design_generator.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/symmetric_eigen.h"
#include "sdm/design_matrix.h"

namespace {

using random_predictors::randomMatrix;
using random_predictors::Values;

// The thread counts every result is compared across; the first is the reference.
const std::size_t threadCounts[] = {1, 2, 7};

// True when the two hold the same bytes (NaN payloads and signed zeros included).
template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// `compute` under each thread count, then the count back to the automatic one.
template <typename Result>
std::vector<Result> underEachCount(const std::function<Result()>& compute) {
  std::vector<Result> results;
  for (const std::size_t threads : threadCounts) {
    forceThreadCount(threads);
    results.push_back(compute());
  }
  forceThreadCount(0);
  return results;
}

struct Shape {
  std::size_t k, n;
};

// K and n that fit no panel (16), block (4) or piece (128), K below the thread count, K = 1 and
// n = 1, and a K beyond the size from which the diagnostics' steps split.
const Shape shapes[] = {{1, 1},    {1, 40},   {2, 1},    {3, 7},    {5, 300},
                        {17, 129}, {37, 131}, {70, 257}, {131, 77}, {203, 45}};

TEST(ThreadsIdentity, CorrelationCellsAreTheSameBitsForEveryThreadCount) {
  for (const bool portable : {true, false}) {
    if (!portable && !avx2KernelsSupported()) continue;
    forcePortableKernels(portable);
    for (const Shape& shape : shapes) {
      std::mt19937 random(static_cast<unsigned>(shape.k * 1000 + shape.n));
      const std::vector<Values> predictors = randomMatrix(random, shape.k, shape.n);
      const auto results =
          underEachCount<std::vector<float>>([&] { return correlationMatrix(predictors); });
      for (std::size_t c = 1; c < results.size(); ++c) {
        EXPECT_TRUE(sameBits(results[c], results[0]))
            << activeKernelName() << ", K " << shape.k << ", n " << shape.n << ", "
            << threadCounts[c] << " threads";
      }
    }
    forcePortableKernels(false);
  }
}

// The cells as the report streams them, under a cell limit that makes bands and column pieces.
std::vector<float> streamed(const std::vector<Values>& predictors, std::size_t cellLimit) {
  std::vector<float> cells;
  forEachCorrelationPiece(
      predictors,
      [&](std::size_t, std::size_t, std::span<const float> piece) {
        cells.insert(cells.end(), piece.begin(), piece.end());
      },
      cellLimit);
  return cells;
}

TEST(ThreadsIdentity, StreamedBandsAndColumnPiecesAreTheSameBitsForEveryThreadCount) {
  std::mt19937 random(11);
  const std::vector<Values> predictors = randomMatrix(random, 53, 139);
  forceThreadCount(1);
  const std::vector<float> whole = correlationMatrix(predictors);
  for (const std::size_t limit : {std::size_t{200}, std::size_t{20}, std::size_t{1}}) {
    const auto results =
        underEachCount<std::vector<float>>([&] { return streamed(predictors, limit); });
    for (std::size_t c = 0; c < results.size(); ++c) {
      EXPECT_TRUE(sameBits(results[c], whole))
          << "limit " << limit << ", " << threadCounts[c] << " threads";
    }
  }
}

TEST(ThreadsIdentity, EigenvaluesAreTheSameBitsForEveryThreadCount) {
  // From 192 rows on, the reduction's steps split.
  for (const std::size_t m :
       {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{193}, std::size_t{301}}) {
    std::mt19937 random(static_cast<unsigned>(m));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> a(m * m);
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t j = 0; j <= i; ++j) a[i * m + j] = a[j * m + i] = uniform(random);
    }
    const auto results = underEachCount<std::vector<double>>([&] {
      std::vector<double> copy = a;
      const EigenvalueRange range = extremeEigenvalues(copy, m);
      copy.push_back(range.smallest);
      copy.push_back(range.largest);
      return copy;  // the reduced matrix too: every entry of every step
    });
    for (std::size_t c = 1; c < results.size(); ++c)
      EXPECT_TRUE(sameBits(results[c], results[0])) << "m " << m << ", " << threadCounts[c];
  }
}

TEST(ThreadsIdentity, DesignDiagnosticsAreTheSameForEveryThreadCount) {
  for (const int k : {1, 4, 23, 230}) {
    DesignShape shape;
    shape.interest = k / 4;
    shape.confounds = k - shape.interest - (k > 1 ? 1 : 0);
    shape.constant = k > 1;
    shape.points = 200 + k;
    shape.seed = static_cast<uint64_t>(k);
    if (k >= 23) shape.sumName = "Sum";  // a dependency for the inflation factors to find
    const DesignMatrix matrix = generateDesignMatrix(shape);
    const auto results = underEachCount<DesignDiagnostics>([&] { return diagnoseDesign(matrix); });
    EXPECT_EQ(results[0].dependencies.empty(), k < 23) << k;
    for (std::size_t c = 1; c < results.size(); ++c) {
      const DesignDiagnostics& d = results[c];
      EXPECT_TRUE(sameBits(d.varianceInflation, results[0].varianceInflation)) << k;
      EXPECT_EQ(d.dependencies, results[0].dependencies);
      EXPECT_EQ(std::memcmp(&d.conditionNumber, &results[0].conditionNumber, sizeof(double)), 0)
          << k << ": " << d.conditionNumber << " vs " << results[0].conditionNumber;
      EXPECT_EQ(d.roles, results[0].roles);
      EXPECT_EQ(d.computed, results[0].computed);
    }
  }
}

}  // namespace
