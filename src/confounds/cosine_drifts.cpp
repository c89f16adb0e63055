#include "confounds/cosine_drifts.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/number_text.h"
#include "confounds/confound_matrix.h"

namespace confounds {

namespace {

// "cosine00": two digits at least, as the pipelines number their drifts.
std::string driftName(int64_t index) {
  const std::string digits = std::to_string(index);
  return "cosine" + std::string(digits.size() < 2 ? 1 : 0, '0') + digits;
}

}  // namespace

int64_t cosineDriftCount(int64_t volumes, double repetitionTime, double cutoff) {
  if (volumes < 1 || !(repetitionTime > 0.0) || !(cutoff > 0.0)) return 0;
  // In double until bounded: a tiny cut-off would give more columns than an integer holds.
  const double count = std::floor(2.0 * static_cast<double>(volumes) * repetitionTime / cutoff);
  const double bounded = std::min(count - 1.0, static_cast<double>(volumes - 1));
  return bounded > 0.0 ? static_cast<int64_t>(bounded) : 0;
}

std::vector<sdm::Predictor> cosineDrifts(int64_t volumes, double repetitionTime, double cutoff,
                                         std::size_t firstPosition) {
  const int64_t count = cosineDriftCount(volumes, repetitionTime, cutoff);
  const double n = static_cast<double>(volumes);
  const double scale = std::sqrt(2.0 / n);
  std::vector<sdm::Predictor> drifts;
  drifts.reserve(static_cast<std::size_t>(count));
  for (int64_t k = 1; k <= count; ++k) {
    std::vector<float> values(static_cast<std::size_t>(volumes));
    for (int64_t i = 0; i < volumes; ++i) {
      const double angle = std::numbers::pi * static_cast<double>((2 * i + 1) * k) / (2.0 * n);
      values[static_cast<std::size_t>(i)] = base::roundToFloat(scale * std::cos(angle));
    }
    const std::size_t position = firstPosition + static_cast<std::size_t>(k - 1);
    drifts.push_back({driftName(k - 1), confoundColour(position), sdm::PredictorKind::cosine,
                      std::move(values)});
  }
  return drifts;
}

}  // namespace confounds
