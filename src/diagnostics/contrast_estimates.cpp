#include "diagnostics/contrast_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "base/parallel.h"
#include "diagnostics/cross_products.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/display_names.h"
#include "diagnostics/pivoted_cholesky.h"
#include "diagnostics/variance_inflation.h"

namespace diagnostics {

using correlation::PredictorRole;

using base::partBegin;
using base::threadsFor;
using base::WorkerTeam;
namespace {

constexpr std::size_t none = SIZE_MAX;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The predictors that take part in a model, on the correlation scale R = D G D: G^+ and
// D R^+ D give every estimable contrast the same variance, and R is what the dependencies are
// decided on. The kept members' factor L is inverted once, so that a contrast costs its terms
// times the rank.
struct Model {
  std::vector<std::size_t> memberOf;        // per predictor: its member number, or none
  std::vector<std::size_t> predictorOf;     // per member
  std::vector<double> scale;                // per member: its column's norm, 1 / D
  std::vector<std::size_t> keptColumn;      // per member: its column of L, or none
  std::vector<std::size_t> setAside;        // the members set aside, in order
  std::vector<std::size_t> setAsideNumber;  // per member: its place in setAside, or none
  std::size_t rank = 0;
  std::vector<double> inverse;       // column c of L^-1 from c * rank, entries c ... rank - 1
  std::vector<double> coefficients;  // per member set aside: the rank kept ones' coefficients
  std::vector<double> nullNorms;     // per member set aside: 1 + the coefficients' squares
};

// Columns of L^-1, each of its own: each part of the team takes every parts-th one.
void invertFactor(const PivotedCholesky& f, Model& model, WorkerTeam& team) {
  const std::size_t rank = model.rank;
  const DotKernel dot = vectorKernels().dot;
  model.inverse.assign(rank * rank, 0.0);
  const std::size_t parts = threadsFor(rank * rank, parallelFactorWork) > 1 ? 4 * team.size() : 1;
  team.forEach(parts, [&](std::size_t part) {
    for (std::size_t c = part; c < rank; c += parts) {
      double* x = model.inverse.data() + c * rank;
      x[c] = 1.0 / f.lower(c)[c];
      for (std::size_t d = c + 1; d < rank; ++d)
        x[d] = -dot(f.lower(d) + c, x + c, d - c) / f.lower(d)[d];
    }
  });
}

// The model of the `members` (positions in the n x n `gram` of the predictors `predictorOf`).
Model modelOf(const std::vector<double>& gram, std::size_t n,
              const std::vector<std::size_t>& members, const std::vector<std::size_t>& predictorOf,
              std::size_t predictorCount) {
  const std::size_t m = members.size();
  Model model;
  model.memberOf.assign(predictorCount, none);
  for (std::size_t a = 0; a < m; ++a) {
    model.predictorOf.push_back(predictorOf[members[a]]);
    model.memberOf[predictorOf[members[a]]] = a;
    model.scale.push_back(std::sqrt(gram[members[a] * n + members[a]]));
  }
  WorkerTeam team(threadsFor(m * m, parallelFactorWork));
  const PivotedCholesky f =
      pivotedCholesky(memberCorrelations(gram, members, n, team), m, vectorKernels().dot, team);
  model.rank = f.chosen.size();
  model.keptColumn.assign(m, none);
  model.setAsideNumber.assign(m, none);
  for (std::size_t c = 0; c < model.rank; ++c) model.keptColumn[f.chosen[c]] = c;
  invertFactor(f, model, team);
  // A member set aside is sum_c beta_c (kept member c) with beta = L^-T (its row of the factor).
  for (std::size_t a = 0; a < m; ++a) {
    if (f.isChosen[a]) continue;
    model.setAsideNumber[a] = model.setAside.size();
    model.setAside.push_back(a);
    const double* y = f.factor.data() + a * m;
    double squares = 1.0;
    for (std::size_t c = 0; c < model.rank; ++c) {
      double beta = 0.0;
      for (std::size_t j = c; j < model.rank; ++j)
        beta = beta + model.inverse[c * model.rank + j] * y[j];
      model.coefficients.push_back(beta);
      squares = squares + beta * beta;
    }
    model.nullNorms.push_back(squares);
  }
  return model;
}

// A row's variance factor, or the set-aside member whose dependency it weights: the row must be
// at right angles to e_d - sum beta_c e_c, to within the dependencies' own tolerance, for every
// member d set aside.
std::pair<double, std::size_t> rowVariance(const Model& model,
                                           const std::vector<ContrastWeight>& row) {
  std::vector<double> y(model.rank, 0.0);
  std::vector<double> setAsideWeights(model.setAside.size(), 0.0);
  std::vector<std::pair<std::size_t, double>> kept;
  double squares = 0.0;
  for (const ContrastWeight& term : row) {
    if (term.weight == 0.0) continue;
    const std::size_t a = model.memberOf[term.predictor];
    const double w = term.weight / model.scale[a];
    squares = squares + w * w;
    const std::size_t c = model.keptColumn[a];
    if (c == none) {
      setAsideWeights[model.setAsideNumber[a]] = w;
      continue;
    }
    kept.emplace_back(c, w);
    const double* column = model.inverse.data() + c * model.rank;
    for (std::size_t j = c; j < model.rank; ++j) y[j] = y[j] + w * column[j];
  }
  for (std::size_t s = 0; s < model.setAside.size(); ++s) {
    double along = setAsideWeights[s];
    for (const auto& [c, w] : kept) along = along - model.coefficients[s * model.rank + c] * w;
    if (along * along > squares * model.nullNorms[s] / maxVarianceInflation) return {nan, s};
  }
  double variance = 0.0;
  for (const double value : y) variance = variance + value * value;
  return {variance, none};
}

// The words for a list of names: "a", "a and b", "a, b and c".
std::string namesText(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// What keeps a weight on each predictor from being estimated, in words (empty when nothing
// does); and for each predictor set aside, its listed dependency in words.
struct Obstacles {
  std::vector<std::string> blocked;
  std::vector<std::string> dependency;
};

Obstacles obstaclesOf(const ContrastDesign& design, const Model& model,
                      const std::vector<std::vector<std::size_t>>& dependencies) {
  const std::vector<std::string> names = displayNames(design.names);
  const std::size_t k = names.size();
  Obstacles obstacles{std::vector<std::string>(k), std::vector<std::string>(k)};
  for (std::size_t i = 0; i < k; ++i) {
    if (design.roles[i] == PredictorRole::constant)
      obstacles.blocked[i] = names[i] + " is the constant";
    else if (design.roles[i] == PredictorRole::flat)
      obstacles.blocked[i] = names[i] + (i < design.firstConfound ? " has no events" : " is flat");
    else if (model.memberOf[i] == none)
      obstacles.blocked[i] = names[i] + " has values that are not finite";
  }
  for (std::vector<std::size_t> dependency : dependencies) {
    const std::size_t first = dependency.front();
    std::sort(dependency.begin(), dependency.end());
    std::vector<std::string> members;
    for (const std::size_t i : dependency) members.push_back(names[i]);
    obstacles.dependency[first] = namesText(members) + " depend on each other";
  }
  return obstacles;
}

// The sums of products about the means of the predictors of interest and the confounds (the
// `predictors`, in order). The columns are copied for the kernel, which reads whole vectors.
struct Products {
  std::vector<std::size_t> predictors;
  std::vector<double> gram;
};

Products productsOf(const ContrastDesign& design) {
  Products products;
  std::vector<std::span<const float>> columns;
  for (std::size_t i = 0; i < design.columns.size(); ++i) {
    if (!correlates(design.roles[i])) continue;
    products.predictors.push_back(i);
    columns.push_back(design.columns[i]);
  }
  products.gram = centredCrossProducts(columns).centred;
  return products;
}

// The sum of the rows' variance factors on `model`, or NaN and why there is none. Without
// `obstacles` (the model without confounds, for a contrast the full model estimates) the
// reason is left empty.
std::pair<double, std::string> estimateOn(const Model& model, const Obstacles* obstacles,
                                          const ContrastWeights& contrast) {
  for (const std::vector<ContrastWeight>& row : contrast.rows) {
    for (const ContrastWeight& term : row) {
      if (obstacles && term.weight != 0.0 && !obstacles->blocked[term.predictor].empty())
        return {nan, obstacles->blocked[term.predictor]};
    }
  }
  double total = 0.0;
  for (const std::vector<ContrastWeight>& row : contrast.rows) {
    if (std::none_of(row.begin(), row.end(), [](const auto& term) { return term.weight != 0.0; }))
      return {nan, "a row has no weight"};
    const auto [variance, setAside] = rowVariance(model, row);
    if (setAside == none) {
      total = total + variance;
      continue;
    }
    if (!obstacles) return {nan, ""};
    const std::size_t predictor = model.predictorOf[model.setAside[setAside]];
    const std::string& dependency = obstacles->dependency[predictor];
    return {nan, dependency.empty() ? "it weights a combination of other predictors" : dependency};
  }
  return {total, ""};
}

void checkFit(const ContrastDesign& design, std::span<const ContrastWeights> contrasts) {
  const std::size_t k = design.columns.size();
  if (design.names.size() != k || design.roles.size() != k)
    throw std::invalid_argument("names or roles do not fit the predictors");
  for (const ContrastWeights& contrast : contrasts) {
    for (const auto& row : contrast.rows) {
      for (const ContrastWeight& term : row) {
        if (term.predictor >= k)
          throw std::invalid_argument("contrast " + contrast.name +
                                      " weights a predictor the design does not have");
      }
    }
  }
  for (const std::span<const float> column : design.columns) {
    if (column.size() != design.columns[0].size())
      throw std::invalid_argument("predictors differ in length");
  }
}

bool weightsConfound(const ContrastDesign& design, const ContrastWeights& contrast) {
  for (const auto& row : contrast.rows) {
    for (const ContrastWeight& term : row) {
      if (term.weight != 0.0 && design.roles[term.predictor] == PredictorRole::confound)
        return true;
    }
  }
  return false;
}

// The factors' members and dependencies, in the products' order: whether each takes part, and
// the dependencies as predictor indices.
struct Inflation {
  std::vector<bool> member;
  std::vector<std::vector<std::size_t>> dependencies;
};

std::vector<ContrastEstimate> estimateOn(const ContrastDesign& design, const Products& products,
                                         const Inflation& inflation,
                                         std::vector<ContrastEstimate> estimates) {
  const std::size_t n = products.predictors.size();
  std::vector<std::size_t> members, interest;
  for (std::size_t a = 0; a < n; ++a) {
    if (!inflation.member[a]) continue;
    members.push_back(a);
    if (design.roles[products.predictors[a]] == PredictorRole::interest) interest.push_back(a);
  }
  const std::size_t k = design.columns.size();
  {
    const Model full = modelOf(products.gram, n, members, products.predictors, k);
    const Obstacles obstacles = obstaclesOf(design, full, inflation.dependencies);
    for (ContrastEstimate& estimate : estimates) {
      std::tie(estimate.variance, estimate.reason) =
          estimateOn(full, &obstacles, estimate.contrast);
      estimate.estimable = estimate.reason.empty();
      estimate.efficiency = 1.0 / estimate.variance;
    }
  }
  const Model reduced = modelOf(products.gram, n, interest, products.predictors, k);
  for (ContrastEstimate& estimate : estimates) {
    if (!estimate.estimable || weightsConfound(design, estimate.contrast)) continue;
    const auto [variance, reason] = estimateOn(reduced, nullptr, estimate.contrast);
    estimate.confoundCost = reason.empty() ? estimate.variance / variance : nan;
  }
  return estimates;
}

// The estimates before any is computed; every one says so when the design is too large.
std::vector<ContrastEstimate> unestimated(const ContrastDesign& design,
                                          std::span<const ContrastWeights> contrasts) {
  checkFit(design, contrasts);
  std::vector<ContrastEstimate> estimates;
  for (const ContrastWeights& contrast : contrasts)
    estimates.push_back({contrast, false, nan, nan, nan, ""});
  const std::size_t k = design.columns.size();
  if (k <= maxDiagnosedPredictors) return estimates;
  for (ContrastEstimate& estimate : estimates)
    estimate.reason = "not estimated: the design has " + std::to_string(k) +
                      " predictors, more than the " + std::to_string(maxDiagnosedPredictors) +
                      " diagnosed";
  return estimates;
}

}  // namespace

std::vector<ContrastEstimate> estimateContrasts(const ContrastDesign& design,
                                                std::span<const ContrastWeights> contrasts) {
  std::vector<ContrastEstimate> estimates = unestimated(design, contrasts);
  if (estimates.empty() || design.columns.size() > maxDiagnosedPredictors) return estimates;
  const Products products = productsOf(design);
  // The members and dependencies of the variance inflation factors: the factorisation repeats
  // theirs bit for bit, so that the contrasts blame the dependencies the report lists.
  VarianceInflation factors =
      varianceInflation(products.gram, std::vector<bool>(products.predictors.size(), true));
  Inflation inflation;
  for (const double factor : factors.factors) inflation.member.push_back(!std::isnan(factor));
  for (auto& dependency : factors.dependencies)
    for (std::size_t& a : dependency) a = products.predictors[a];
  inflation.dependencies = std::move(factors.dependencies);
  return estimateOn(design, products, inflation, std::move(estimates));
}

std::vector<ContrastEstimate> estimateContrasts(const ContrastDesign& design,
                                                std::span<const ContrastWeights> contrasts,
                                                const DesignDiagnostics& diagnosed) {
  if (!diagnosed.computed || diagnosed.varianceInflation.size() != design.columns.size())
    return estimateContrasts(design, contrasts);
  std::vector<ContrastEstimate> estimates = unestimated(design, contrasts);
  if (estimates.empty()) return estimates;
  const Products products = productsOf(design);
  // The factors were found on the same sums of products (each cell is its own sum, whichever
  // predictors are beside it), so their members and dependencies are those found here.
  Inflation inflation{{}, diagnosed.dependencies};
  for (const std::size_t i : products.predictors)
    inflation.member.push_back(!std::isnan(diagnosed.varianceInflation[i]));
  return estimateOn(design, products, inflation, std::move(estimates));
}

}  // namespace diagnostics
