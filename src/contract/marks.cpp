#include "contract/marks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace contract {

namespace {

// `value` with `decimals` digits after the point, whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

// A factor or a cost with three significant digits and no trailing zeros: "44.5", "2.3", "10",
// "1234"; "inf" for an infinite one.
std::string measureText(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  const double size = std::fabs(value);
  std::string text = fixed(value, size >= 100 ? 0 : size >= 10 ? 1 : 2);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// "25 %", "22.7 %".
std::string percentText(double share) {
  std::string text = fixed(100 * share, 1);
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  return text + " %";
}

// The reasons of one level, in the order they are found.
struct Reasons {
  std::vector<std::string> red, amber;
};

void addFactors(const RunMeasures& run, const MarkLimits& limits, Reasons& reasons) {
  std::vector<RunMeasures::Factor> factors;
  for (const RunMeasures::Factor& factor : run.interestFactors)
    if (factor.vif >= limits.amberVif || factor.vif >= limits.redVif) factors.push_back(factor);
  std::stable_sort(factors.begin(), factors.end(),
                   [](const auto& a, const auto& b) { return a.vif > b.vif; });
  for (const RunMeasures::Factor& factor : factors) {
    std::string text = factor.predictor + " VIF " + measureText(factor.vif);
    (factor.vif >= limits.redVif ? reasons.red : reasons.amber).push_back(std::move(text));
  }
}

void addCosts(const RunMeasures& run, const MarkLimits& limits, Reasons& reasons) {
  for (const RunMeasures::Contrast& contrast : run.contrasts) {
    const double cost = contrast.confoundCost;
    if (!contrast.estimable || !(cost >= limits.amberCost || cost >= limits.redCost)) continue;
    std::string text = contrast.name + " costs x" + measureText(cost) + " with the confounds";
    (cost >= limits.redCost ? reasons.red : reasons.amber).push_back(std::move(text));
  }
}

void addPairs(const RunMeasures& run, Reasons& reasons) {
  const std::size_t named = std::min(run.interestPairs.size(), maxMarkedPairs);
  for (std::size_t p = 0; p < named; ++p) {
    const RunMeasures::Pair& pair = run.interestPairs[p];
    reasons.amber.push_back(pair.first + " ~ " + pair.second + " r = " + fixed(pair.r, 2));
  }
  const std::size_t more = std::max(run.interestPairCount, run.interestPairs.size()) - named;
  if (more > 0)
    reasons.amber.push_back(std::to_string(more) + " more flagged pair" + (more == 1 ? "" : "s") +
                            " with a predictor of interest");
}

}  // namespace

RunMark markRun(const RunMeasures& run, const MarkLimits& limits) {
  Reasons reasons;
  for (const RunMeasures::Contrast& contrast : run.contrasts) {
    if (!contrast.estimable)
      reasons.red.push_back(contrast.name + " cannot be estimated (" + contrast.reason + ")");
  }
  // The factors' red ones go before the costs', their amber ones likewise.
  Reasons factors, costs;
  addFactors(run, limits, factors);
  addCosts(run, limits, costs);
  for (Reasons* part : {&factors, &costs}) {
    reasons.red.insert(reasons.red.end(), part->red.begin(), part->red.end());
    reasons.amber.insert(reasons.amber.end(), part->amber.begin(), part->amber.end());
  }
  const double share =
      run.volumes > 0 ? static_cast<double>(run.scrubbedVolumes) / static_cast<double>(run.volumes)
                      : 0.0;
  if (share > limits.redScrubbed) reasons.red.push_back("scrubbed " + percentText(share));
  addPairs(run, reasons);

  RunMark mark;
  mark.mark = !reasons.red.empty() ? Mark::red : !reasons.amber.empty() ? Mark::amber : Mark::ok;
  mark.reasons = std::move(reasons.red);
  mark.reasons.insert(mark.reasons.end(), reasons.amber.begin(), reasons.amber.end());
  return mark;
}

const char* markWord(Mark mark) {
  return mark == Mark::red ? "red" : mark == Mark::amber ? "amber" : "ok";
}

std::optional<Mark> markNamed(std::string_view word) {
  for (const Mark mark : {Mark::ok, Mark::amber, Mark::red})
    if (word == markWord(mark)) return mark;
  return std::nullopt;
}

}  // namespace contract
