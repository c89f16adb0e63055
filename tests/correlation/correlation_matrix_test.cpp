#include "correlation/correlation_matrix.h"

#include <bit>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Values = std::vector<float>;

// A predictor of one of the kinds that take a different road through the correlation.
Values randomPredictor(std::mt19937& random, std::size_t n) {
  std::uniform_real_distribution<float> uniform(-5.0f, 5.0f);
  Values v(n);
  for (auto& x : v) x = uniform(random);
  switch (random() % 12) {
    case 0:  // constant
      for (auto& x : v) x = 1.0f;
      break;
    case 1:  // zeros
      for (auto& x : v) x = 0.0f;
      break;
    case 2:  // tiny variance, below the floor
      for (std::size_t t = 0; t < n; ++t) v[t] = 3.0f + (t % 2 ? 1e-5f : 0.0f);
      break;
    case 3:  // a NaN somewhere
      if (n > 0) v[random() % n] = std::numeric_limits<float>::quiet_NaN();
      break;
    case 4:  // an infinity somewhere
      if (n > 0) v[random() % n] = -std::numeric_limits<float>::infinity();
      break;
    case 5:  // denormals
      for (auto& x : v) x *= 1e-39f;
      break;
    case 6:  // another length
      v.resize(n + 1 + random() % 3, 0.5f);
      break;
    case 7:  // large values, where the order of the sums matters
      for (auto& x : v) x *= 1e7f;
      break;
    case 8:  // a linear function of a neighbour is made below
    default:
      break;
  }
  return v;
}

std::vector<Values> randomMatrix(std::mt19937& random, std::size_t k, std::size_t n) {
  std::vector<Values> predictors;
  for (std::size_t i = 0; i < k; ++i) {
    if (i > 0 && random() % 6 == 0 && predictors.back().size() == n) {
      Values linear = predictors.back();
      for (auto& x : linear) x = -2.0f * x + 3.0f;
      predictors.push_back(linear);
    } else {
      predictors.push_back(randomPredictor(random, n));
    }
  }
  return predictors;
}

// Bit equality, except that NaNs are equal whatever their sign and payload: the report
// writes every NaN the same way.
void expectSameCells(const std::vector<float>& fast, const std::vector<float>& reference) {
  ASSERT_EQ(fast.size(), reference.size());
  for (std::size_t c = 0; c < fast.size(); ++c) {
    if (std::isnan(reference[c])) {
      EXPECT_TRUE(std::isnan(fast[c])) << "cell " << c;
    } else {
      ASSERT_EQ(std::bit_cast<uint32_t>(fast[c]), std::bit_cast<uint32_t>(reference[c]))
          << "cell " << c << ": " << fast[c] << " vs " << reference[c];
    }
  }
}

}  // namespace

TEST(CorrelationMatrix, MatchesTheLiteralComputationBitForBit) {
  std::mt19937 random(4242);
  // Sizes around the kernel's block widths and past one pass over the data points.
  for (const std::size_t k : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 13u, 16u, 17u, 33u}) {
    for (const std::size_t n : {0u, 1u, 2u, 3u, 7u, 100u, 256u, 257u, 700u}) {
      const auto predictors = randomMatrix(random, k, n);
      SCOPED_TRACE("k " + std::to_string(k) + ", n " + std::to_string(n));
      expectSameCells(correlationMatrix(predictors), correlationMatrixReference(predictors));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(CorrelationMatrix, MatchesTheLiteralComputationOnAWideMatrix) {
  std::mt19937 random(99);
  const auto predictors = randomMatrix(random, 150, 1000);
  expectSameCells(correlationMatrix(predictors), correlationMatrixReference(predictors));
}

TEST(CorrelationMatrix, IsSymmetricWithOneOnTheDiagonal) {
  const std::vector<Values> predictors = {{1, 2, 3, 4}, {4, 1, 3, 2}, {1, 1, 1, 1}};
  const std::vector<float> cells = correlationMatrix(predictors);
  EXPECT_EQ(std::bit_cast<uint32_t>(cells[0]), 0x3f800001u);  // 1 + 1 ulp, from rounding
  EXPECT_EQ(cells[1], cells[3]);
  EXPECT_NEAR(cells[1], -0.4f, 1e-6f);
  for (const std::size_t c : {2u, 5u, 6u, 7u, 8u}) EXPECT_EQ(cells[c], 0.0f) << c;
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
  const std::vector<float> cells = correlationMatrix(predictors);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("correlationMatrix, 1000 x 5000: %.3f s\n", elapsed.count());
  EXPECT_EQ(cells.size(), 1000000u);
}
