#include "diagnostics/design_diagnostics.h"
#include "base/cpu_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "correlation/block_kernel.h"
#include "diagnostics/cross_products.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"

using namespace sdm;
using namespace correlation;
using namespace diagnostics;

namespace {

using Columns = std::vector<std::vector<float>>;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double none = std::numeric_limits<double>::quiet_NaN();
constexpr float nanValue = std::numeric_limits<float>::quiet_NaN();

DesignMatrix designOf(Columns columns, int32_t firstConfound = 1000) {
  DesignMatrix m;
  m.nrOfDataPoints = columns.empty() ? 0 : static_cast<int32_t>(columns[0].size());
  m.firstConfoundPredictor = firstConfound;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < columns.size(); ++i) names.push_back("P" + std::to_string(i));
  m.predictors = testing_support::predictorsOf(std::move(names), std::move(columns));
  return m;
}

// Walsh functions on eight points: zero mean, orthogonal to each other and to the constant.
std::vector<float> walsh(int k) {
  std::vector<float> v(8);
  for (int t = 0; t < 8; ++t)
    v[static_cast<std::size_t>(t)] = std::popcount(static_cast<unsigned>(t & k)) % 2 ? -1.0f : 1.0f;
  return v;
}
std::vector<float> combination(float a, const std::vector<float>& x, float b,
                               const std::vector<float>& y) {
  std::vector<float> v(x.size());
  for (std::size_t t = 0; t < v.size(); ++t) v[t] = a * x[t] + b * y[t];
  return v;
}
const std::vector<float> ones(8, 1.0f);

// Factors equal as numbers, NaN matching NaN, within a relative 1e-12; an expected factor of
// -1 stands for a finite one of a million or more, -2 and -3 for finite ones of 10 and 100 or
// more.
void expectFactors(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (expected[i] < 0) {
      const double least = expected[i] == -1 ? 1e6 : expected[i] == -2 ? 10 : 100;
      EXPECT_TRUE(std::isfinite(actual[i]) && actual[i] >= least)
          << "predictor " << i << ": " << actual[i];
    } else if (std::isnan(expected[i]) || std::isinf(expected[i]))
      EXPECT_EQ(std::bit_cast<uint64_t>(actual[i]), std::bit_cast<uint64_t>(expected[i]))
          << "predictor " << i << ": " << actual[i];
    else
      EXPECT_NEAR(actual[i], expected[i], 1e-12 * expected[i]) << "predictor " << i;
  }
}

TEST(DesignDiagnostics, GivesHandComputedFactorsDependenciesAndConditionNumbers) {
  const auto a = walsh(1), b = walsh(2), c = walsh(4), e = walsh(3), f = walsh(5);
  std::vector<float> sum(8), flat(8, 3.0f), raw(8), nearSum(8), tiny(8), tinyFlat(8, 1e-6f);
  for (std::size_t t = 0; t < 8; ++t) {
    sum[t] = a[t] + b[t] + c[t];
    raw[t] = 600.0f + 12.0f * e[t];  // a confound in scanner units: mean 600, sd about 12.8
    // Within 1.5e-6 of its variance the sum of three others: a factor of two million, yet no
    // dependency, so neither it nor the condition number is infinite.
    nearSum[t] = sum[t] + 0.0012247449f * f[t];
    tiny[t] = 5e-5f * (a[t] + b[t] + 0.05f * c[t]);  // small values, collinear with a and b
  }
  tinyFlat[3] = 1.00001e-6f;  // a deviation of 3.5e-12, below its floor of 1e-10
  flat[1] = 3.00001f;
  struct Case {
    const char* what;
    Columns columns;
    std::vector<double> factors;
    std::vector<std::vector<std::size_t>> dependencies;
    double conditionNumber;
  };
  const Case cases[] = {
      {"orthogonal, constant included", {a, b, c, ones}, {1, 1, 1, none}, {}, 1.0},
      // r = 3/5: VIF 1 / (1 - r^2); the scaled columns' singular values sqrt(1 +- r) and 1.
      {"two correlated", {a, combination(3, a, 4, b), ones}, {1.5625, 1.5625, none}, {}, 2.0},
      {"a sum of three others",
       {a, b, c, sum, e, ones},
       {inf, inf, inf, inf, 1, none},
       {{3, 0, 1, 2}},
       inf},
      {"a copy among others", {a, e, a}, {inf, 1, inf}, {{2, 0}}, inf},
      {"constant and flat left out", {a, flat, e, ones}, {1, none, 1, none}, {}, 1.0},
      {"a column of zeros", {a, std::vector<float>(8, 0.0f)}, {1, none}, {}, 1.0},
      // Collinearity among the regressors, not with the constant: a large mean changes nothing.
      {"a raw-unit confound", {a, b, c, raw, ones}, {1, 1, 1, 1, none}, {}, 1.0},
      {"nearly a sum, no dependency", {nearSum, a, b, c}, {-1, -3, -3, -3}, {}, -1},
      // Values of 5e-5 have a floor of 5e-9: the predictor takes part like any other.
      {"small but not flat", {a, b, tiny}, {-2, -2, -3}, {}, -2},
      {"tiny and flat", {a, tinyFlat, e}, {1, none, 1}, {}, 1.0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const DesignDiagnostics d = diagnoseDesign(designOf(test.columns));
    ASSERT_TRUE(d.computed);
    expectFactors(d.varianceInflation, test.factors);
    EXPECT_EQ(d.dependencies, test.dependencies);
    if (test.conditionNumber == inf) {
      EXPECT_EQ(d.conditionNumber, inf);
    } else if (test.conditionNumber > 0) {
      EXPECT_NEAR(d.conditionNumber, test.conditionNumber, 1e-12);
    } else {
      EXPECT_TRUE(std::isfinite(d.conditionNumber) && d.conditionNumber > 30) << d.conditionNumber;
    }
  }
}

TEST(DesignDiagnostics, GivesRolesAndLeavesUnusableDesignsUndiagnosed) {
  std::vector<float> withNan = walsh(2), flat(8, 3.0f);
  withNan[5] = nanValue;
  flat[1] = 3.00001f;
  DesignDiagnostics d = diagnoseDesign(designOf({walsh(1), walsh(3), withNan, flat, ones}, 3));
  EXPECT_EQ(d.roles, (std::vector<PredictorRole>{PredictorRole::interest, PredictorRole::interest,
                                                 PredictorRole::confound, PredictorRole::flat,
                                                 PredictorRole::constant}));
  expectFactors(d.varianceInflation, {1, 1, none, none, none});
  // The condition number of the predictors that have a factor; none of them, none at all.
  EXPECT_NEAR(d.conditionNumber, 1.0, 1e-12);
  EXPECT_TRUE(std::isnan(diagnoseDesign(designOf({withNan, flat, ones})).conditionNumber));

  d = diagnoseDesign(designOf({walsh(1), {1, 2, 3}}));
  EXPECT_FALSE(d.computed);
  expectFactors(d.varianceInflation, {none, none});
  EXPECT_TRUE(std::isnan(d.conditionNumber));
  EXPECT_EQ(d.roles.size(), 2u);
}

// The reference in long double by other means: correlations straight from the data, their
// inverse by Gauss-Jordan elimination, their eigenvalues by Jacobi rotations.
using Big = long double;
std::vector<Big> inverseDiagonal(std::vector<Big> a, std::size_t k) {
  std::vector<Big> inv(k * k, 0.0L);
  for (std::size_t i = 0; i < k; ++i) inv[i * k + i] = 1.0L;
  for (std::size_t col = 0; col < k; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col; r < k; ++r)
      if (std::fabs(a[r * k + col]) > std::fabs(a[pivot * k + col])) pivot = r;
    for (std::size_t j = 0; j < k; ++j) {
      std::swap(a[col * k + j], a[pivot * k + j]);
      std::swap(inv[col * k + j], inv[pivot * k + j]);
    }
    const Big p = a[col * k + col];
    for (std::size_t j = 0; j < k; ++j) a[col * k + j] /= p, inv[col * k + j] /= p;
    for (std::size_t r = 0; r < k; ++r) {
      if (r == col) continue;
      const Big f = a[r * k + col];
      for (std::size_t j = 0; j < k; ++j)
        a[r * k + j] -= f * a[col * k + j], inv[r * k + j] -= f * inv[col * k + j];
    }
  }
  std::vector<Big> d(k);
  for (std::size_t i = 0; i < k; ++i) d[i] = inv[i * k + i];
  return d;
}

std::vector<Big> jacobiEigenvalues(std::vector<Big> a, std::size_t k) {
  for (int sweep = 0; sweep < 100; ++sweep) {
    Big off = 0.0L;
    for (std::size_t p = 0; p < k; ++p)
      for (std::size_t q = p + 1; q < k; ++q) off += a[p * k + q] * a[p * k + q];
    if (off < 1e-60L) break;
    for (std::size_t p = 0; p < k; ++p) {
      for (std::size_t q = p + 1; q < k; ++q) {
        if (a[p * k + q] == 0.0L) continue;
        const Big theta = (a[q * k + q] - a[p * k + p]) / (2.0L * a[p * k + q]);
        const Big t =
            (theta >= 0 ? 1.0L : -1.0L) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0L));
        const Big c = 1.0L / std::sqrt(t * t + 1.0L), s = t * c;
        for (std::size_t r = 0; r < k; ++r) {
          const Big x = a[r * k + p], y = a[r * k + q];
          a[r * k + p] = c * x - s * y, a[r * k + q] = s * x + c * y;
        }
        for (std::size_t r = 0; r < k; ++r) {
          const Big x = a[p * k + r], y = a[q * k + r];
          a[p * k + r] = c * x - s * y, a[q * k + r] = s * x + c * y;
        }
      }
    }
  }
  std::vector<Big> d(k);
  for (std::size_t i = 0; i < k; ++i) d[i] = a[i * k + i];
  return d;
}

TEST(DesignDiagnostics, AgreesWithALongDoubleReferenceOnRandomDesigns) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  for (const auto& [k, n] :
       {std::pair<std::size_t, std::size_t>{3, 40}, {9, 300}, {17, 60}, {40, 500}}) {
    Columns columns(k, std::vector<float>(n));
    for (std::size_t i = 0; i < k; ++i) {
      // Offsets, scales, neighbours mixed in, and powers of time: factors up to the thousands.
      const float offset = 5.0f * uniform(random), scale = std::pow(10.0f, 2.0f * uniform(random));
      for (std::size_t t = 0; t < n; ++t) {
        const float time = static_cast<float>(t) / static_cast<float>(n);
        float v =
            i % 5 == 4 && i < 15 ? std::pow(time, static_cast<float>(i / 5 + 1)) : uniform(random);
        if (i > 0 && i % 3 == 0) v += 0.9f * columns[i - 1][t];
        columns[i][t] = offset + scale * v;
      }
    }
    columns.push_back(std::vector<float>(n, 1.0f));
    const DesignDiagnostics d = diagnoseDesign(designOf(columns));

    std::vector<Big> mean(k, 0.0L), centred(k * k, 0.0L);
    for (std::size_t i = 0; i < k; ++i) {
      for (const float v : columns[i]) mean[i] += v;
      mean[i] /= static_cast<Big>(n);
    }
    for (std::size_t i = 0; i < k; ++i) {
      for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t t = 0; t < n; ++t)
          centred[i * k + j] += (columns[i][t] - mean[i]) * (columns[j][t] - mean[j]);
      }
    }
    std::vector<Big> r(k * k);
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t j = 0; j < k; ++j)
        r[i * k + j] = centred[i * k + j] / std::sqrt(centred[i * k + i] * centred[j * k + j]);
    const std::vector<Big> vif = inverseDiagonal(r, k);
    for (std::size_t i = 0; i < k; ++i)
      EXPECT_NEAR(d.varianceInflation[i], static_cast<double>(vif[i]),
                  1e-6 * static_cast<double>(vif[i]))
          << "k " << k << " predictor " << i;
    const std::vector<Big> eigen = jacobiEigenvalues(r, k);
    const Big kappa = std::sqrt(*std::max_element(eigen.begin(), eigen.end()) /
                                *std::min_element(eigen.begin(), eigen.end()));
    EXPECT_NEAR(d.conditionNumber, static_cast<double>(kappa), 1e-6 * static_cast<double>(kappa))
        << "k " << k;
  }
}

TEST(CentredCrossProducts, GivesTheBitsOfThePlainLoopsWithEitherKernel) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> uniform(-4.0f, 40.0f);
  for (const bool portable : {false, true}) {
    const base::ScopedCpuFeatures features({.avx2 = !portable});
    for (const auto& [k, n] :
         {std::pair<std::size_t, std::size_t>{1, 1}, {7, 127}, {9, 300}, {33, 128}}) {
      Columns columns(k, std::vector<float>(n));
      for (auto& column : columns)
        for (auto& v : column) v = uniform(random);
      if (k > 2) columns[2][n / 2] = nanValue;
      const CrossProducts fast = centredCrossProducts(testing_support::spansOf(columns));
      const CrossProducts plain = centredCrossProductsReference(testing_support::spansOf(columns));
      ASSERT_EQ(fast.centred.size(), k * k);
      for (std::size_t c = 0; c < k * k; ++c) {
        if (std::isnan(plain.centred[c])) {
          EXPECT_TRUE(std::isnan(fast.centred[c]));
        } else {
          EXPECT_EQ(std::bit_cast<uint64_t>(fast.centred[c]),
                    std::bit_cast<uint64_t>(plain.centred[c]))
              << (portable ? "portable" : "chosen") << " k " << k << " cell " << c;
        }
      }
    }
  }
  EXPECT_THROW(centredCrossProducts(testing_support::spansOf(Columns{{1, 2}, {1}})),
               std::invalid_argument);
}

}  // namespace
