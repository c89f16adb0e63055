#include "sdm/design_matrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "contract/predictor_names.h"

namespace sdm {

std::string_view kindName(PredictorKind kind) {
  switch (kind) {
    case PredictorKind::interest:
      return "interest";
    case PredictorKind::confound:
      return "confound";
    case PredictorKind::motion:
      return "motion";
    case PredictorKind::signal:
      return "signal";
    case PredictorKind::compcor:
      return "compcor";
    case PredictorKind::cosine:
      return "cosine";
    case PredictorKind::scrub:
      return "scrub";
    case PredictorKind::outlier:
      return "outlier";
    case PredictorKind::constant:
      break;
  }
  return "constant";
}

void setKindsByPosition(DesignMatrix& matrix) {
  const std::size_t count = matrix.predictors.size();
  // In 64 bits: the header's value may be the least 32-bit integer.
  const auto interest = static_cast<std::size_t>(std::clamp<int64_t>(
      int64_t{matrix.firstConfoundPredictor} - 1, 0, static_cast<int64_t>(count)));
  for (std::size_t p = 0; p < count; ++p)
    matrix.predictors[p].kind = p < interest ? PredictorKind::interest : PredictorKind::confound;
  if (matrix.hasConstant()) matrix.predictors.back().kind = PredictorKind::constant;
}

std::vector<std::span<const float>> valuesOf(std::span<const Predictor> predictors) {
  std::vector<std::span<const float>> values;
  values.reserve(predictors.size());
  for (const Predictor& predictor : predictors) values.emplace_back(predictor.values);
  return values;
}

std::vector<std::string> namesOf(std::span<const Predictor> predictors) {
  std::vector<std::string> names;
  names.reserve(predictors.size());
  for (const Predictor& predictor : predictors) names.push_back(predictor.name);
  return names;
}

float largestFiniteMagnitude(std::span<const float> values) {
  float largest = 0.0f;
  for (const float v : values) {
    if (std::isfinite(v)) largest = std::max(largest, std::fabs(v));
  }
  return largest;
}

bool isConstantPredictor(std::span<const float> values) {
  if (values.empty() || values[0] == 0.0f) return false;
  // A NaN compares equal to nothing, so a predictor holding one is never constant.
  const float first = values[0];
  return std::all_of(values.begin(), values.end(), [first](float v) { return v == first; });
}

bool DesignMatrix::hasConstant() const {
  return !predictors.empty() && isConstantPredictor(predictors.back().values);
}

void DesignMatrix::addPredictor(Predictor predictor, bool isConfound) {
  if (static_cast<int64_t>(predictor.values.size()) != nrOfDataPoints) return;
  const bool hadConstant = hasConstant();
  const bool isConstant = isConstantPredictor(predictor.values);
  if (isConstant && hadConstant) return;

  // A loaded file may name a first confound outside 1..N+1. Before the block is extended it is
  // brought into that range: 0 or less means every predictor is a confound, N+2 or more that
  // none is, as append reads the other matrix's index. Incrementing a raw 0 would instead make
  // the new predictor of interest the first confound, and a raw N+7 would leave a new confound
  // outside the block, so the z-transform would touch the wrong predictors.
  const auto count = static_cast<int64_t>(predictors.size());
  const int64_t firstConfound = std::clamp<int64_t>(firstConfoundPredictor, 1, count + 1);
  firstConfoundPredictor = static_cast<int32_t>(firstConfound);
  // k predictors stay behind the new one.
  const int64_t k = isConfound ? (hadConstant ? 1 : 0) : count - firstConfound + 1;
  const auto index = static_cast<std::ptrdiff_t>(count - k);
  predictors.insert(predictors.begin() + index, std::move(predictor));
  if (!isConfound) ++firstConfoundPredictor;
  if (isConstant) includesConstant = true;
}

void DesignMatrix::addConstant() {
  if (!hasConstant()) {
    const auto count = static_cast<std::size_t>(std::max<int32_t>(nrOfDataPoints, 0));
    addPredictor({contract::constantName,
                  {255, 255, 255},
                  PredictorKind::constant,
                  std::vector<float>(count, 1.0f)},
                 true);
  }
  includesConstant = true;
}

void DesignMatrix::removeConstant() {
  if (hasConstant()) predictors.pop_back();
  includesConstant = false;
}

}  // namespace sdm
