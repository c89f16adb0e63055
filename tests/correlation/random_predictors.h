#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

// Random predictors of every kind that takes its own road through the statistics: constant,
// zeros, tiny variance, NaN, infinity, denormals, another length, large values, large means
// against a small spread, and exact linear functions of a neighbour. Shared by the bit-equality
// tests of the fast paths.

namespace random_predictors {

using Values = std::vector<float>;

inline Values randomPredictor(std::mt19937& random, std::size_t n) {
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
    case 8:  // a large mean against a small spread, where the cross products cancel
      for (auto& x : v) x = 50000.0f + 4.0f * x;
      break;
    case 9:  // constant at a value whose mean is inexact in single precision
      for (auto& x : v) x = 1234.567017f;
      break;
    default:
      break;
  }
  return v;
}

inline std::vector<Values> randomMatrix(std::mt19937& random, std::size_t k, std::size_t n) {
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
inline void expectSameBits(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t c = 0; c < actual.size(); ++c) {
    if (std::isnan(expected[c])) {
      ASSERT_TRUE(std::isnan(actual[c])) << "cell " << c;
    } else {
      ASSERT_EQ(std::bit_cast<uint32_t>(actual[c]), std::bit_cast<uint32_t>(expected[c]))
          << "cell " << c << ": " << actual[c] << " vs " << expected[c];
    }
  }
}

}  // namespace random_predictors
