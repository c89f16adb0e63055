// The parallel steps give the bits of one thread for any count, compared for 1, 2 and 7 threads:
// the correlation cells (whole, in bands, in column pieces), every step of the eigenvalue
// reduction and the design diagnostics, on shapes that fit no block size. (The other unit tests,
// run on all cores, compare the fast paths with the literal ones.)

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "base/cpu_features.h"
#include "base/parallel.h"
#include "correlation/block_kernel.h"
#include "correlation/correlation_matrix.h"
#include "correlation/random_predictors.h"
#include "design_generator.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/symmetric_eigen.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"
#include "threads/threads_support.h"

using namespace base;
using namespace sdm;
using namespace correlation;
using namespace diagnostics;
using namespace tools;

namespace {

using random_predictors::randomMatrix;
using random_predictors::Values;
using threads_support::bytesOf;
using threads_support::sameForEveryCount;

TEST(ThreadsIdentity, CorrelationCellsAreTheSameBitsForEveryThreadCount) {
  // K and n that fit no panel (16), block (4) or piece (128), K below the thread count, K = 1 and
  // n = 1, and a K beyond the size from which the diagnostics' steps split.
  const std::size_t shapes[][2] = {{1, 1},    {1, 40},   {2, 1},    {3, 7},    {5, 300},
                                   {17, 129}, {37, 131}, {70, 257}, {131, 77}, {203, 45}};
  for (const bool portable : {true, false}) {
    if (!portable && !processorHasAvx2()) continue;
    const ScopedCpuFeatures features({.avx2 = !portable});
    for (const auto [k, n] : shapes) {
      std::mt19937 random(static_cast<unsigned>(k * 1000 + n));
      const std::vector<Values> predictors = randomMatrix(random, k, n);
      sameForEveryCount(
          std::string(activeKernelName()) + ", K " + std::to_string(k) + ", n " + std::to_string(n),
          [&] { return correlationMatrix(testing_support::spansOf(predictors)); });
    }
  }
}

TEST(ThreadsIdentity, StreamedBandsAndColumnPiecesAreTheSameBitsForEveryThreadCount) {
  std::mt19937 random(11);
  const std::vector<Values> predictors = randomMatrix(random, 53, 139);
  const std::vector<float> whole = [&] {
    const ScopedThreadCount single(1);
    return correlationMatrix(testing_support::spansOf(predictors));
  }();
  // Cell limits that make bands and column pieces.
  for (const std::size_t limit : {200u, 20u, 1u}) {
    const std::vector<float> streamed = sameForEveryCount("limit " + std::to_string(limit), [&] {
      std::vector<float> cells;
      forEachCorrelationPiece(
          testing_support::spansOf(predictors),
          [&](std::size_t, std::size_t, std::span<const float> piece) {
            cells.insert(cells.end(), piece.begin(), piece.end());
          },
          limit);
      return cells;
    });
    EXPECT_TRUE(bytesOf(streamed) == bytesOf(whole)) << "limit " << limit;
  }
}

TEST(ThreadsIdentity, EigenvaluesAreTheSameBitsForEveryThreadCount) {
  // From 192 rows on, the reduction's steps split.
  for (const std::size_t m : {1u, 2u, 7u, 193u, 301u}) {
    std::mt19937 random(static_cast<unsigned>(m));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> a(m * m);
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t j = 0; j <= i; ++j) a[i * m + j] = a[j * m + i] = uniform(random);
    }
    sameForEveryCount("m " + std::to_string(m), [&] {
      std::vector<double> copy = a;
      const EigenvalueRange range = extremeEigenvalues(copy, m);
      copy.push_back(range.smallest);
      copy.push_back(range.largest);
      return copy;  // the reduced matrix too: every entry of every step
    });
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
    const DesignDiagnostics one = sameForEveryCount(
        "K " + std::to_string(k), [&] { return diagnoseDesign(matrix); },
        [](const DesignDiagnostics& d) {
          return std::tie(d.varianceInflation, d.dependencies, d.conditionNumber, d.roles,
                          d.computed);
        });
    EXPECT_EQ(one.dependencies.empty(), k < 23) << k;
  }
}

}  // namespace
