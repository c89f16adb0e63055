#include "correlation/correlation_matrix.h"
#include "base/cpu_features.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "correlation/block_kernel.h"
#include "correlation/correlation.h"
#include "random_predictors.h"
#include "support/columns.h"

using namespace correlation;

namespace {

using random_predictors::expectSameBits;
using random_predictors::randomMatrix;
using random_predictors::Values;
using testing_support::spansOf;

// Runs `check` with the portable kernels and, where the processor has them, the AVX2 ones.
void forEachKernel(const std::function<void()>& check) {
  for (const bool portable : {true, false}) {
    if (!portable && !base::processorHasAvx2()) continue;
    const base::ScopedCpuFeatures features({.avx2 = !portable});
    SCOPED_TRACE(std::string("kernels: ") + activeKernelName());
    check();
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The matrix as forEachCorrelationPiece delivers it, checking that the pieces come in
// row-major order and that each stays within the limit (or one kernel panel).
std::vector<float> streamed(const std::vector<Values>& predictors, std::size_t cellLimit) {
  const std::size_t k = predictors.size();
  std::vector<float> cells;
  forEachCorrelationPiece(
      spansOf(predictors),
      [&](std::size_t row, std::size_t firstColumn, std::span<const float> piece) {
        EXPECT_EQ(row * k + firstColumn, cells.size())
            << "row " << row << ", column " << firstColumn;
        EXPECT_FALSE(piece.empty());
        EXPECT_LE(piece.size(), std::max(cellLimit, panelLanes));
        cells.insert(cells.end(), piece.begin(), piece.end());
      },
      cellLimit);
  return cells;
}

struct StopStreaming {};

}  // namespace

TEST(CorrelationMatrix, MatchesTheLiteralComputationBitForBitWithEveryKernel) {
  forEachKernel([] {
    std::mt19937 random(4242);
    // Sizes around the kernel's block and panel widths and past one pass over the data points.
    for (const std::size_t k : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 15u, 16u, 17u, 33u, 50u}) {
      for (const std::size_t n : {0u, 1u, 2u, 3u, 7u, 100u, 128u, 129u, 700u}) {
        const auto predictors = randomMatrix(random, k, n);
        SCOPED_TRACE("k " + std::to_string(k) + ", n " + std::to_string(n));
        expectSameBits(correlationMatrix(spansOf(predictors)),
                       correlationMatrixReference(spansOf(predictors)));
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  });
}

TEST(CorrelationMatrix, MatchesTheLiteralComputationOnAWideMatrix) {
  std::mt19937 random(99);
  const auto predictors = randomMatrix(random, 150, 1000);
  const std::vector<float> reference = correlationMatrixReference(spansOf(predictors));
  forEachKernel([&] { expectSameBits(correlationMatrix(spansOf(predictors)), reference); });
}

TEST(CorrelationMatrix, StreamsInBandsAndPiecesWithTheSameBits) {
  std::mt19937 random(7);
  const auto predictors = randomMatrix(random, 150, 300);
  const std::vector<float> reference = correlationMatrixReference(spansOf(predictors));
  forEachKernel([&] {
    // The whole matrix at once; bands of 149, 6 and 1 rows; rows in pieces of 32 and 16 columns.
    for (const std::size_t limit : {22500u, 22499u, 1000u, 160u, 149u, 100u, 1u}) {
      SCOPED_TRACE("cell limit " + std::to_string(limit));
      expectSameBits(streamed(predictors, limit), reference);
      if (::testing::Test::HasFatalFailure()) return;
    }
  });
}

TEST(CorrelationMatrix, StreamsAMillionPredictorsWithoutHoldingTheMatrix) {
  // A million predictors of two data points each: the whole matrix would take 4 TB. The first
  // row arrives in bounded memory, and the stream stops when the visitor throws.
  constexpr std::size_t k = 1'000'000;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::vector<Values> predictors(k);
  for (auto& p : predictors) p = {uniform(random), uniform(random)};
  predictors[5] = {1.0f, 1.0f};
  std::vector<float> firstRow;
  EXPECT_THROW(
      forEachCorrelationPiece(spansOf(predictors),
                              [&](std::size_t row, std::size_t, std::span<const float> piece) {
                                if (row > 0) throw StopStreaming{};
                                firstRow.insert(firstRow.end(), piece.begin(), piece.end());
                              }),
      StopStreaming);
  ASSERT_EQ(firstRow.size(), k);
  for (const std::size_t j : {0u, 1u, 5u, 16u, 999'999u}) {
    EXPECT_EQ(std::bit_cast<uint32_t>(firstRow[j]),
              std::bit_cast<uint32_t>(correlation::correlation(predictors[0], predictors[j])))
        << j;
  }
}

TEST(CorrelationMatrix, IsSymmetricWithOneOnTheDiagonal) {
  const std::vector<Values> predictors = {{1, 2, 3, 4}, {4, 1, 3, 2}, {1, 1, 1, 1}};
  const std::vector<float> cells = correlationMatrix(spansOf(predictors));
  EXPECT_EQ(std::bit_cast<uint32_t>(cells[0]), 0x3f800001u);  // 1 + 1 ulp, from rounding
  EXPECT_EQ(cells[1], cells[3]);
  EXPECT_NEAR(cells[1], -0.4f, 1e-6f);
  for (const std::size_t c : {2u, 5u, 6u, 7u, 8u}) EXPECT_EQ(cells[c], 0.0f) << c;
}

TEST(BlockKernel, CanBeForcedToThePortableKernels) {
  {
    const base::ScopedCpuFeatures portable({.avx2 = false});
    EXPECT_STREQ(activeKernelName(), "portable");
  }
  EXPECT_STREQ(activeKernelName(), base::cpuFeatures().avx2 ? "avx2" : "portable");
  const base::ScopedCpuFeatures avx2({.avx2 = true});
  EXPECT_STREQ(activeKernelName(), base::processorHasAvx2() ? "avx2" : "portable");
}

// A timing, not a check: run with --gtest_also_run_disabled_tests.
TEST(CorrelationMatrix, DISABLED_TimesAThousandPredictorsByFiveThousandDataPoints) {
  std::mt19937 random(1);
  std::normal_distribution<float> normal;
  std::vector<Values> predictors(1000, Values(5000));
  for (auto& predictor : predictors) {
    for (auto& x : predictor) x = normal(random);
  }
  const auto start = std::chrono::steady_clock::now();
  const std::vector<float> cells = correlationMatrix(spansOf(predictors));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("correlationMatrix, 1000 x 5000 (%s): %.3f s\n", activeKernelName(), elapsed.count());
  EXPECT_EQ(cells.size(), 1000000u);
}
