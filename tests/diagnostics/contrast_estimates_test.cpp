#include "diagnostics/contrast_estimates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "contract/contrasts.h"
#include "correlation/correlation.h"
#include "diagnostics/cross_products.h"
#include "diagnostics/variance_inflation.h"
#include "support/expect_throw.h"

namespace {

using namespace diagnostics;
using namespace correlation;
using Columns = std::vector<std::vector<float>>;
constexpr std::size_t n = 48;
constexpr double none = std::numeric_limits<double>::quiet_NaN();

// Uniform values in [0, 1) with 24 bits, exact in single precision; the same on every platform.
std::vector<float> uniform(std::uint64_t seed, float scale = 1.0f, float offset = 0.0f) {
  std::vector<float> v(n);
  for (float& x : v) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    x = offset + scale * static_cast<float>(seed >> 40) / 16777216.0f;
  }
  return v;
}
std::vector<float> plus(std::vector<float> a, const std::vector<float>& b, float scale = 1.0f) {
  for (std::size_t t = 0; t < n; ++t) a[t] = a[t] + scale * b[t];
  return a;
}
std::vector<float> block(std::size_t phase) {  // on in every third block of four scans
  std::vector<float> v(n);
  for (std::size_t t = 0; t < n; ++t) v[t] = (t / 4) % 3 == phase ? 1.0f : 0.0f;
  return v;
}
std::vector<float> withNaN(std::vector<float> v) {
  v[7] = std::numeric_limits<float>::quiet_NaN();
  return v;
}
Columns scaled(Columns columns, float factor) {
  for (std::size_t i = 0; i + 1 < columns.size(); ++i)
    for (float& x : columns[i]) x = x * factor;
  return columns;
}

// The independent evaluation: every column but the constant centred, scaled to unit length
// (zero ones left at zero), the pseudo-inverse of their correlations by cyclic Jacobi rotations,
// eigenvalues below 1e-10 of the largest taken as 0. Sums the rows' c R^+ c'; NaN when a row
// has more than 1e-12 of its square along the null space. Leaves out the predictors `skip`s.
double referenceVariance(const Columns& x, const std::vector<std::vector<double>>& rows,
                         const std::vector<bool>& skip) {
  const std::size_t k = x.size();
  std::vector<std::vector<double>> z(k, std::vector<double>(n, 0.0));
  std::vector<double> norm(k, 1.0);
  for (std::size_t i = 0; i < k; ++i) {
    double mean = 0, squares = 0;
    for (float v : x[i]) mean += v / static_cast<double>(n);
    if (!std::isfinite(mean)) continue;  // left out: a zero column
    for (std::size_t t = 0; t < n && !skip[i]; ++t) z[i][t] = x[i][t] - mean;
    for (double v : z[i]) squares += v * v;
    if (squares > 0) norm[i] = std::sqrt(squares);
    for (double& v : z[i]) v /= norm[i];
  }
  std::vector<double> a(k * k), e(k * k, 0.0);
  for (std::size_t i = 0; i < k; ++i) {
    e[i * k + i] = 1;
    for (std::size_t j = 0; j < k; ++j)
      for (std::size_t t = 0; t < n; ++t) a[i * k + j] += z[i][t] * z[j][t];
  }
  for (int sweep = 0; sweep < 50; ++sweep) {
    for (std::size_t p = 0; p < k; ++p) {
      for (std::size_t q = p + 1; q < k; ++q) {
        if (a[p * k + q] == 0) continue;
        const double theta = (a[q * k + q] - a[p * k + p]) / (2 * a[p * k + q]);
        const double tangent = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::hypot(theta, 1.0));
        const double c = 1 / std::hypot(tangent, 1.0), s = tangent * c;
        for (std::size_t i = 0; i < k; ++i) {  // columns p and q, then rows p and q
          const double ip = a[i * k + p], iq = a[i * k + q];
          a[i * k + p] = c * ip - s * iq, a[i * k + q] = s * ip + c * iq;
          const double ep = e[i * k + p], eq = e[i * k + q];
          e[i * k + p] = c * ep - s * eq, e[i * k + q] = s * ep + c * eq;
        }
        for (std::size_t j = 0; j < k; ++j) {
          const double pj = a[p * k + j], qj = a[q * k + j];
          a[p * k + j] = c * pj - s * qj, a[q * k + j] = s * pj + c * qj;
        }
      }
    }
  }
  double largest = 0, total = 0;
  for (std::size_t i = 0; i < k; ++i) largest = std::max(largest, a[i * k + i]);
  for (const auto& row : rows) {
    double squares = 0, null = 0;
    for (std::size_t i = 0; i < k; ++i) squares += row[i] * row[i] / (norm[i] * norm[i]);
    for (std::size_t v = 0; v < k; ++v) {
      double along = 0;
      for (std::size_t i = 0; i < k; ++i) along += row[i] / norm[i] * e[i * k + v];
      if (a[v * k + v] > 1e-10 * largest)
        total += along * along / a[v * k + v];
      else
        null += along * along;
    }
    if (null > 1e-12 * squares) return none;
  }
  return total;
}

// Predictors 0 to 2 are of interest, 3 and 4 confounds, 5 the constant.
struct Case {
  std::string design;
  Columns columns;
  std::vector<std::pair<std::string, std::string>> contrasts;  // definition, reason
};

const std::vector<float> faces = uniform(1), houses = uniform(2), objects = uniform(3);
const std::vector<float> transX = uniform(4, 0.8f, -0.3f), rotY = uniform(5, 0.02f, 0.01f);
const std::vector<float> ones(n, 1.0f), zeros(n, 0.0f);
const std::vector<std::string> names{"faces", "houses", "objects", "trans_x", "rot_y", "Constant"};
const Columns ordinary{faces, houses, objects, transX, rotY, ones};
const std::string dependent = "faces, houses and objects depend on each other";
const std::vector<std::pair<std::string, std::string>> ordinaryContrasts{
    {"faces", ""},
    {"faces - houses", ""},
    {"motion = 0.5 faces + trans_x", ""},
    {"all = [faces, houses, objects]", ""},
    {"pairs = [faces - houses, houses - 2 * objects]", ""}};
const Case cases[] = {
    {"ordinary", ordinary, ordinaryContrasts},
    {"scaled by 1e3", scaled(ordinary, 1e3f), ordinaryContrasts},
    {"scaled by 1e-3", scaled(ordinary, 1e-3f), ordinaryContrasts},
    {"near dependency (VIF 5e3 to 8e3)",
     {faces, houses, plus(plus(faces, houses), uniform(6), 0.014f), transX, rotY, ones},
     {{"faces", ""}, {"objects - houses", ""}, {"all = [faces, houses, objects]", ""}}},
    {"exact dependency",
     {block(0), block(1), block(2), transX, rotY, ones},
     {{"faces - houses", ""},
      {"pairs = [faces - houses, 0.5 houses - 0.5 objects]", ""},
      {"faces + houses", dependent},
      {"mix = [faces - objects, faces]", dependent},
      {"trans_x - rot_y", ""}}},
    {"a condition without events",
     {faces, zeros, objects, transX, zeros, ones},
     {{"faces", ""},
      {"faces - houses", "houses has no events"},
      {"rot_y", "rot_y is flat"},
      {"F = [faces, objects - trans_x]", ""}}},
    {"a confound with a value that is not a number",
     {faces, houses, objects, transX, withNaN(rotY), ones},
     {{"faces - houses", ""},
      {"motion = [trans_x, rot_y]", "rot_y has values that are not finite"}}},
};

TEST(ContrastEstimates, AgreeWithThePseudoInverseOfTheCentredDesign) {
  double largestDifference = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.design);
    std::vector<std::span<const float>> spans(c.columns.begin(), c.columns.end());
    std::vector<PredictorRole> roles;
    for (std::size_t i = 0; i < c.columns.size(); ++i)
      roles.push_back(roleOf(c.columns[i], predictorStats(c.columns[i]), i, 3));
    const ContrastDesign design{spans, names, roles, 3};
    std::string lines;
    for (const auto& [definition, reason] : c.contrasts) lines += definition + "\n";
    const auto contrasts = resolveContrasts(contract::parseContrastList(lines), design);
    const std::vector<ContrastEstimate> estimates = estimateContrasts(design, contrasts);
    ASSERT_EQ(estimates.size(), c.contrasts.size());
    // Given the factors and dependencies the diagnostics found, the same bits.
    std::vector<bool> included;
    for (const PredictorRole role : roles) included.push_back(correlates(role));
    VarianceInflation inflation = varianceInflation(centredCrossProducts(spans).centred, included);
    DesignDiagnostics diagnosed;
    diagnosed.computed = true;
    diagnosed.varianceInflation = inflation.factors;
    diagnosed.dependencies = inflation.dependencies;
    const auto same = [](double a, double b) { return a == b || (a != a && b != b); };
    const std::vector<ContrastEstimate> again = estimateContrasts(design, contrasts, diagnosed);
    for (std::size_t e = 0; e < estimates.size(); ++e) {
      EXPECT_EQ(again[e].reason, estimates[e].reason);
      EXPECT_TRUE(same(again[e].variance, estimates[e].variance)) << e;
      EXPECT_TRUE(same(again[e].confoundCost, estimates[e].confoundCost)) << e;
    }
    for (std::size_t e = 0; e < estimates.size(); ++e) {
      const ContrastEstimate& estimate = estimates[e];
      SCOPED_TRACE(estimate.contrast.name);
      std::vector<std::vector<double>> rows;
      bool confound = false;
      for (const auto& row : estimate.contrast.rows) {
        rows.emplace_back(c.columns.size(), 0.0);
        for (const ContrastWeight& w : row) rows.back()[w.predictor] = w.weight;
        for (const ContrastWeight& w : row) confound = confound || w.predictor >= 3;
      }
      std::vector<bool> skip(c.columns.size(), false);
      const double variance = referenceVariance(c.columns, rows, skip);
      std::fill(skip.begin() + 3, skip.end(), true);
      const double cost = confound ? none : variance / referenceVariance(c.columns, rows, skip);
      EXPECT_EQ(estimate.reason, c.contrasts[e].second);
      EXPECT_EQ(estimate.estimable, estimate.reason.empty());
      EXPECT_EQ(std::isnan(variance), !estimate.estimable);
      const std::pair<double, double> pairs[] = {{estimate.variance, variance},
                                                 {estimate.confoundCost, cost}};
      for (const auto& [actual, expected] : pairs) {
        EXPECT_EQ(std::isnan(actual), std::isnan(expected)) << actual << " against " << expected;
        if (std::isnan(expected)) continue;
        const double difference = std::fabs(actual - expected) / std::fabs(expected);
        EXPECT_LE(difference, 1e-6) << actual << " against " << expected;
        largestDifference = std::max(largestDifference, difference);
      }
    }
  }
  std::cout << "largest relative difference from the reference: " << largestDifference << "\n";
}

TEST(ContrastEstimates, ResolveNamesOnceOrRefuseNamingThePredictor) {
  const Columns columns{faces, ones, zeros, transX, transX};
  const std::vector<std::string> named{"faces", "Constant", "houses", "Tx", "Tx"};
  const std::vector<std::span<const float>> spans(columns.begin(), columns.end());
  const std::vector<PredictorRole> roles{PredictorRole::interest, PredictorRole::constant,
                                         PredictorRole::flat, PredictorRole::confound,
                                         PredictorRole::confound};
  const ContrastDesign design{spans, named, roles, 3};
  const std::pair<std::string, std::string> refused[] = {
      {"x = faces - facse",
       "contrast \"x\" names \"facse\", which is not a predictor of the "
       "design; write the names as the design has them"},
      {"faces - Tx",
       "contrast \"faces - Tx\" names \"Tx\", which 2 predictors of the design "
       "share; a contrast can name only a predictor whose name occurs once"},
      {"c = [faces, Constant]",
       "contrast \"c\" names \"Constant\", the constant of the design; "
       "leave it out: contrasts compare the other predictors"}};
  for (const auto& [definition, message] : refused)
    EXPECT_THROW_MSG(resolveContrasts(contract::parseContrastList(definition), design),
                     ContrastResolutionError, message);
  const std::vector<ContrastWeights> defaults{{"faces", false, {{{0, 1.0}}}},
                                              {"houses", false, {{{2, 1.0}}}}};
  EXPECT_EQ(defaultContrasts(design), defaults);
}

}  // namespace
