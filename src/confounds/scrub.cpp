#include "confounds/scrub.h"

#include <cstddef>
#include <stdexcept>

#include "base/number_text.h"
#include "confounds/confound_matrix.h"

namespace confounds {

namespace {

std::string volumeName(std::size_t volume) {
  std::string digits = std::to_string(volume);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "scrub_" + digits;
}

}  // namespace

Scrubbing scrubRegressors(const sdm::DesignMatrix& table, const ScrubTerm& term) {
  const std::size_t volumes = table.predictors.empty() ? 0 : table.predictors.front().values.size();
  std::vector<bool> flagged(volumes, false);
  std::size_t byDisplacement = 0, byDvars = 0, byOutlier = 0;
  const auto flag = [&](const std::vector<float>* values, auto exceeds, std::size_t& count) {
    if (values == nullptr) return;
    for (std::size_t t = 0; t < volumes && t < values->size(); ++t) {
      if (!exceeds((*values)[t])) continue;
      flagged[t] = true;
      ++count;
    }
  };
  flag(
      columnNamed(table, framewiseDisplacementColumn),
      [&](float v) { return v > term.displacement; }, byDisplacement);
  flag(
      columnNamed(table, "std_dvars"), [&](float v) { return v > term.dvars; }, byDvars);
  for (const sdm::Predictor& column : table.predictors) {
    if (column.name.starts_with("non_steady_state_outlier"))
      flag(
          &column.values, [](float v) { return v != 0.0f; }, byOutlier);
  }
  Scrubbing result;
  for (std::size_t t = 0; t < volumes; ++t) {
    if (!flagged[t]) continue;
    result.names.push_back(volumeName(t));
    result.regressors.emplace_back(volumes, 0.0f);
    result.regressors.back()[t] = 1.0f;
  }
  result.note = "scrub: " + std::to_string(result.names.size()) + " volume(s) flagged (" +
                std::to_string(byDisplacement) + " by framewise_displacement > " +
                base::shortestText(term.displacement) + ", " + std::to_string(byDvars) +
                " by std_dvars > " + base::shortestText(term.dvars) + ", " +
                std::to_string(byOutlier) + " by non_steady_state_outlier*)";
  return result;
}

}  // namespace confounds
